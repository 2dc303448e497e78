#include "engines/progjtag.h"

#include "engines/line_text.h"
#include "formats/hex.h"
#include "formats/printable_text.h"
#include "formats/text_lines.h"

#include <utility>

namespace vz {

namespace {

constexpr std::uint32_t kUpdatePauseMs = 1000;
constexpr char kEsc = '\x1B';
constexpr std::int32_t kTdoExpected = 0x10;

const std::string kLineEnd = "\r\n";

bool IsPromDigit(std::string_view text) {
    return !text.empty() && (text[0] == '8' || text[0] == '9');
}

// The digit 8 names Prom 1, 9 names Prom 2.
TMemory PromOf(char digit) {
    return {mkProm, digit == '9' ? 2 : 1};
}

// The TDO answer as the device escapes it: ESC ESC stands for "1B", ESC "0" for
// "00", ESC "." ends it. The last character is the end mark and never part of it.
std::string DecodeTdoAnswer(const std::string& rx) {
    std::string decoded;
    std::size_t i = 0;
    while (i + 1 < rx.size()) {
        const char c = rx[i];
        if (c != kEsc) {
            decoded += c;
            ++i;
            continue;
        }
        const char next = rx[i + 1];
        if (next == '.') break;
        if (next == kEsc) {
            decoded += "1B";
            i += 2;
        } else if (next == '0') {
            decoded += "00";
            i += 2;
        } else {
            ++i;
        }
    }
    return decoded;
}

// The last two digits are the plain 8-bit sum of the byte pairs before them. An
// answer too short to hold a checksum fails, so the device is asked again.
bool TdoChecksumMatches(const std::string& decoded) {
    const std::size_t length = decoded.size();
    if (length < 2) return false;
    unsigned sum = 0;
    for (std::size_t pos = 0; pos + 2 < length - 1; pos += 2) {
        sum = (sum + HexPairAt(decoded, pos)) % 256;
    }
    return sum == HexPairAt(decoded, length - 2);
}

} // namespace

TProgJtag::TProgJtag(EngineClock clock) : TGestionnaire(std::move(clock)) {}

TProgJtag::~TProgJtag() {
    effectFile_.CloseEffectFile();
}

void TProgJtag::AskFastLink() {
    slowLink_ = false;
    LinkFast();
}

void TProgJtag::Error(TErrorCode code, const std::string& text) {
    effectFile_.CloseEffectFile();
    ClearBusy();
    step_ = stParked;
    // A failed slow update must not leave the link at the slow speed.
    if (slowLink_) AskFastLink();
    TGestionnaire::Error(code, text);
}

void TProgJtag::Reset() {
    TGestionnaire::Reset();
    effectFile_.CloseEffectFile();
    slowLink_ = false;
    step_ = stIdle;
}

std::optional<TProgrammedFile> TProgJtag::DescribeLine(const std::string& line) const {
    const TScriptLine cut = CutScriptLine(line);
    // "P 9 x.svf" and "P9 x.svf" alike; the file name keeps blanks inside.
    if (cut.letter != 'P' || !IsPromDigit(cut.rest)) return std::nullopt;
    return TProgrammedFile{PromOf(cut.component), scriptDir_ + ProgrammedFileName(cut), std::nullopt};
}

std::string TProgJtag::FindReplyCode() const {
    const std::size_t pos = rxBuffer_.find_first_of(".XR");
    return pos == std::string::npos ? std::string() : rxBuffer_.substr(pos, 1);
}

void TProgJtag::Recognise() {
    if (busy_ || currentLine_.empty()) return;
    const TScriptLine line = CutScriptLine(currentLine_);
    TStep next = stIdle;
    switch (line.letter) {
    case 'D':
        next = stSendD;
        break;
    case 'P':
        next = stStartUpdate;
        break;
    case 'F':
        next = stSendF;
        break;
    default:
        return;
    }
    currentLine_ = line.rest;
    if (!IsPromDigit(currentLine_)) return;
    SetBusy();
    promSelector_ = std::string(1, line.component);
    fileName_ = ProgrammedFileName(line);
    step_ = next;
}

void TProgJtag::AwaitSlowStart() {
    // The "." answering "S" is taken, so that it cannot also answer the "P" that follows.
    if (CommandReply() != TReply::Accepted) return;
    slowLink_ = true;
    LinkSlow();
    Send("P" + promSelector_);
    step_ = stAwaitUpdate;
}

void TProgJtag::AwaitIdentificationAccepted() {
    // The status line comes before the "." is taken.
    if (CommandReply(TDot::Keep) != TReply::Accepted) return;
    ShowStatus("Extract Prom Devices ID");
    Consume(".");
    step_ = stReadIdentification;
}

void TProgJtag::ReadIdentification() {
    RequestRx();
    if (rxBuffer_.find('.') != 16) return;
    // The device sends the identification lowest byte first.
    ShowStatus("ID Number : " + PrintableText(ReverseHexBytes(rxBuffer_.substr(0, 16))));
    ClearRx();
    step_ = stFinish;
}

void TProgJtag::StartUpdate() {
    currentLine_ = fileName_;
    // The command goes out before the file is opened: a missing file still starts the device.
    if (slowMode_) {
        Send("S" + promSelector_);
        step_ = stAwaitSlowStart;
    } else {
        Send("P" + promSelector_);
        step_ = stAwaitUpdate;
    }
    const std::string path = scriptDir_ + currentLine_;
    effectLineCount_ = effectFile_.OpenEffectFile(path);
    if (effectLineCount_ == TEffectFile::kMissing) {
        Error(TErrorCode::file_not_found, path + " File not found !!!");
        return;
    }
    if (effectLineCount_ == TEffectFile::kUnreadable) {
        // The file is there, so "not found" would send the operator looking for the wrong fault.
        Error(TErrorCode::file_not_found, "Cannot read Effect file " + path + " : " + effectFile_.Reason());
        return;
    }
    SetProgressMax(effectLineCount_);
    retryCount_ = 0;
    // The device needs the time after "P" before the first record. It is waited out
    // in steps, so that the thread stays free for other ports and for STOP.
    afterPause_ = step_;
    pauseStart_ = clock_.Now();
    step_ = stPausing;
}

void TProgJtag::AwaitUpdateAccepted() {
    // The memory begins and the status line comes before the "." is taken.
    if (CommandReply(TDot::Keep) != TReply::Accepted) return;
    BeginMemory(PromOf(promSelector_.front()));
    ShowStatus("Updating Prom Devices");
    Consume(".");
    effectLineNumber_ = 0;
    if (effectLineCount_ == 0) {
        Error(TErrorCode::file_not_found, "Effect File Empty !!!");
        return;
    }
    SendNextCommand();
}

void TProgJtag::SendNextCommand() {
    std::string command;
    // Comments and TRST give nothing to send and are passed over here, without a round trip.
    while (command.empty() && effectLineNumber_ < effectLineCount_) {
        effectLine_ = effectFile_.ReadEffectLine();
        command = TranslateStatement(effectLine_, translation_);
        ++effectLineNumber_;
    }
    if (command == kEffectError) {
        Error(TErrorCode::syntax_error, "Error in Effect file line : " + std::to_string(effectLineNumber_));
    } else if (command.empty()) {
        Send(std::string(kEffectEndRecord) + kLineEnd);
        step_ = stAwaitEnd;
    } else {
        Send(command + kLineEnd);
        step_ = stStatementRunning;
    }
}

void TProgJtag::CheckTdoAnswer() {
    std::string decoded = DecodeTdoAnswer(rxBuffer_);
    if (!TdoChecksumMatches(decoded)) {
        ClearRx();
        // A garbled answer counts as a retransmission like the device's own "R".
        if (CountRetry()) Send("R");
        return;
    }
    ClearRx();
    Send(".");
    decoded.resize(decoded.size() - 2);
    if (!translation_.Mask.empty()) {
        // Deliberately masks the expected TDO itself, not a copy of it.
        AndHexDigits(translation_.Mask, decoded);
        AndHexDigits(translation_.Mask, translation_.Tdo);
    }
    // The statement is over either way: the next "." only closes it.
    translation_.ScanCode = 0;
    if (decoded != translation_.Tdo) {
        Error(TErrorCode::effect_error,
              "Error while executing Effect file line : " + std::to_string(effectLineNumber_));
    }
}

void TProgJtag::RunStatement() {
    RequestRx();
    const std::string code = FindReplyCode();
    if (code == "." && translation_.DataBlockPending) {
        // The device is ready for the block announced by the record (ESC "."). Whatever
        // came before that "." goes with it, or the "." would answer the next statement.
        Consume(std::string_view(rxBuffer_).substr(0, rxBuffer_.find('.') + 1));
        Send(translation_.Tdi);
        translation_.DataBlockPending = false;
    } else if (code == "." && (translation_.ScanCode & kTdoExpected) != 0) {
        CheckTdoAnswer();
    } else if (code == ".") {
        ClearRx();
        StepProgress();
        SendNextCommand();
    } else if (code == "X") {
        ClearRx();
        Error(TErrorCode::effect_error,
              "Error while executing Effect file line : " + std::to_string(effectLineNumber_));
    } else if (code == "R") {
        ClearRx();
        // The whole statement again, from its record; a data block follows on the next ".".
        if (CountRetry()) Send(TranslateStatement(effectLine_, translation_) + kLineEnd);
    }
}

void TProgJtag::AwaitEnd() {
    RequestRx();
    const std::string code = FindReplyCode();
    if (code.empty()) return;
    ClearRx();
    AskFastLink();
    if (code == ".") {
        step_ = stFinish;
    } else if (code == "X") {
        // Deliberately the text of a refused command, for a refused end record.
        Error(TErrorCode::refused, kInstructionUnknown);
    } else {
        // The end record is never sent again: "R" here ends the update at once.
        FailTooManyRetries();
    }
}

void TProgJtag::AwaitF() {
    if (CommandReply() == TReply::Accepted) step_ = stFinish;
}

void TProgJtag::Execute() {
    switch (step_) {
    case stIdle:
        Recognise();
        break;
    case stAwaitSlowStart:
        AwaitSlowStart();
        break;
    case stSendD:
        Send("D" + promSelector_);
        step_ = stAwaitD;
        break;
    case stAwaitD:
        AwaitIdentificationAccepted();
        break;
    case stReadIdentification:
        ReadIdentification();
        break;
    case stPausing:
        if (clock_.Now() - pauseStart_ >= kUpdatePauseMs) step_ = afterPause_;
        break;
    case stStartUpdate:
        StartUpdate();
        break;
    case stAwaitUpdate:
        AwaitUpdateAccepted();
        break;
    case stStatementRunning:
        RunStatement();
        break;
    case stAwaitEnd:
        AwaitEnd();
        break;
    case stSendF:
        Send("F" + promSelector_);
        step_ = stAwaitF;
        break;
    case stAwaitF:
        AwaitF();
        break;
    case stFinish:
        effectFile_.CloseEffectFile();
        EndMemory();
        ClearBusy();
        step_ = stIdle;
        break;
    default:
        // stParked is left only by Reset, as is any other value.
        break;
    }
}

} // namespace vz

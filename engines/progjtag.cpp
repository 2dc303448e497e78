#include "engines/progjtag.h"

#include "engines/line_text.h"
#include "formats/hex.h"
#include "formats/text_lines.h"

#include <utility>

namespace vz {

namespace {

constexpr std::uint8_t kIdle = 0;
constexpr std::uint8_t kParked = 1;
constexpr std::uint8_t kStatementRunning = 8;
constexpr std::uint8_t kAwaitEnd = 9;
constexpr std::uint8_t kFinish = 12;

constexpr std::int32_t kMaxRetries = 300;
constexpr std::uint32_t kUpdatePauseMs = 1000;
constexpr char kEsc = '\x1B';
constexpr std::int32_t kTdoExpected = 0x10;

const std::string kLineEnd = "\r\n";
const std::string kInstructionUnknown = "Instruction unknown";
const std::string kTooManyErrors = "Too Many Transmission Error !!!";

bool IsPromDigit(std::string_view text) {
    return !text.empty() && (text[0] == '8' || text[0] == '9');
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

void TProgJtag::Error(const std::string& text) {
    effectFile_.CloseEffectFile();
    ClearBusy();
    step_ = kParked;
    // A failed slow update must not leave the link at the slow speed.
    if (slowLink_) AskFastLink();
    TGestionnaire::Error(text);
}

void TProgJtag::Reset() {
    TGestionnaire::Reset();
    effectFile_.CloseEffectFile();
    slowLink_ = false;
    step_ = kIdle;
}

std::string TProgJtag::FindReplyCode() const {
    const std::size_t pos = rxBuffer_.find_first_of(".XR");
    return pos == std::string::npos ? std::string() : rxBuffer_.substr(pos, 1);
}

void TProgJtag::Recognise() {
    if (busy_ || currentLine_.empty()) return;
    std::uint8_t next = kIdle;
    switch (currentLine_.front()) {
    case 'D':
        next = 3;
        break;
    case 'P':
        next = 6;
        break;
    case 'F':
        next = 10;
        break;
    default:
        return;
    }
    currentLine_ = TrimBoth(DropFront(currentLine_, 1));
    if (!IsPromDigit(currentLine_)) return;
    SetBusy();
    step_ = next;
}

bool TProgJtag::CommandAccepted() {
    RequestRx();
    if (RxBeginsWith('.')) return true;
    if (RxBeginsWith('I')) {
        Consume("I");
        Error(kInstructionUnknown);
    }
    return false;
}

void TProgJtag::AwaitSlowStart() {
    if (!CommandAccepted()) return;
    // The device answers "P" as well; its "." must not be met by this one.
    Consume(".");
    slowLink_ = true;
    LinkSlow();
    Send("P" + promSelector_);
    step_ = 7;
}

void TProgJtag::AwaitIdentificationAccepted() {
    if (!CommandAccepted()) return;
    ShowStatus("Extract Prom Devices ID");
    Consume(".");
    step_ = 5;
}

void TProgJtag::ReadIdentification() {
    RequestRx();
    if (rxBuffer_.find('.') != 16) return;
    ShowStatus("ID Number : " + ReverseHexBytes(rxBuffer_.substr(0, 16)));
    ClearRx();
    step_ = kFinish;
}

void TProgJtag::StartUpdate() {
    promSelector_ = currentLine_.substr(0, 1);
    currentLine_ = TrimBoth(DropFront(currentLine_, 1));
    if (slowMode_) {
        Send("S" + promSelector_);
        step_ = 2;
    } else {
        Send("P" + promSelector_);
        step_ = 7;
    }
    const std::string path = scriptDir_ + currentLine_;
    effectLineCount_ = effectFile_.OpenEffectFile(path);
    if (effectLineCount_ == TEffectFile::kMissing) {
        Error(path + " File not found !!!");
        return;
    }
    if (effectLineCount_ == TEffectFile::kUnreadable) {
        // The file is there, so "not found" would send the operator looking for the wrong fault.
        Error("Cannot read Effect file " + path + " : " + effectFile_.Reason());
        return;
    }
    SetProgressMax(effectLineCount_);
    clock_.Pause(kUpdatePauseMs);
    retryCount_ = 0;
}

void TProgJtag::AwaitUpdateAccepted() {
    if (!CommandAccepted()) return;
    ShowStatus("Updating Prom Devices");
    Consume(".");
    effectLineNumber_ = 0;
    if (effectLineCount_ == 0) {
        Error("Effect File Empty !!!");
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
        Error("Error in Effect file line : " + std::to_string(effectLineNumber_));
    } else if (command.empty()) {
        Send(std::string(kEffectEndRecord) + kLineEnd);
        step_ = kAwaitEnd;
    } else {
        Send(command + kLineEnd);
        step_ = kStatementRunning;
    }
}

void TProgJtag::CheckTdoAnswer() {
    std::string decoded = DecodeTdoAnswer(rxBuffer_);
    if (!TdoChecksumMatches(decoded)) {
        ClearRx();
        ++retryCount_;
        if (retryCount_ > kMaxRetries) {
            Error(kTooManyErrors);
        } else {
            Send("R");
        }
        return;
    }
    ClearRx();
    Send(".");
    decoded.resize(decoded.size() - 2);
    if (!translation_.Mask.empty()) {
        AndHexDigits(translation_.Mask, decoded);
        AndHexDigits(translation_.Mask, translation_.Tdo);
    }
    // The statement is over either way: the next "." only closes it.
    translation_.ScanCode = 0;
    if (decoded != translation_.Tdo) {
        Error("Error while executing Effect file line : " + std::to_string(effectLineNumber_));
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
        Error("Error while executing Effect file line : " + std::to_string(effectLineNumber_));
    } else if (code == "R") {
        ClearRx();
        ++retryCount_;
        if (retryCount_ > kMaxRetries) {
            Error(kTooManyErrors);
        } else {
            // The whole statement again, from its record; a data block follows on the next ".".
            Send(TranslateStatement(effectLine_, translation_) + kLineEnd);
        }
    }
}

void TProgJtag::AwaitEnd() {
    RequestRx();
    const std::string code = FindReplyCode();
    if (code.empty()) return;
    ClearRx();
    AskFastLink();
    if (code == ".") {
        step_ = kFinish;
    } else if (code == "X") {
        Error(kInstructionUnknown);
    } else {
        Error(kTooManyErrors);
    }
}

void TProgJtag::AwaitF() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        step_ = kFinish;
    } else if (RxBeginsWith('I')) {
        Consume("I");
        Error(kInstructionUnknown);
    }
}

void TProgJtag::Execute() {
    switch (step_) {
    case kIdle:
        Recognise();
        break;
    case 2:
        AwaitSlowStart();
        break;
    case 3:
        promSelector_ = currentLine_.substr(0, 1);
        Send("D" + promSelector_);
        step_ = 4;
        break;
    case 4:
        AwaitIdentificationAccepted();
        break;
    case 5:
        ReadIdentification();
        break;
    case 6:
        StartUpdate();
        break;
    case 7:
        AwaitUpdateAccepted();
        break;
    case kStatementRunning:
        RunStatement();
        break;
    case kAwaitEnd:
        AwaitEnd();
        break;
    case 10:
        promSelector_ = currentLine_.substr(0, 1);
        Send("F" + promSelector_);
        step_ = 11;
        break;
    case 11:
        AwaitF();
        break;
    case kFinish:
        effectFile_.CloseEffectFile();
        ClearBusy();
        step_ = kIdle;
        break;
    default:
        // Step 1 is the parked state; it is left only by Reset.
        break;
    }
}

} // namespace vz

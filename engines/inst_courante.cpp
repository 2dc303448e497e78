#include "engines/inst_courante.h"

#include "engines/line_text.h"
#include "formats/text_lines.h"

#include <charconv>
#include <utility>

namespace vz {

namespace {

const std::string kWriteVersionError = "Error while writing version number !!!";
const std::string kReadVersionError = "Error while reading version number !!!";

// Drops the first `count` characters (all of them when there are fewer) and trims.
std::string CutAndTrim(const std::string& text, std::size_t count) {
    return TrimBoth(DropFront(text, count));
}

// A whole number of 0 or more that fits the signed 32-bit range; nothing else.
bool ParseWaitTime(const std::string& text, std::uint32_t& value) {
    if (text.empty()) return false;
    std::int32_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end || parsed < 0) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

} // namespace

TInstCrt::TInstCrt(EngineClock clock) : TGestionnaire(std::move(clock)) {}

void TInstCrt::Error(TErrorCode code, const std::string& text) {
    ClearBusy();
    step_ = stParked;
    TGestionnaire::Error(code, text);
}

void TInstCrt::Reset() {
    TGestionnaire::Reset();
    step_ = stIdle;
}

void TInstCrt::Recognise() {
    if (busy_) return;
    const std::string_view line = currentLine_;
    TStep next = stIdle;
    // Case-sensitive prefixes, tried in this order: "prompt" is taken, "Prompt" is nobody's.
    if (line.starts_with("prompt")) {
        next = stPrompt;
    } else if (line.starts_with("wait")) {
        next = stWaitStart;
    } else if (line.starts_with("RS")) {
        next = stReset;
    } else if (line.starts_with("NP")) {
        next = stNoOp;
    } else if (line.starts_with("FI")) {
        next = stEnd;
    } else if (line.starts_with("V") || line.starts_with("T")) {
        // A component and a version follow, blanks allowed between the letter and the component.
        line_ = CutScriptLine(line);
        currentLine_ = line_.rest;
        next = line_.letter == 'V' ? stVersionSelect : stVersionQuery;
    } else if (line.starts_with("UV")) {
        currentLine_ = CutAndTrim(currentLine_, 2);
        next = stUvStart;
    } else if (line.starts_with("OP")) {
        currentLine_ = CutAndTrim(currentLine_, 2);
        next = stOpStart;
    } else {
        return;
    }
    SetBusy();
    step_ = next;
}

bool TInstCrt::CommandAccepted() {
    return CommandReply() == TReply::Accepted;
}

bool TInstCrt::TextWritten() {
    return CheckReply('X', TErrorCode::write_error, kWriteVersionError) == TReply::Accepted;
}

void TInstCrt::StartWait() {
    // The line still holds the whole instruction here, which names it in the error.
    const std::string argument = CutAndTrim(currentLine_, 4);
    if (!ParseWaitTime(argument, waitDuration_)) {
        Error(TErrorCode::syntax_error, "Bad wait time in script line : " + currentLine_);
        return;
    }
    waitStart_ = clock_.Now();
    step_ = stWaiting;
}

void TInstCrt::CompareVersion() {
    RequestRx();
    // The held version is exactly four characters and its end mark.
    if (rxBuffer_.find('.') == 4) {
        const std::string held = rxBuffer_.substr(0, 4);
        if (OnVersionRead) OnVersionRead(*this, static_cast<char>('0' + componentNumber_), held);
        // Compared as text, letter case included: "01a5" is not "01A5".
        if (held == currentLine_ && OnVersionSame) OnVersionSame(*this, componentNumber_);
        ClearRx();
        StepProgress();
        step_ = stFinish;
    } else if (RxBeginsWith('X')) {
        Consume("X");
        Error(TErrorCode::read_error, kReadVersionError);
    }
}

void TInstCrt::StartTextCommand(const std::string& command, TStep next) {
    // As for "V": the device would wait for a text that never comes.
    if (currentLine_.empty()) {
        Error(TErrorCode::syntax_error, "Missing text in script line : " + command);
        return;
    }
    // Unlike "V" and "T", the bar's maximum is set before the command goes out.
    SetProgressMax(2);
    Send(command);
    step_ = next;
}

void TInstCrt::SendText(TStep next) {
    if (!CommandAccepted()) return;
    currentLine_ = TrimBoth(currentLine_);
    StepProgress();
    Send(currentLine_);
    step_ = next;
}

void TInstCrt::Execute() {
    switch (step_) {
    case stIdle:
        Recognise();
        break;
    case stPrompt:
        ShowStatus(CutAndTrim(currentLine_, 6));
        step_ = stFinish;
        break;
    case stWaitStart:
        StartWait();
        break;
    case stWaiting:
        // Strictly more than the duration: a "wait 0" still lets the clock move on once.
        if (static_cast<std::uint32_t>(clock_.Now() - waitStart_) > waitDuration_) step_ = stFinish;
        break;
    case stReset:
        ShowStatus("Reset");
        Send("RS");
        step_ = stResetReply;
        break;
    case stResetReply:
    case stNoOpReply:
    case stEndReply:
        if (CommandAccepted()) step_ = stFinish;
        break;
    case stNoOp:
        Send("NP");
        step_ = stNoOpReply;
        break;
    case stFinish:
        ClearBusy();
        step_ = stIdle;
        break;
    case stParked:
        break;
    case stEnd:
        Send("FI");
        step_ = stEndReply;
        break;
    case stVersionSelect:
        if (line_.component == 0) {
            Error(TErrorCode::syntax_error, "Missing component in script line : V");
            break;
        }
        // An empty text would never reach the device, which would then never answer.
        if (line_.argument.empty()) {
            Error(TErrorCode::syntax_error, "Missing version in script line : V" + currentLine_);
            break;
        }
        versionComponent_ = line_.component;
        Send(std::string("V") + line_.component);
        step_ = stVersionSelectReply;
        break;
    case stVersionSelectReply:
        if (CommandAccepted()) {
            currentLine_ = line_.argument;
            SetProgressMax(2);
            StepProgress();
            Send(currentLine_);
            step_ = stVersionWriteReply;
        }
        break;
    case stVersionWriteReply:
    case stUvTextReply:
    case stOpTextReply:
        if (TextWritten()) {
            if (step_ == stVersionWriteReply && OnVersionWritten)
                OnVersionWritten(*this, versionComponent_, currentLine_);
            StepProgress();
            step_ = stFinish;
        }
        break;
    case stVersionQuery:
        // Anything but a digit would be compared as component 0 and skip the whole keyboard.
        if (!IsComponentDigit(line_.component)) {
            Error(TErrorCode::syntax_error, "Missing component in script line : T" + currentLine_);
            break;
        }
        componentNumber_ = line_.component - '0';
        Send(std::string("T") + line_.component);
        step_ = stVersionQueryReply;
        break;
    case stVersionQueryReply:
        if (CommandAccepted()) {
            currentLine_ = line_.argument;
            SetProgressMax(2);
            StepProgress();
            step_ = stVersionCompare;
        }
        break;
    case stVersionCompare:
        CompareVersion();
        break;
    case stUvStart:
        StartTextCommand("UV", stUvReply);
        break;
    case stOpStart:
        StartTextCommand("OP", stOpReply);
        break;
    case stUvReply:
        SendText(stUvTextReply);
        break;
    case stOpReply:
        SendText(stOpTextReply);
        break;
    default:
        // Not a step of this engine: stay put, like stParked.
        break;
    }
}

} // namespace vz

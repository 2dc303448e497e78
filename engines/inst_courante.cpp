#include "engines/inst_courante.h"

#include "engines/line_text.h"
#include "formats/text_lines.h"

#include <charconv>
#include <utility>

namespace vz {

namespace {

constexpr std::uint8_t kIdle = 0;
constexpr std::uint8_t kFinish = 8;
constexpr std::uint8_t kFailed = 9;

const std::string kInstructionUnknown = "Instruction unknown";
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

void TInstCrt::Error(const std::string& text) {
    ClearBusy();
    step_ = kFailed;
    TGestionnaire::Error(text);
}

void TInstCrt::Reset() {
    TGestionnaire::Reset();
    step_ = kIdle;
}

void TInstCrt::Recognise() {
    if (busy_) return;
    const std::string_view line = currentLine_;
    std::uint8_t next = kIdle;
    if (line.starts_with("prompt")) {
        next = 1;
    } else if (line.starts_with("wait")) {
        next = 2;
    } else if (line.starts_with("RS")) {
        next = 4;
    } else if (line.starts_with("NP")) {
        next = 6;
    } else if (line.starts_with("FI")) {
        next = 10;
    } else if (line.starts_with("V")) {
        currentLine_ = CutAndTrim(currentLine_, 1);
        next = 12;
    } else if (line.starts_with("T")) {
        currentLine_ = CutAndTrim(currentLine_, 1);
        next = 15;
    } else if (line.starts_with("UV")) {
        currentLine_ = CutAndTrim(currentLine_, 2);
        next = 18;
    } else if (line.starts_with("OP")) {
        currentLine_ = CutAndTrim(currentLine_, 2);
        next = 21;
    } else {
        return;
    }
    SetBusy();
    step_ = next;
}

bool TInstCrt::CommandAccepted() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        return true;
    }
    if (RxBeginsWith('I')) {
        Consume("I");
        Error(kInstructionUnknown);
    }
    return false;
}

bool TInstCrt::TextWritten() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        return true;
    }
    if (RxBeginsWith('X')) {
        Consume("X");
        Error(kWriteVersionError);
    }
    return false;
}

void TInstCrt::StartWait() {
    // The line still holds the whole instruction here, which names it in the error.
    const std::string argument = CutAndTrim(currentLine_, 4);
    if (!ParseWaitTime(argument, waitDuration_)) {
        Error("Bad wait time in script line : " + currentLine_);
        return;
    }
    waitStart_ = clock_.Now();
    step_ = 3;
}

void TInstCrt::CompareVersion() {
    RequestRx();
    // The held version is exactly four characters and its end mark.
    if (rxBuffer_.find('.') == 4) {
        const std::string held = rxBuffer_.substr(0, 4);
        if (held == currentLine_ && OnVersionSame) OnVersionSame(*this, componentNumber_);
        ClearRx();
        StepProgress();
        step_ = kFinish;
    } else if (RxBeginsWith('X')) {
        Consume("X");
        Error(kReadVersionError);
    }
}

void TInstCrt::Execute() {
    switch (step_) {
    case kIdle:
        Recognise();
        break;
    case 1:
        ShowStatus(CutAndTrim(currentLine_, 6));
        step_ = kFinish;
        break;
    case 2:
        StartWait();
        break;
    case 3:
        if (static_cast<std::uint32_t>(clock_.Now() - waitStart_) > waitDuration_) step_ = kFinish;
        break;
    case 4:
        ShowStatus("Reset");
        Send("RS");
        step_ = 5;
        break;
    case 5:
    case 7:
    case 11:
        if (CommandAccepted()) step_ = kFinish;
        break;
    case 6:
        Send("NP");
        step_ = 7;
        break;
    case kFinish:
        ClearBusy();
        step_ = kIdle;
        break;
    case kFailed:
        break;
    case 10:
        Send("FI");
        step_ = 11;
        break;
    case 12:
        if (currentLine_.empty()) {
            Error("Missing component in script line : V");
            break;
        }
        // An empty text would never reach the device, which would then never answer.
        if (CutAndTrim(currentLine_, 1).empty()) {
            Error("Missing version in script line : V" + currentLine_);
            break;
        }
        Send(std::string("V") + currentLine_.front());
        step_ = 13;
        break;
    case 13:
        if (CommandAccepted()) {
            currentLine_ = CutAndTrim(currentLine_, 1);
            SetProgressMax(2);
            StepProgress();
            Send(currentLine_);
            step_ = 14;
        }
        break;
    case 14:
    case 20:
    case 23:
        if (TextWritten()) {
            StepProgress();
            step_ = kFinish;
        }
        break;
    case 15: {
        // Anything but a digit would be compared as component 0 and skip the whole keyboard.
        if (currentLine_.empty() || currentLine_.front() < '0' || currentLine_.front() > '9') {
            Error("Missing component in script line : T" + currentLine_);
            break;
        }
        const char component = currentLine_.front();
        componentNumber_ = component - '0';
        Send(std::string("T") + component);
        step_ = 16;
        break;
    }
    case 16:
        if (CommandAccepted()) {
            currentLine_ = CutAndTrim(currentLine_, 1);
            SetProgressMax(2);
            StepProgress();
            step_ = 17;
        }
        break;
    case 17:
        CompareVersion();
        break;
    case 18:
    case 21: {
        const std::string command = step_ == 18 ? "UV" : "OP";
        // As for "V": the device would wait for a text that never comes.
        if (currentLine_.empty()) {
            Error("Missing text in script line : " + command);
            break;
        }
        SetProgressMax(2);
        Send(command);
        step_ = static_cast<std::uint8_t>(step_ + 1);
        break;
    }
    case 19:
    case 22:
        if (CommandAccepted()) {
            currentLine_ = TrimBoth(currentLine_);
            StepProgress();
            Send(currentLine_);
            step_ = static_cast<std::uint8_t>(step_ + 1);
        }
        break;
    default:
        // Not a step of this engine: stay put, like the failed step.
        break;
    }
}

} // namespace vz

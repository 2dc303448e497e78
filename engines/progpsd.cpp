#include "engines/progpsd.h"

#include "engines/line_text.h"
#include "formats/hex.h"
#include "formats/text_lines.h"

#include <utility>

namespace vz {

namespace {

constexpr std::uint8_t kIdle = 0;
constexpr std::uint8_t kStopped = 4;
constexpr std::uint8_t kFinish = 14;

constexpr std::int32_t kMaxRetries = 300;

const std::string kLineEnd = "\r\n";
const std::string kInstructionUnknown = "Instruction unknown";
const std::string kTooManyErrors = "Too Many Transmission Error !!!";

} // namespace

TProgPsd::TProgPsd(EngineClock clock) : TGestionnaire(std::move(clock)) {}

bool TProgPsd::IsBankDigit(std::string_view text) {
    return !text.empty() && text[0] >= '0' && text[0] <= '7';
}

void TProgPsd::Error(const std::string& text) {
    fileLines_.clear();
    ClearBusy();
    step_ = kStopped;
    TGestionnaire::Error(text);
}

void TProgPsd::Reset() {
    fileLines_.clear();
    TGestionnaire::Reset();
    step_ = kIdle;
}

char TProgPsd::Digit() const {
    return NibbleToHexChar(static_cast<unsigned>(bank_));
}

void TProgPsd::Recognise() {
    if (busy_ || currentLine_.empty()) return;
    std::uint8_t next = kIdle;
    switch (currentLine_.front()) {
    case 'P':
        next = 1;
        break;
    case 'D':
        next = 9;
        break;
    case 'F':
        next = 12;
        break;
    default:
        return;
    }
    currentLine_ = TrimBoth(DropFront(currentLine_, 1));
    if (!IsBankDigit(currentLine_)) return;
    SetBusy();
    bank_ = HexCharToNibble(currentLine_.front());
    step_ = next;
}

void TProgPsd::LoadFile() {
    currentLine_ = TrimBoth(DropFront(currentLine_, 1));
    retryCount_ = 0;
    if (LoadTextLines(scriptDir_ + currentLine_, fileLines_) != LoadResult::Ok) {
        Error(scriptDir_ + currentLine_ + " File not found !!!");
        return;
    }
    Send(std::string("P") + Digit());
    step_ = 2;
}

bool TProgPsd::CommandAccepted() {
    RequestRx();
    if (RxBeginsWith('.')) return true;
    if (RxBeginsWith('I')) {
        Consume("I");
        Error(kInstructionUnknown);
    }
    return false;
}

void TProgPsd::SendFileLine(std::int32_t index) {
    Send(fileLines_[static_cast<std::size_t>(index)] + kLineEnd);
}

void TProgPsd::AwaitErase() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        nextLine_ = 0;
        SetProgressMax(static_cast<std::int32_t>(fileLines_.size()));
        // An empty file shows only now, after the device has erased the bank.
        if (fileLines_.empty()) {
            Error("Keyb File Empty !!!");
            return;
        }
        ShowStatus(std::string("Upload Bank") + Digit());
        SendFileLine(0);
        step_ = 6;
    } else if (RxBeginsWith('X')) {
        Consume("X");
        Error("Error while erasing !!!");
    }
}

void TProgPsd::Upload() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        StepProgress();
        // Line 0 went out with the erase acknowledgement and goes out again here.
        if (nextLine_ < static_cast<std::int32_t>(fileLines_.size())) {
            SendFileLine(nextLine_);
            ++nextLine_;
        } else {
            step_ = 7;
        }
    } else if (RxBeginsWith('X')) {
        Consume("X");
        Error("Error while writing!!!");
    } else if (RxBeginsWith('R')) {
        Consume("R");
        ++retryCount_;
        if (retryCount_ > kMaxRetries) {
            Error(kTooManyErrors);
        } else {
            // Before the first acknowledgement the line sent last is line 0.
            SendFileLine(nextLine_ > 0 ? nextLine_ - 1 : 0);
        }
    }
}

void TProgPsd::SendChecksum() {
    ShowStatus(std::string("Verify Bank") + Digit());
    // Bank 0 lives in the lower half of the address space, every other bank in the upper.
    const std::uint16_t sum =
        bank_ == 0 ? HexImageSum(fileLines_, 0x0000, 0x7FFF) : HexImageSum(fileLines_, 0x8000, 0xFFFF);
    Send(BuildHexRecord(0x0C, 0x0000, WordToHex(sum)) + kLineEnd);
    step_ = 8;
}

void TProgPsd::AwaitChecksum() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        ClearRx();
        step_ = kFinish;
    } else if (RxBeginsWith('X')) {
        Consume("X");
        Error("Checksum Error");
    } else if (RxBeginsWith('R')) {
        Consume("R");
        step_ = 7;
        // One count for the upload and the checksum together.
        ++retryCount_;
        if (retryCount_ > kMaxRetries) Error(kTooManyErrors);
    }
}

void TProgPsd::ReadIdNumber() {
    RequestRx();
    if (rxBuffer_.find('.') != 2) return;
    ShowStatus("ID Number : " + rxBuffer_.substr(0, 2));
    ClearRx();
    step_ = kFinish;
}

void TProgPsd::Execute() {
    switch (step_) {
    case kIdle:
        Recognise();
        break;
    case 1:
        LoadFile();
        break;
    case 2:
        if (CommandAccepted()) {
            Consume(".");
            ShowStatus(std::string("Erase Bank") + Digit());
            step_ = 3;
        }
        break;
    case 3:
        AwaitErase();
        break;
    case 6:
        Upload();
        break;
    case 7:
        SendChecksum();
        break;
    case 8:
        AwaitChecksum();
        break;
    case 9:
        Send(std::string("D") + Digit());
        step_ = 10;
        break;
    case 10:
        if (CommandAccepted()) {
            ShowStatus("Extract ID Keyb");
            Consume(".");
            step_ = 11;
        }
        break;
    case 11:
        ReadIdNumber();
        break;
    case 12:
        Send(std::string("F") + Digit());
        step_ = 13;
        break;
    case 13:
        if (CommandAccepted()) {
            Consume(".");
            step_ = kFinish;
        }
        break;
    case kFinish:
        fileLines_.clear();
        ClearBusy();
        step_ = kIdle;
        break;
    default:
        // Step 4 is the stopped state and step 5 is unused: both wait for Reset.
        break;
    }
}

} // namespace vz

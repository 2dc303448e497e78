#include "engines/progboot.h"

#include "engines/constante.h"
#include "engines/line_text.h"
#include "formats/hex.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace vz {

namespace {

constexpr std::uint8_t kIdle = 0;
constexpr std::uint8_t kStopped = 7;
constexpr std::uint8_t kFinish = 13;

constexpr std::uint32_t kTypeCheckTimeoutMs = 1000;
constexpr std::int32_t kMaxRetries = 300;

const std::string kBadType = "Bad type of device !!! If you attempt to update a VORNA-PLUS, Select manualy "
                             "the model in the DEVICE menu.";
const std::string kLineEnd = "\r\n";

// Table position the type check starts from: the model chosen in the menu, or the
// first position for Auto and for any code the table does not hold.
std::int32_t FirstPosition(std::uint8_t menuModel) {
    const int number = FindDeviceRecord(menuModel);
    return number == 0 ? 1 : number;
}

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

TProgBoot::TProgBoot(EngineClock clock) : TGestionnaire(std::move(clock)) {}

void TProgBoot::Error(const std::string& text) {
    fileLines_.clear();
    ClearBusy();
    step_ = kStopped;
    TGestionnaire::Error(text);
}

void TProgBoot::Reset() {
    fileLines_.clear();
    TGestionnaire::Reset();
    step_ = kIdle;
}

void TProgBoot::Recognise() {
    if (busy_) return;
    if (currentLine_.starts_with("SYN")) {
        SetBusy();
        step_ = 4;
    } else if (currentLine_.starts_with("P")) {
        currentLine_ = TrimBoth(DropFront(currentLine_, 1));
        if (currentLine_.starts_with("B")) {
            SetBusy();
            step_ = 1;
        }
    }
}

void TProgBoot::LoadFile() {
    currentLine_ = TrimLeft(DropFront(currentLine_, 1));
    const std::string fileName = currentLine_.substr(0, currentLine_.find(' '));
    retryCount_ = 0;
    if (LoadTextLines(scriptDir_ + fileName, fileLines_) != LoadResult::Ok) {
        Error(scriptDir_ + currentLine_ + " File not found !!!");
        return;
    }
    checksumText_ = TrimBoth(std::string_view(currentLine_).substr(fileName.size()));
    // The text goes into the checksum record as its two data bytes: four hex digits or nothing.
    if (!checksumText_.empty()) {
        if (checksumText_.size() != 4 ||
            !std::all_of(checksumText_.begin(), checksumText_.end(), IsHexDigit)) {
            Error("Bad checksum in script line : PB " + currentLine_);
            return;
        }
        for (char& c : checksumText_)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    SetProgressMax(static_cast<std::int32_t>(fileLines_.size()) + 2);
    Send("PB");
    step_ = 2;
}

void TProgBoot::AwaitCall() {
    RequestRx();
    while (!rxBuffer_.empty()) {
        if (RxBeginsWith('%')) {
            ClearRx();
            Send("%");
            step_ = 5;
        } else {
            Consume(rxBuffer_.substr(0, 1));
        }
    }
}

void TProgBoot::SendTypeNumber() {
    typeCheckStart_ = clock_.Now();
    Send(std::to_string(DeviceRecordAt(cursor_).type_number));
}

void TProgBoot::AwaitSynchronised() {
    RequestRx();
    // Every "." in the buffer starts the type check over; the device sends one.
    while (!rxBuffer_.empty()) {
        if (RxBeginsWith('.')) {
            Consume(".");
            ShowStatus("Verify Device Type");
            cursor_ = FirstPosition(menuModel_);
            SendTypeNumber();
            step_ = 9;
        } else {
            Consume(rxBuffer_.substr(0, 1));
        }
    }
}

void TProgBoot::CheckType() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        RaiseModelFound(DeviceRecordAt(cursor_).code);
        step_ = 6;
    } else if (RxBeginsWith('X')) {
        ++cursor_;
        Consume("X");
        if (menuModel_ == 1) {
            // A KRA350 may be the "_256" variant: one more try with its type number.
            menuModel_ = 5;
            cursor_ = FirstPosition(menuModel_);
            SendTypeNumber();
        } else if (cursor_ > kDeviceCount || menuModel_ != 0) {
            Error(kBadType);
        } else {
            SendTypeNumber();
        }
    } else if (static_cast<std::uint32_t>(clock_.Now() - typeCheckStart_) > kTypeCheckTimeoutMs) {
        Error(kBadType);
    }
}

void TProgBoot::ReadIdentification() {
    RequestRx();
    const std::size_t end = rxBuffer_.find('.');
    if (end != 14 && end != 8) return;
    // Handlers may touch the receive text; work on a copy of the reply.
    const std::string reply = rxBuffer_.substr(0, end);
    ShowStatus("Boot Checksum : " +
               WordToHex(static_cast<std::uint16_t>(HexToWord(reply.substr(0, 4)) + 0xA000)));
    ShowStatus("Device ID : " + reply.substr(4, 4));
    SetDeviceId(HexToWord(reply.substr(4, 4)));
    if (end == 14) {
        RaiseOptions(HexToWord(reply.substr(8, 4)));
        RaiseReportedModel(modelCode_);
        const std::int32_t type = HexToWord("00" + reply.substr(12, 2));
        for (const device_rec& record : device_table) {
            if (record.type_number == type) RaiseReportedModel(record.code);
        }
    } else {
        RaiseOptions(0);
        RaiseReportedModel(modelCode_);
    }
    ClearRx();
    step_ = kFinish;
}

void TProgBoot::AwaitCommandAccepted() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        ShowStatus("Erase Extended Boot");
        step_ = 8;
    } else if (RxBeginsWith('I')) {
        Consume("I");
        Error("Instruction unknown");
    }
}

void TProgBoot::SendFileLine(std::int32_t index) {
    Send(fileLines_[static_cast<std::size_t>(index)] + kLineEnd);
}

void TProgBoot::AwaitErase() {
    RequestRx();
    if (RxBeginsWith('.')) {
        StepProgress();
        Consume(".");
        cursor_ = 0;
        if (fileLines_.empty()) {
            Error("Boot File Empty !!!");
            return;
        }
        ShowStatus("Upload Extended Boot");
        SendFileLine(0);
        step_ = 10;
    } else if (RxBeginsWith('X')) {
        Consume("X");
        Error("Error while erasing !!!");
    }
}

void TProgBoot::Upload() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        StepProgress();
        // Line 0 went out with the erase acknowledgement and goes out again here.
        if (cursor_ < static_cast<std::int32_t>(fileLines_.size())) {
            SendFileLine(cursor_);
            ++cursor_;
        } else {
            step_ = 11;
        }
    } else if (RxBeginsWith('X')) {
        Error("Error while writing!!!");
        Consume("X");
    } else if (RxBeginsWith('R')) {
        Consume("R");
        ++retryCount_;
        if (retryCount_ > kMaxRetries) {
            Error("Too Many Transmission Error !!!");
        } else {
            // Before the first acknowledgement the line sent last is line 0.
            SendFileLine(cursor_ > 0 ? cursor_ - 1 : 0);
        }
    }
}

void TProgBoot::SendChecksum() {
    ShowStatus("Verify Checksum");
    const std::string digits =
        checksumText_.empty() ? WordToHex(HexImageSum(fileLines_, 0x4000, 0x5FFF)) : checksumText_;
    Send(BuildHexRecord(0x0C, 0x0000, digits) + kLineEnd);
    step_ = 12;
}

void TProgBoot::AwaitChecksum() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        step_ = kFinish;
    } else if (RxBeginsWith('X')) {
        Consume("X");
        Error("Checksum Error");
    }
}

void TProgBoot::Execute() {
    switch (step_) {
    case kIdle:
        Recognise();
        break;
    case 1:
        LoadFile();
        break;
    case 2:
        AwaitCommandAccepted();
        break;
    case 4:
        AwaitCall();
        break;
    case 5:
        AwaitSynchronised();
        break;
    case 6:
        ReadIdentification();
        break;
    case 8:
        AwaitErase();
        break;
    case 9:
        CheckType();
        break;
    case 10:
        Upload();
        break;
    case 11:
        SendChecksum();
        break;
    case 12:
        AwaitChecksum();
        break;
    case kFinish:
        fileLines_.clear();
        ClearBusy();
        step_ = kIdle;
        break;
    default:
        // Step 3 is unused and step 7 is the stopped state: both wait for Reset.
        break;
    }
}

} // namespace vz

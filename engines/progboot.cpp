#include "engines/progboot.h"

#include "engines/constante.h"
#include "engines/line_text.h"
#include "formats/hex.h"
#include "formats/printable_text.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace vz {

namespace {

constexpr std::uint32_t kTypeCheckTimeoutMs = 1000;

const std::string kBadType = "Bad type of device !!! If you attempt to update a VORNA-PLUS, Select manualy "
                             "the model in the DEVICE menu.";

// The device sums the extended boot area's addresses only.
constexpr TAddressRange kBootRange{0x4000, 0x5FFF};

// Table position the type check starts from: the model chosen in the menu, or the
// first position for Auto and for any code the table does not hold.
std::int32_t FirstPosition(std::uint8_t menuModel) {
    const int number = FindDeviceRecord(menuModel);
    return number == 0 ? 1 : number;
}

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// "P B x.hex" and "PB x.hex" alike: a blank between P and B is taken.
bool IsBootLine(const TScriptLine& line) {
    return line.letter == 'P' && line.component == 'B';
}

} // namespace

TProgBoot::TProgBoot(EngineClock clock) : TProgFlash(std::move(clock)) {}

std::optional<TProgrammedFile> TProgBoot::DescribeLine(const std::string& line) const {
    const TScriptLine cut = CutScriptLine(line);
    if (!IsBootLine(cut)) return std::nullopt;
    return TProgrammedFile{{mkBootArea, 0}, scriptDir_ + ProgrammedFileName(cut), kBootRange};
}

void TProgBoot::Recognise() {
    if (busy_) return;
    if (currentLine_.starts_with("SYN")) {
        SetBusy();
        step_ = stAwaitCall;
        return;
    }
    line_ = CutScriptLine(currentLine_);
    if (line_.letter != 'P') return;
    // A blank between P and B is taken, and none between B and the file name.
    currentLine_ = line_.rest;
    if (!IsBootLine(line_)) return;
    SetBusy();
    step_ = stLoadFile;
}

void TProgBoot::LoadFile() {
    // What follows the "B": the file name and the checksum text, if any.
    currentLine_ = line_.argument;
    const std::string fileName = ProgrammedFileName(line_);
    if (!LoadFlashFile(scriptDir_ + fileName)) {
        // Deliberately the whole rest of the line, checksum text included, not just the name.
        Error(TErrorCode::file_not_found, scriptDir_ + currentLine_ + " File not found !!!");
        return;
    }
    checksumText_ = TrimBoth(std::string_view(currentLine_).substr(fileName.size()));
    // The text goes into the checksum record as its two data bytes: four hex digits or nothing.
    if (!checksumText_.empty()) {
        if (checksumText_.size() != 4 ||
            !std::all_of(checksumText_.begin(), checksumText_.end(), IsHexDigit)) {
            Error(TErrorCode::checksum_mismatch, "Bad checksum in script line : PB " + currentLine_);
            return;
        }
        for (char& c : checksumText_)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    // The erase and every line sent, the doubled line 0 included, step the bar to its end.
    SetProgressMax(FileLineCount() + 2);
    Send("PB");
    step_ = stAwaitCommand;
}

void TProgBoot::AwaitCall() {
    RequestRx();
    // Whatever arrives before the call is dropped; the call itself clears the rest.
    Discard(rxBuffer_.find('%'));
    if (RxBeginsWith('%')) {
        ClearRx();
        Send("%");
        step_ = stAwaitSynchronised;
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
        Discard(rxBuffer_.find('.'));
        if (RxBeginsWith('.')) {
            Consume(".");
            ShowStatus("Verify Device Type");
            cursor_ = FirstPosition(menuModel_);
            SendTypeNumber();
            step_ = stTypeCheck;
        }
    }
}

void TProgBoot::CheckType() {
    RequestRx();
    if (RxBeginsWith('.')) {
        Consume(".");
        RaiseModelFound(DeviceRecordAt(cursor_).code);
        step_ = stReadIdentification;
    } else if (RxBeginsWith('X')) {
        ++cursor_;
        Consume("X");
        if (menuModel_ == 1) {
            // A KRA350 may be the "_256" variant: one more try with its type number, and
            // a later "SYN" of the run starts from it.
            menuModel_ = 5;
            cursor_ = FirstPosition(menuModel_);
            SendTypeNumber();
        } else if (cursor_ > kDeviceCount || menuModel_ != 0) {
            Error(TErrorCode::wrong_model, kBadType);
        } else {
            SendTypeNumber();
        }
    } else if (static_cast<std::uint32_t>(clock_.Now() - typeCheckStart_) > kTypeCheckTimeoutMs) {
        // The only time-out on a device answer: 1000 ms of silence count as a refusal.
        Error(TErrorCode::wrong_model, kBadType);
    }
}

void TProgBoot::ReadIdentification() {
    RequestRx();
    const std::size_t end = rxBuffer_.find('.');
    if (end != 14 && end != 8) return;
    // Handlers may touch the receive text; work on a copy of the reply.
    const std::string reply = rxBuffer_.substr(0, end);
    bootChecksum_ = static_cast<std::uint16_t>(HexToWord(reply.substr(0, 4)));
    // Deliberately shown with 0xA000 added to the value the device reports.
    ShowStatus("Boot Checksum : " + WordToHex(static_cast<std::uint16_t>(bootChecksum_ + 0xA000)));
    ShowStatus("Device ID : " + PrintableText(reply.substr(4, 4)));
    SetDeviceId(HexToWord(reply.substr(4, 4)));
    if (end == 14) {
        RaiseOptions(HexToWord(reply.substr(8, 4)));
        RaiseReportedModel(modelCode_);
        // A type byte that two models share (21) reports both, in table order.
        const std::int32_t type = HexToWord("00" + reply.substr(12, 2));
        for (const device_rec& record : device_table) {
            if (record.type_number == type) RaiseReportedModel(record.code);
        }
    } else {
        RaiseOptions(0);
        RaiseReportedModel(modelCode_);
    }
    ClearRx();
    step_ = stFinish;
}

void TProgBoot::Execute() {
    switch (step_) {
    case stIdle:
        Recognise();
        break;
    case stLoadFile:
        LoadFile();
        break;
    case stAwaitCommand:
        if (CommandAccepted({mkBootArea, 0}, "Erase Extended Boot")) step_ = stErasing;
        break;
    case stAwaitCall:
        AwaitCall();
        break;
    case stAwaitSynchronised:
        AwaitSynchronised();
        break;
    case stReadIdentification:
        ReadIdentification();
        break;
    case stErasing:
        if (!EraseDone()) break;
        StepProgress();
        if (StartUpload("Upload Extended Boot", "Boot File Empty !!!")) step_ = stUploading;
        break;
    case stTypeCheck:
        CheckType();
        break;
    case stUploading:
        if (UploadStep()) step_ = stSendChecksum;
        break;
    case stSendChecksum:
        // A checksum written on the script line goes to the device unchecked against the file.
        SendChecksumRecord("Verify Checksum",
                           checksumText_.empty()
                               ? WordToHex(HexImageSum(FileLines(), kBootRange.First, kBootRange.Last))
                               : checksumText_);
        step_ = stAwaitChecksum;
        break;
    case stAwaitChecksum:
        // Unlike the keyboard loader, the boot loader never asks for the record again.
        if (ChecksumReply(false) == crMatched) step_ = stFinish;
        break;
    case stFinish:
        DropFile();
        EndMemory();
        ClearBusy();
        step_ = stIdle;
        break;
    default:
        // Step 3 is unused and stParked waits for Reset, as does any other value.
        break;
    }
}

} // namespace vz

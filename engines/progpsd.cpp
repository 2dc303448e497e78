#include "engines/progpsd.h"

#include "engines/line_text.h"
#include "formats/hex.h"
#include "formats/printable_text.h"
#include "formats/text_lines.h"

#include <utility>

namespace vz {

namespace {

// Bank 0 lives in the lower half of the address space, every other bank in the upper.
TAddressRange BankRange(std::int32_t bank) {
    return bank == 0 ? TAddressRange{0x0000, 0x7FFF} : TAddressRange{0x8000, 0xFFFF};
}

} // namespace

TProgPsd::TProgPsd(EngineClock clock) : TProgFlash(std::move(clock)) {}

bool TProgPsd::IsBankDigit(std::string_view text) {
    return !text.empty() && text[0] >= '0' && text[0] <= '7';
}

std::optional<TProgrammedFile> TProgPsd::DescribeLine(const std::string& line) const {
    const TScriptLine cut = CutScriptLine(line);
    // "P 3 x.hex" and "P3 x.hex" alike; the file name keeps blanks inside.
    if (cut.letter != 'P' || !IsBankDigit(cut.rest)) return std::nullopt;
    const std::int32_t bank = HexCharToNibble(cut.component);
    return TProgrammedFile{{mkKeyboardBank, bank}, scriptDir_ + ProgrammedFileName(cut), BankRange(bank)};
}

char TProgPsd::Digit() const {
    return NibbleToHexChar(static_cast<unsigned>(bank_));
}

void TProgPsd::Recognise() {
    if (busy_ || currentLine_.empty()) return;
    const TScriptLine line = CutScriptLine(currentLine_);
    TStep next = stIdle;
    switch (line.letter) {
    case 'P':
        next = stLoadFile;
        break;
    case 'D':
        next = stSendD;
        break;
    case 'F':
        next = stSendF;
        break;
    default:
        return;
    }
    currentLine_ = line.rest;
    if (!IsBankDigit(currentLine_)) return;
    SetBusy();
    bank_ = HexCharToNibble(line.component);
    fileName_ = ProgrammedFileName(line);
    step_ = next;
}

void TProgPsd::LoadFile() {
    currentLine_ = fileName_;
    if (!LoadFlashFile(scriptDir_ + currentLine_)) {
        Error(TErrorCode::file_not_found, scriptDir_ + currentLine_ + " File not found !!!");
        return;
    }
    Send(std::string("P") + Digit());
    step_ = stAwaitCommand;
}

void TProgPsd::ReadIdNumber() {
    RequestRx();
    if (rxBuffer_.find('.') != 2) return;
    ShowStatus("ID Number : " + PrintableText(rxBuffer_.substr(0, 2)));
    ClearRx();
    step_ = stFinish;
}

void TProgPsd::Execute() {
    switch (step_) {
    case stIdle:
        Recognise();
        break;
    case stLoadFile:
        LoadFile();
        break;
    case stAwaitCommand:
        // The status texts run the digit on without a blank: "Erase Bank3".
        if (CommandAccepted({mkKeyboardBank, bank_}, std::string("Erase Bank") + Digit())) step_ = stErasing;
        break;
    case stErasing:
        if (!EraseDone()) break;
        // Every line sent, the doubled line 0 included, steps the bar: one step past its end.
        SetProgressMax(FileLineCount());
        if (StartUpload(std::string("Upload Bank") + Digit(), "Keyb File Empty !!!")) step_ = stUploading;
        break;
    case stUploading:
        if (UploadStep()) step_ = stSendChecksum;
        break;
    case stSendChecksum: {
        const TAddressRange range = BankRange(bank_);
        SendChecksumRecord(std::string("Verify Bank") + Digit(),
                           WordToHex(HexImageSum(FileLines(), range.First, range.Last)));
        step_ = stAwaitChecksum;
        break;
    }
    case stAwaitChecksum:
        switch (ChecksumReply(true)) {
        case crMatched:
            // Anything the device sent after its verdict is dropped.
            ClearRx();
            step_ = stFinish;
            break;
        case crResend:
            // The next step shows the status line again and sends a freshly built record.
            step_ = stSendChecksum;
            break;
        case crWaiting:
            break;
        }
        break;
    case stSendD:
        Send(std::string("D") + Digit());
        step_ = stAwaitD;
        break;
    case stAwaitD:
        // The status line comes before the "." is taken.
        if (CommandReply(TDot::Keep) == TReply::Accepted) {
            ShowStatus("Extract ID Keyb");
            Consume(".");
            step_ = stReadIdNumber;
        }
        break;
    case stReadIdNumber:
        ReadIdNumber();
        break;
    case stSendF:
        Send(std::string("F") + Digit());
        step_ = stAwaitF;
        break;
    case stAwaitF:
        if (CommandReply() == TReply::Accepted) step_ = stFinish;
        break;
    case stFinish:
        DropFile();
        EndMemory();
        ClearBusy();
        step_ = stIdle;
        break;
    default:
        // Step 5 is unused and stParked waits for Reset, as does any other value.
        break;
    }
}

} // namespace vz

#include "engines/progflash.h"

#include "formats/hex.h"
#include "formats/text_lines.h"

#include <utility>

namespace vz {

namespace {

const std::string kLineEnd = "\r\n";

} // namespace

TProgFlash::TProgFlash(EngineClock clock) : TGestionnaire(std::move(clock)) {}

void TProgFlash::Error(TErrorCode code, const std::string& text) {
    DropFile();
    ClearBusy();
    ParkStep();
    TGestionnaire::Error(code, text);
}

void TProgFlash::Reset() {
    DropFile();
    TGestionnaire::Reset();
    IdleStep();
}

bool TProgFlash::LoadFlashFile(const std::string& path) {
    retryCount_ = 0;
    return LoadTextLines(path, fileLines_) == LoadResult::Ok;
}

void TProgFlash::SendFileLine(std::int32_t index) {
    Send(fileLines_[static_cast<std::size_t>(index)] + kLineEnd);
}

bool TProgFlash::CommandAccepted(const TMemory& memory, const std::string& eraseStatus) {
    if (CommandReply() != TReply::Accepted) return false;
    BeginMemory(memory);
    ShowStatus(eraseStatus);
    return true;
}

bool TProgFlash::EraseDone() {
    if (CheckReply('X', TErrorCode::write_error, "Error while erasing !!!") != TReply::Accepted) return false;
    nextLine_ = 0;
    return true;
}

bool TProgFlash::StartUpload(const std::string& uploadStatus, const std::string& emptyFileError) {
    // An empty file shows only now, after the device has erased the memory.
    if (fileLines_.empty()) {
        Error(TErrorCode::file_not_found, emptyFileError);
        return false;
    }
    ShowStatus(uploadStatus);
    // Line 0 goes out now without moving on, and again on the first acknowledgement.
    SendFileLine(0);
    return true;
}

bool TProgFlash::UploadStep() {
    const TReply reply = CheckReply('X', TErrorCode::write_error, "Error while writing!!!");
    if (reply == TReply::Accepted) {
        LineAcknowledged();
        StepProgress();
        if (nextLine_ >= FileLineCount()) return true;
        SendFileLine(nextLine_);
        ++nextLine_;
    } else if (reply == TReply::Waiting && RxBeginsWith('R')) {
        Consume("R");
        // The count runs over the whole file, not per line. Before the first
        // acknowledgement the line sent last is line 0.
        if (CountRetry()) SendFileLine(nextLine_ > 0 ? nextLine_ - 1 : 0);
    }
    return false;
}

void TProgFlash::SendChecksumRecord(const std::string& verifyStatus, const std::string& digits) {
    ShowStatus(verifyStatus);
    Send(BuildHexRecord(0x0C, 0x0000, digits) + kLineEnd);
}

TProgFlash::TChecksumReply TProgFlash::ChecksumReply(bool resendAllowed) {
    const TReply reply = CheckReply('X', TErrorCode::checksum_mismatch, "Checksum Error");
    if (reply == TReply::Accepted) return crMatched;
    if (reply == TReply::Waiting && resendAllowed && RxBeginsWith('R')) {
        Consume("R");
        // One count for the upload and the checksum together.
        if (CountRetry()) return crResend;
    }
    return crWaiting;
}

} // namespace vz

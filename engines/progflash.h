// Base of the two engines that program a flash memory of the device from an Intel
// HEX file, the extended boot area and the keyboard banks: the same dialogue with
// other command letters, status texts and checksum ranges.
#pragma once

#include "engines/gestionnaire.h"
#include "formats/text_lines.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vz {

class TProgFlash : public TGestionnaire {
public:
    // Index of the next file line to send.
    std::int32_t NextLine() const { return nextLine_; }
    const TextLines& FileLines() const { return fileLines_; }

    // Both drop the file; Error parks the step machine until Reset, Reset makes it idle.
    void Error(TErrorCode code, const std::string& text) override;
    void Reset() override;

protected:
    explicit TProgFlash(EngineClock clock);

    // The engine's own step machine: parked after an error, idle after Reset.
    virtual void ParkStep() = 0;
    virtual void IdleStep() = 0;

    // Reads the whole file and starts the retransmission count; false when it cannot be read.
    bool LoadFlashFile(const std::string& path);
    void DropFile() { fileLines_.clear(); }
    std::int32_t FileLineCount() const { return static_cast<std::int32_t>(fileLines_.size()); }

    // After the command: "." means the erase of `memory` begins, "I" fails. True on ".".
    bool CommandAccepted(const TMemory& memory, const std::string& eraseStatus);
    // "." ends the erase, "X" fails. True on ".".
    bool EraseDone();
    // Sends line 0, or fails on a file without lines. True when it went out.
    bool StartUpload(const std::string& uploadStatus, const std::string& emptyFileError);
    // One answer to a line; true once the last line is acknowledged.
    bool UploadStep();
    void SendChecksumRecord(const std::string& verifyStatus, const std::string& digits);

    enum TChecksumReply : std::uint8_t { crWaiting, crMatched, crResend };
    // The device's verdict on the checksum record. Only an engine that allows it has
    // the record sent again on "R"; the others wait on it.
    TChecksumReply ChecksumReply(bool resendAllowed);

private:
    void SendFileLine(std::int32_t index);

    TextLines fileLines_;
    std::int32_t nextLine_ = 0;
};

} // namespace vz

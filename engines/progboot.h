// Engine of the device's boot loader: synchronisation, type check and
// identification ("SYN"), and programming of the extended boot area ("PB").
#pragma once

#include "engines/line_text.h"
#include "engines/progflash.h"

#include <cstdint>
#include <string>

namespace vz {

class TProgBoot : public TProgFlash {
public:
    // Step 3 is not used; any step not named here waits for Reset like stParked.
    enum TStep : std::uint8_t {
        stIdle = 0,
        stLoadFile = 1,
        stAwaitCommand = 2,
        stAwaitCall = 4,
        stAwaitSynchronised = 5,
        stReadIdentification = 6,
        stParked = 7,
        stErasing = 8,
        stTypeCheck = 9,
        stUploading = 10,
        stSendChecksum = 11,
        stAwaitChecksum = 12,
        stFinish = 13,
    };

    explicit TProgBoot(EngineClock clock = EngineClock::System());

    void Execute() override;
    std::optional<TProgrammedFile> DescribeLine(const std::string& line) const override;

    TStep Step() const { return step_; }
    // Device table position being tried ("SYN").
    std::int32_t Cursor() const { return cursor_; }
    const std::string& ChecksumText() const { return checksumText_; }
    // The boot area's checksum of the last identification, as the device reported it.
    std::uint16_t BootChecksum() const { return bootChecksum_; }

private:
    void ParkStep() override { step_ = stParked; }
    void IdleStep() override { step_ = stIdle; }
    void Recognise();
    void LoadFile();
    void AwaitCall();
    void AwaitSynchronised();
    void CheckType();
    void ReadIdentification();
    void SendTypeNumber();

    TStep step_ = stIdle;
    // The line taken, as cut when it was recognised.
    TScriptLine line_;
    std::string checksumText_;
    std::int32_t cursor_ = 0;
    std::uint32_t typeCheckStart_ = 0;
    std::uint16_t bootChecksum_ = 0;
};

} // namespace vz

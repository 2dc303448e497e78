// Engine of the keyboard flash banks 0 to 7: program a bank from an Intel HEX
// file ("P"), read the keyboard's identification number ("D"), the "F" command.
#pragma once

#include "engines/progflash.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vz {

class TProgPsd : public TProgFlash {
public:
    // Step 5 is not used; any step not named here waits for Reset like stParked.
    enum TStep : std::uint8_t {
        stIdle = 0,
        stLoadFile = 1,
        stAwaitCommand = 2,
        stErasing = 3,
        stParked = 4,
        stUploading = 6,
        stSendChecksum = 7,
        stAwaitChecksum = 8,
        stSendD = 9,
        stAwaitD = 10,
        stReadIdNumber = 11,
        stSendF = 12,
        stAwaitF = 13,
        stFinish = 14,
    };

    explicit TProgPsd(EngineClock clock = EngineClock::System());

    void Execute() override;
    std::optional<TProgrammedFile> DescribeLine(const std::string& line) const override;

    // True when the text begins with one of the characters "0" to "7".
    static bool IsBankDigit(std::string_view text);

    TStep Step() const { return step_; }
    std::int32_t Bank() const { return bank_; }

private:
    void ParkStep() override { step_ = stParked; }
    void IdleStep() override { step_ = stIdle; }
    void Recognise();
    void LoadFile();
    void ReadIdNumber();
    // The bank digit as the device and the status lines show it.
    char Digit() const;

    TStep step_ = stIdle;
    std::int32_t bank_ = 0;
    // The file a "P" line names, from the line as recognised.
    std::string fileName_;
};

} // namespace vz

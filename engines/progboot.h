// Engine of the device's boot loader: synchronisation, type check and
// identification ("SYN"), and programming of the extended boot area ("PB").
#pragma once

#include "engines/gestionnaire.h"
#include "formats/text_lines.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vz {

class TProgBoot : public TGestionnaire {
public:
    explicit TProgBoot(EngineClock clock = EngineClock::System());

    void Execute() override;
    void Error(const std::string& text) override;
    void Reset() override;

    std::uint8_t Step() const { return step_; }
    // Device table position being tried ("SYN") or next file line to send ("PB").
    std::int32_t Cursor() const { return cursor_; }
    const std::string& ChecksumText() const { return checksumText_; }

private:
    void Recognise();
    void LoadFile();
    void AwaitCall();
    void AwaitSynchronised();
    void CheckType();
    void ReadIdentification();
    void AwaitCommandAccepted();
    void AwaitErase();
    void Upload();
    void SendChecksum();
    void AwaitChecksum();
    void SendTypeNumber();
    void SendFileLine(std::int32_t index);

    std::uint8_t step_ = 0;
    std::string checksumText_;
    TextLines fileLines_;
    std::int32_t cursor_ = 0;
    std::uint32_t typeCheckStart_ = 0;
};

} // namespace vz

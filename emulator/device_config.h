// How the emulated device is set up: its identity, its timings and the faults
// it is to make.
#pragma once

#include "emulator/faults.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace vz::emu {

// Time in microseconds on the caller's clock.
using Micros = std::int64_t;
inline constexpr Micros kNever = std::numeric_limits<Micros>::max();
inline constexpr Micros kMillisecond = 1000;

inline constexpr int kFastBaud = 57600;
inline constexpr int kSlowBaud = 19200;

struct DeviceConfig {
    int modelCode = 1;
    std::optional<std::uint16_t> bootChecksum; // default: 16-bit sum of the boot area as held
    std::optional<std::uint16_t> deviceId;     // default: DefaultDeviceId(modelCode)
    std::uint16_t options = 0;
    bool shortId = false;
    std::string keybId = "4F";
    std::array<std::uint32_t, 2> promIds{0xF5046093, 0xF5045093};
    Micros eraseTime = 50 * kMillisecond;
    bool strictSpeed = false;
    bool tdoEscapes = true;         // send 0x1B and 0x00 bytes of TDO answers as ESC ESC and ESC "0"
    bool answerSlowP = true;        // after "S8"/"S9", also answer the "P8"/"P9" that follows
    bool restartAfterFinish = true; // after "FI" the loader calls again; else the device stays off
    FaultConfig faults;
};

} // namespace vz::emu

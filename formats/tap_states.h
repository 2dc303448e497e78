// The sixteen states of a JTAG TAP controller, numbered as the device's command
// records code them, with the transitions one TCK makes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vz {

enum class Tap : std::uint8_t {
    Reset,
    Idle,
    DrSelect,
    DrCapture,
    DrShift,
    DrExit1,
    DrPause,
    DrExit2,
    DrUpdate,
    IrSelect,
    IrCapture,
    IrShift,
    IrExit1,
    IrPause,
    IrExit2,
    IrUpdate
};

inline constexpr int kTapStateCount = 16;

// The state's name in SVF ("DRPAUSE").
std::string_view TapName(Tap state);
// The state whose name is exactly `name`.
std::optional<Tap> TapByName(std::string_view name);
// The two upper-case hex digits the device's records give the state ("06").
std::string TapCode(Tap state);
// RESET, IDLE, DRPAUSE and IRPAUSE: the states a TAP may rest in.
bool IsStableTap(Tap state);
// True when one TCK, with TMS low or high, leads from `from` to `to`.
bool IsOneTckStep(Tap from, Tap to);

} // namespace vz

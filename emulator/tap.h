// The sixteen states of a JTAG test access port, numbered with the codes the
// command records use, and the moves between them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vz::emu {

enum class TapState : std::uint8_t {
    Reset = 0x0,
    Idle = 0x1,
    DrSelect = 0x2,
    DrCapture = 0x3,
    DrShift = 0x4,
    DrExit1 = 0x5,
    DrPause = 0x6,
    DrExit2 = 0x7,
    DrUpdate = 0x8,
    IrSelect = 0x9,
    IrCapture = 0xA,
    IrShift = 0xB,
    IrExit1 = 0xC,
    IrPause = 0xD,
    IrExit2 = 0xE,
    IrUpdate = 0xF,
};

inline constexpr int kTapStateCount = 16;

TapState NextTapState(TapState from, bool tms);
// The states a scan or a run may end in.
bool IsStableState(TapState state);
std::optional<TapState> TapStateFromCode(std::uint8_t code);
std::optional<TapState> TapStateFromName(std::string_view name);
std::string_view TapStateName(TapState state);
// Shortest sequence of TMS values that leads from one state to another (empty when equal).
std::vector<bool> TmsPath(TapState from, TapState to);

} // namespace vz::emu

#include "formats/tap_states.h"

#include "formats/hex.h"

#include <array>

namespace vz {

namespace {

constexpr std::array<std::string_view, kTapStateCount> kTapNames{
    "RESET",    "IDLE",     "DRSELECT",  "DRCAPTURE", "DRSHIFT", "DREXIT1", "DRPAUSE", "DREXIT2",
    "DRUPDATE", "IRSELECT", "IRCAPTURE", "IRSHIFT",   "IREXIT1", "IRPAUSE", "IREXIT2", "IRUPDATE"};

// Next state with TMS low, then with TMS high.
constexpr std::array<std::array<Tap, 2>, kTapStateCount> kTapNext{{
    {Tap::Idle, Tap::Reset},
    {Tap::Idle, Tap::DrSelect},
    {Tap::DrCapture, Tap::IrSelect},
    {Tap::DrShift, Tap::DrExit1},
    {Tap::DrShift, Tap::DrExit1},
    {Tap::DrPause, Tap::DrUpdate},
    {Tap::DrPause, Tap::DrExit2},
    {Tap::DrShift, Tap::DrUpdate},
    {Tap::Idle, Tap::DrSelect},
    {Tap::IrCapture, Tap::Reset},
    {Tap::IrShift, Tap::IrExit1},
    {Tap::IrShift, Tap::IrExit1},
    {Tap::IrPause, Tap::IrUpdate},
    {Tap::IrPause, Tap::IrExit2},
    {Tap::IrShift, Tap::IrUpdate},
    {Tap::Idle, Tap::DrSelect},
}};

std::size_t Index(Tap state) {
    return static_cast<std::size_t>(state);
}

} // namespace

std::string_view TapName(Tap state) {
    return kTapNames[Index(state)];
}

std::optional<Tap> TapByName(std::string_view name) {
    for (std::size_t i = 0; i < kTapNames.size(); ++i)
        if (name == kTapNames[i]) return static_cast<Tap>(i);
    return std::nullopt;
}

std::string TapCode(Tap state) {
    return ByteToHex(static_cast<std::uint8_t>(state));
}

bool IsStableTap(Tap state) {
    return state == Tap::Reset || state == Tap::Idle || state == Tap::DrPause || state == Tap::IrPause;
}

bool IsOneTckStep(Tap from, Tap to) {
    const auto& next = kTapNext[Index(from)];
    return next[0] == to || next[1] == to;
}

} // namespace vz

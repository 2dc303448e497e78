#include "emulator/tap.h"

#include <array>
#include <deque>

namespace vz::emu {

namespace {

struct Edges {
    TapState on0;
    TapState on1;
};

using S = TapState;

constexpr std::array<Edges, kTapStateCount> kEdges{{
    {S::Idle, S::Reset},         // Reset
    {S::Idle, S::DrSelect},      // Idle
    {S::DrCapture, S::IrSelect}, // DrSelect
    {S::DrShift, S::DrExit1},    // DrCapture
    {S::DrShift, S::DrExit1},    // DrShift
    {S::DrPause, S::DrUpdate},   // DrExit1
    {S::DrPause, S::DrExit2},    // DrPause
    {S::DrShift, S::DrUpdate},   // DrExit2
    {S::Idle, S::DrSelect},      // DrUpdate
    {S::IrCapture, S::Reset},    // IrSelect
    {S::IrShift, S::IrExit1},    // IrCapture
    {S::IrShift, S::IrExit1},    // IrShift
    {S::IrPause, S::IrUpdate},   // IrExit1
    {S::IrPause, S::IrExit2},    // IrPause
    {S::IrShift, S::IrUpdate},   // IrExit2
    {S::Idle, S::DrSelect},      // IrUpdate
}};

constexpr std::array<std::string_view, kTapStateCount> kNames{
    "RESET",    "IDLE",     "DRSELECT",  "DRCAPTURE", "DRSHIFT", "DREXIT1", "DRPAUSE", "DREXIT2",
    "DRUPDATE", "IRSELECT", "IRCAPTURE", "IRSHIFT",   "IREXIT1", "IRPAUSE", "IREXIT2", "IRUPDATE"};

int Index(TapState s) {
    return static_cast<int>(s);
}

} // namespace

TapState NextTapState(TapState from, bool tms) {
    const auto& e = kEdges[static_cast<std::size_t>(Index(from))];
    return tms ? e.on1 : e.on0;
}

bool IsStableState(TapState state) {
    return state == S::Reset || state == S::Idle || state == S::DrPause || state == S::IrPause;
}

std::optional<TapState> TapStateFromCode(std::uint8_t code) {
    if (code >= kTapStateCount) return std::nullopt;
    return static_cast<TapState>(code);
}

std::optional<TapState> TapStateFromName(std::string_view name) {
    for (int i = 0; i < kTapStateCount; ++i)
        if (kNames[static_cast<std::size_t>(i)] == name) return static_cast<TapState>(i);
    return std::nullopt;
}

std::string_view TapStateName(TapState state) {
    return kNames[static_cast<std::size_t>(Index(state))];
}

std::vector<bool> TmsPath(TapState from, TapState to) {
    // Breadth-first search over the 16 states; the graph is tiny, so no table is kept.
    std::array<int, kTapStateCount> previous;
    std::array<bool, kTapStateCount> viaTms{};
    previous.fill(-1);
    previous[static_cast<std::size_t>(Index(from))] = Index(from);
    std::deque<TapState> queue{from};
    while (!queue.empty() && previous[static_cast<std::size_t>(Index(to))] < 0) {
        TapState s = queue.front();
        queue.pop_front();
        for (bool tms : {false, true}) {
            TapState n = NextTapState(s, tms);
            auto ni = static_cast<std::size_t>(Index(n));
            if (previous[ni] >= 0) continue;
            previous[ni] = Index(s);
            viaTms[ni] = tms;
            queue.push_back(n);
        }
    }
    std::vector<bool> path;
    for (int at = Index(to); at != Index(from); at = previous[static_cast<std::size_t>(at)])
        path.insert(path.begin(), viaTms[static_cast<std::size_t>(at)]);
    return path;
}

} // namespace vz::emu

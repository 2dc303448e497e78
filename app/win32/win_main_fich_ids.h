// The numbers the main window's parts share: its controls, its timers and the
// messages it posts to itself.
#pragma once

#include <windows.h>

namespace vz::win {

inline constexpr int kReadIdId = 101;
inline constexpr int kStartId = 102;
inline constexpr int kQuitId = 103;
inline constexpr int kMemoId = 110;
inline constexpr int kBar1Id = 111;
inline constexpr int kBar2Id = 112;

inline constexpr UINT_PTR kTimer1 = 1;
// The next step when input waits: timers come after input in the message queue.
inline constexpr UINT_PTR kNextStepTimer = 2;

// Work handed over to the window's thread (an owned std::function in lParam).
inline constexpr UINT kPostedWorkMessage = WM_APP + 1;
// The next step at once, after a step that moved the run on.
inline constexpr UINT kNextStepMessage = WM_APP + 2;
// The unattended click on START, once the window is up.
inline constexpr UINT kStartMessage = WM_APP + 4;
// A listing of the serial ports is done.
inline constexpr UINT kPortsListedMessage = WM_APP + 5;

} // namespace vz::win

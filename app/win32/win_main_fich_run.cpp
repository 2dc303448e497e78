// The run as the window shows it (the memo, the bars, the buttons and menus the
// sequencer enables, the error box) and what the run driver needs of the window
// (its timers, work handed over, the link's failures, the end of an unattended run).
#include "app/win32/win_main_fich.h"

#include "app/win32/win_main_fich_ids.h"
#include "app/win32/win_text.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace vz::win {

namespace {

// The menus the sequencer disables during a run, in the order of the controls' flags.
bool MenuEnabled(const TControls& controls, face::MenuIndex menu) {
    switch (menu) {
    case face::kPortMenu:
        return controls.PortMenuEnabled;
    case face::kDeviceMenu:
        return controls.DeviceMenuEnabled;
    case face::kModeMenu:
        return controls.ModeMenuEnabled;
    case face::kSpeedMenu:
        return controls.SpeedMenuEnabled;
    default:
        return true;
    }
}

} // namespace

void TWinMainFich::MemoLineAdded(const std::string& line) {
    std::wstring text = WideText(line);
    if (GetWindowTextLengthW(memoStatus_) > 0) text.insert(0, L"\r\n");
    const auto end = static_cast<WPARAM>(GetWindowTextLengthW(memoStatus_));
    SendMessageW(memoStatus_, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(memoStatus_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    // The last line stays in view.
    SendMessageW(memoStatus_, WM_VSCROLL, SB_BOTTOM, 0);
    Print(line);
}

void TWinMainFich::Advise(const std::string& text) {
    // Shown like a status line; the core's memo, which status lines compare with, is not touched.
    MemoLineAdded(text);
}

void TWinMainFich::ShowBar(HWND bar, const TProgressBar& progress, std::array<int, 3>& shown) {
    // An empty range would leave the bar without a meaning.
    const int max = std::max(progress.Max, progress.Min + 1);
    const int position = std::clamp(progress.Position, progress.Min, max);
    if (shown[0] != progress.Min || shown[1] != max) {
        SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(progress.Min), static_cast<LPARAM>(max));
        shown[0] = progress.Min;
        shown[1] = max;
        shown[2] = -1;
    }
    if (shown[2] == position) return;
    // Styled bars glide towards a higher position and lag behind the run; one
    // beyond and back is drawn at once.
    if (position > shown[2] && position < max)
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position + 1), 0);
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    shown[2] = position;
}

void TWinMainFich::ShowOutcome() {
    // The script bar tells how the last run ended: green completed, red failed, amber
    // stopped (the styled bar's states; the colour for the classic one).
    WPARAM state = PBST_NORMAL;
    COLORREF colour = CLR_DEFAULT;
    switch (Core().Outcome()) {
    case TRunOutcome::Completed:
        colour = RGB(0x2E, 0x9E, 0x3E);
        break;
    case TRunOutcome::Failed:
        state = PBST_ERROR;
        colour = RGB(0xC6, 0x28, 0x28);
        break;
    case TRunOutcome::Stopped:
        state = PBST_PAUSED;
        colour = RGB(0xE0, 0xA0, 0x00);
        break;
    case TRunOutcome::None:
        break;
    }
    SendMessageW(progressBar2_, PBM_SETSTATE, state, 0);
    SendMessageW(progressBar2_, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(colour));
}

void TWinMainFich::ProgressChanged() {
    ShowBar(progressBar1_, Core().ProgressBar1(), shownBar1_);
    ShowBar(progressBar2_, Core().ProgressBar2(), shownBar2_);
}

void TWinMainFich::ControlsChanged() {
    const TControls& controls = Core().Controls();
    const std::wstring caption = WideText(controls.StartCaption);
    wchar_t shown[64] = {};
    GetWindowTextW(start_, shown, 64);
    if (caption != shown)
        SetFittedCaption(start_, face::kStart.rect, caption, font_.Handle(), TCaptionKind::Button, {0, 0},
                         face::kMainClientSize.width, dpi_);
    EnableWindow(start_, controls.StartEnabled);
    ShowOutcome();
    ShowWindow(readId_, controls.ReadIdVisible ? SW_SHOWNA : SW_HIDE);
    EnableWindow(readId_, controls.ReadIdEnabled);
    ShowWindow(quit_, controls.QuitVisible ? SW_SHOWNA : SW_HIDE);
    EnableWindow(quit_, controls.QuitEnabled);
    bool changed = false;
    for (int m = 0; m < face::kMenuCount; ++m) {
        const bool enabled = MenuEnabled(controls, static_cast<face::MenuIndex>(m));
        if (enabled == menuEnabled_[static_cast<std::size_t>(m)]) continue;
        EnableMenuItem(menuBar_, static_cast<UINT>(m), MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
        menuEnabled_[static_cast<std::size_t>(m)] = enabled;
        changed = true;
    }
    if (changed) DrawMenuBar(window_);
    KeepFocusOnAButton();
}

void TWinMainFich::Repaint() {
    InvalidateRect(window_, nullptr, FALSE);
}

void TWinMainFich::ShowErrorBox(const std::string& text) {
    MessageBoxW(window_, WideText(text).c_str(), WideText(face::kErrorBoxTitle).c_str(),
                MB_OK | MB_ICONERROR);
    FocusStart();
}

void TWinMainFich::CloseWindow() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

void TWinMainFich::ArmTimer(int milliseconds) {
    if (closed_ || window_ == nullptr) return;
    if (milliseconds > 0) {
        SetTimer(window_, kTimer1, static_cast<UINT>(milliseconds), nullptr);
        return;
    }
    if (nextStepPending_) return;
    nextStepPending_ = true;
    const DWORD waiting = HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT));
    // A run of steps must not keep the window from painting: posted messages
    // come before painting in the queue.
    if (waiting & QS_PAINT) RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Nor from the operator's clicks, which come after posted messages too.
    if (waiting & QS_INPUT)
        SetTimer(window_, kNextStepTimer, USER_TIMER_MINIMUM, nullptr);
    else
        PostMessageW(window_, kNextStepMessage, 0, 0);
}

void TWinMainFich::StopTimer() {
    if (window_ == nullptr) return;
    KillTimer(window_, kTimer1);
    KillTimer(window_, kNextStepTimer);
    nextStepPending_ = false;
}

void TWinMainFich::Post(std::function<void()> work) {
    PostWork(postTarget_, kPostedWorkMessage, std::move(work));
}

void TWinMainFich::AskLinkFailure(const std::string& text, const std::string& advice) {
    linkErrorBox_.Ask(advice.empty() ? text : text + "\n\n" + advice);
}

void TWinMainFich::RunEnded(const TRunEnd& end) {
    if (end.reason == TRunEndReason::Failed || end.reason == TRunEndReason::PortFailed)
        Print("Error: " + end.error);
    if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
}

void TWinMainFich::Print(const std::string& line) {
    // Standard output exists when the program's output was redirected.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace vz::win

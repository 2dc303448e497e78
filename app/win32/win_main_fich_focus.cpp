// The keyboard's focus, kept on the buttons, and the question before the window
// closes during an update.
#include "app/win32/win_main_fich.h"

#include "app/win32/win_text.h"

namespace vz::win {

void TWinMainFich::FocusStart() {
    if (!closed_ && window_ != nullptr && IsWindowEnabled(start_)) SetFocus(start_);
}

HWND TWinMainFich::FocusedButton() const {
    const HWND focus = GetFocus();
    return focus == start_ || focus == quit_ || focus == readId_ ? focus : nullptr;
}

void TWinMainFich::KeepFocusOnAButton() {
    if (closed_ || window_ == nullptr || GetActiveWindow() != window_) return;
    const HWND focus = GetFocus();
    // A disabled control drops the focus; a hidden one hands it to the window.
    const bool lost = focus == nullptr || focus == window_ ||
                      (FocusedButton() != nullptr && (!IsWindowEnabled(focus) || !IsWindowVisible(focus)));
    if (!lost) return;
    for (HWND button : {start_, quit_, readId_})
        if (IsWindowVisible(button) && IsWindowEnabled(button)) {
            SetFocus(button);
            return;
        }
}

bool TWinMainFich::MayClose() {
    if (closed_ || driver_->Unattended() || !driver_->UpdateInProgress()) return true;
    // Asked once at a time; the run goes on while the question waits.
    if (askingToClose_) return false;
    askingToClose_ = true;
    const int answer =
        MessageBoxW(window_, WideText(face::kCloseQuestion).c_str(),
                    WideText(face::kCloseQuestionTitle).c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    askingToClose_ = false;
    if (answer == IDYES) return true;
    FocusStart();
    return false;
}

} // namespace vz::win

#include "app/win32/win_link_error_box.h"

#include "app/face_data/window_description.h"
#include "app/win32/win_text.h"

namespace vz::win {

namespace {

// The box being asked on this thread, for the hook that learns its window.
thread_local TWinLinkErrorBox* tAsking = nullptr;

// Removes the creation hook when the box is gone.
class THookGuard {
public:
    explicit THookGuard(HHOOK hook) : hook_(hook) {}
    ~THookGuard() {
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    THookGuard(const THookGuard&) = delete;
    THookGuard& operator=(const THookGuard&) = delete;

private:
    HHOOK hook_;
};

} // namespace

LRESULT CALLBACK TWinLinkErrorBox::BoxCreated(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && tAsking != nullptr) tAsking->Opened(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void TWinLinkErrorBox::Opened(HWND box) {
    std::lock_guard lock(lock_);
    if (box_ != nullptr) return;
    box_ = box;
    // Released between the check in Ask and the box's creation.
    if (released_) PostMessageW(box, WM_CLOSE, 0, 0);
}

void TWinLinkErrorBox::Ask(const std::string& message) {
    {
        std::lock_guard lock(lock_);
        if (released_) return;
    }
    const std::wstring text = WideText(message);
    const std::wstring title = WideText(face::kErrorBoxTitle);
    tAsking = this;
    {
        THookGuard hook(
            SetWindowsHookExW(WH_CBT, &TWinLinkErrorBox::BoxCreated, nullptr, GetCurrentThreadId()));
        // No owner: an owner would be disabled while the box is up, and STOP with it.
        MessageBoxW(nullptr, text.c_str(), title.c_str(),
                    MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
    }
    tAsking = nullptr;
    std::lock_guard lock(lock_);
    box_ = nullptr;
}

void TWinLinkErrorBox::Release() {
    std::lock_guard lock(lock_);
    released_ = true;
    if (box_ != nullptr) PostMessageW(box_, WM_CLOSE, 0, 0);
}

} // namespace vz::win

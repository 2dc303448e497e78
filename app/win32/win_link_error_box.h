// The link thread's error box ("Error while opening "). The box belongs to the
// link thread, which waits in it until the operator answers; the window stays
// usable meanwhile, so that STOP remains within reach while the box comes back
// after every OK for as long as the run lasts.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

namespace vz::win {

class TWinLinkErrorBox {
public:
    // On the link thread: shows the box and returns once it is answered or
    // Release has been called.
    void Ask(const std::string& text);
    // On the window's thread, when it closes: answers every question now and later.
    void Release();

private:
    static LRESULT CALLBACK BoxCreated(int code, WPARAM wParam, LPARAM lParam);
    void Opened(HWND box);

    std::mutex lock_;
    bool released_ = false; // guarded by lock_
    HWND box_ = nullptr;    // guarded by lock_
};

} // namespace vz::win

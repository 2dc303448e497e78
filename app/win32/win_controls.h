// Fonts and child controls made from the shared description, each as large as
// its caption needs in the font it is shown in. Positions and sizes are given in
// the description's 96-DPI pixels and scaled to the `dpi` of the screen shown on.
#pragma once

#include "app/face_data/window_description.h"

#include <windows.h>

#include <functional>
#include <string>

namespace vz::win {

// Registers a top-level window class of the program: its icon (resource 1) at
// both sizes, the arrow, the dialog face's colour.
void RegisterFormClass(const wchar_t* name, WNDPROC proc);

// The window procedure of a form made with the form as its creation parameter:
// the form learns its handle at WM_NCCREATE, then dispatches every message.
template <typename Form> LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return form->Dispatch(window, message, wParam, lParam);
}

// Hands `work` to the thread of `target` as `message` (an owned std::function in
// lParam, which the handler frees); freed here when it cannot be posted.
void PostWork(HWND target, UINT message, std::function<void()> work);

// A font the window owns.
class TFont {
public:
    TFont() = default;
    explicit TFont(HFONT font) : font_(font) {}
    ~TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    TFont(TFont&& other) noexcept : font_(other.font_) { other.font_ = nullptr; }
    TFont& operator=(TFont&& other) noexcept;
    HFONT Handle() const { return font_; }

private:
    HFONT font_ = nullptr;
};

// The screen's dots per inch where `window` is shown; the system's with no window.
int WindowDpi(HWND window);
// A system metric (SM_CXEDGE ...) at `dpi`.
int MetricForDpi(int index, int dpi);

// The described face at its pixel height; the system's dialog font at that
// height where the face is not installed.
TFont MakeFont(const face::Font& font, int dpi = face::kLayoutDpi);
// The system's dialog font at its own size.
TFont DialogFont(int dpi = face::kLayoutDpi);
// The same face, `percent` of its size, bold or not.
TFont DialogFont(int dpi, int percent, bool bold);
// The name of the face a font really draws with.
std::wstring FaceName(HFONT font);

// What a control's caption needs, in pixels, measured in `font`.
enum class TCaptionKind { Button, CheckBox, GroupBox, Label };
face::Size CaptionNeeds(HFONT font, const std::wstring& caption, TCaptionKind kind,
                        int dpi = face::kLayoutDpi);

// A child control at its place (offset by `origin`), grown to fit its caption
// within `limit` pixels of width of its container (0: no limit).
HWND MakeControl(HWND parent, const face::Control& control, const wchar_t* windowClass, DWORD style, int id,
                 HFONT font, TCaptionKind kind, POINT origin = {0, 0}, int limit = 0,
                 int dpi = face::kLayoutDpi);

// Sets a control's caption and makes it as large as the caption needs.
void SetFittedCaption(HWND control, const face::Rect& design, const std::wstring& caption, HFONT font,
                      TCaptionKind kind, POINT origin = {0, 0}, int limit = 0, int dpi = face::kLayoutDpi);

// The outer size of a window of `style` whose client area is `client`.
SIZE OuterSize(face::Size client, DWORD style, DWORD exStyle, bool menu, int dpi = face::kLayoutDpi);

// Centres `window` on `over`, or on the work area when it is null.
void CentreWindow(HWND window, HWND over);

} // namespace vz::win

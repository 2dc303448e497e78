#include "app/win32/win_controls.h"

#include "app/win32/win_text.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace vz::win {

TFont::~TFont() {
    if (font_) DeleteObject(font_);
}

TFont& TFont::operator=(TFont&& other) noexcept {
    if (this != &other) {
        if (font_) DeleteObject(font_);
        font_ = other.font_;
        other.font_ = nullptr;
    }
    return *this;
}

namespace {

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceInstalled(const std::wstring& face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// The calls that know of per-monitor DPI, where the system has them (Windows 10).
template <typename F> F User32(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), name)));
}
using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiCall = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiCall = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : face::kLayoutDpi;
}

LOGFONTW MessageFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    static const auto forDpi = User32<SystemParametersInfoForDpiCall>("SystemParametersInfoForDpi");
    if (forDpi != nullptr &&
        forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi)))
        return metrics.lfMessageFont;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    // The system's font is at the system's DPI.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, SystemDpi());
    return metrics.lfMessageFont;
}

} // namespace

int WindowDpi(HWND window) {
    static const auto forWindow = User32<GetDpiForWindowCall>("GetDpiForWindow");
    if (window != nullptr && forWindow != nullptr) {
        const UINT dpi = forWindow(window);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

int MetricForDpi(int index, int dpi) {
    static const auto forDpi = User32<GetSystemMetricsForDpiCall>("GetSystemMetricsForDpi");
    if (forDpi != nullptr) return forDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

TFont MakeFont(const face::Font& font, int dpi) {
    const std::wstring wanted = WideText(font.face);
    LOGFONTW description = MessageFont(dpi);
    const LOGFONTW fallback = description;
    const int height = face::Scaled(font.pixelHeight, dpi);
    const auto make = [height](LOGFONTW d) {
        // A negative height is the character height, as the description gives it.
        d.lfHeight = -height;
        d.lfWidth = 0;
        d.lfWeight = FW_NORMAL;
        d.lfItalic = FALSE;
        return TFont(CreateFontIndirectW(&d));
    };
    if (!FaceInstalled(wanted)) return make(fallback);
    std::fill(std::begin(description.lfFaceName), std::end(description.lfFaceName), L'\0');
    wanted.copy(description.lfFaceName, LF_FACESIZE - 1);
    TFont made = make(description);
    if (dpi == face::kLayoutDpi) return made;
    // "MS Sans Serif" is drawn from bitmaps made for a few sizes at 96 DPI; on a
    // denser screen it comes out smaller than asked, and a scalable face is used.
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, made.Handle());
    TEXTMETRICW metrics{};
    const bool measured = GetTextMetricsW(screen, &metrics) != 0;
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    const int drawn = static_cast<int>(metrics.tmHeight - metrics.tmInternalLeading);
    if (measured && std::abs(drawn - height) > std::max(1, height / 10)) return make(fallback);
    return made;
}

TFont DialogFont(int dpi) {
    LOGFONTW description = MessageFont(dpi);
    return TFont(CreateFontIndirectW(&description));
}

TFont DialogFont(int dpi, int percent, bool bold) {
    LOGFONTW description = MessageFont(dpi);
    description.lfHeight = MulDiv(description.lfHeight, percent, 100);
    description.lfWidth = 0;
    description.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    return TFont(CreateFontIndirectW(&description));
}

std::wstring FaceName(HFONT font) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    wchar_t name[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, name);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return name;
}

face::Size CaptionNeeds(HFONT font, const std::wstring& caption, TCaptionKind kind, int dpi) {
    // Mnemonic marks take no room.
    std::wstring shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    SIZE text{};
    GetTextExtentPoint32W(screen, shown.c_str(), static_cast<int>(shown.size()), &text);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    const int edge = MetricForDpi(SM_CXEDGE, dpi);
    const auto px = [dpi](int pixels) { return face::Scaled(pixels, dpi); };
    switch (kind) {
    case TCaptionKind::Button:
        return {static_cast<int>(text.cx) + 4 * edge + px(8), static_cast<int>(text.cy) + 4 * edge};
    case TCaptionKind::CheckBox: {
        // The box, the gap after it and room for the focus rectangle.
        const int box = MetricForDpi(SM_CXMENUCHECK, dpi);
        return {box + px(6) + static_cast<int>(text.cx) + px(2),
                std::max(box, static_cast<int>(text.cy)) + px(2)};
    }
    case TCaptionKind::GroupBox:
        return {static_cast<int>(text.cx) + px(20), static_cast<int>(text.cy) + px(8)};
    case TCaptionKind::Label:
        break;
    }
    return {static_cast<int>(text.cx), static_cast<int>(text.cy)};
}

void SetFittedCaption(HWND control, const face::Rect& design, const std::wstring& caption, HFONT font,
                      TCaptionKind kind, POINT origin, int limit, int dpi) {
    SetWindowTextW(control, caption.c_str());
    const face::Rect fitted = face::FitCaption(
        face::Scaled(design, dpi), CaptionNeeds(font, caption, kind, dpi), face::Scaled(limit, dpi));
    SetWindowPos(control, nullptr, face::Scaled(origin.x, dpi) + fitted.left,
                 face::Scaled(origin.y, dpi) + fitted.top, fitted.width, fitted.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MakeControl(HWND parent, const face::Control& control, const wchar_t* windowClass, DWORD style, int id,
                 HFONT font, TCaptionKind kind, POINT origin, int limit, int dpi) {
    const face::Rect r = face::Scaled(control.rect, dpi);
    HWND child = CreateWindowExW(0, windowClass, L"", WS_CHILD | style, face::Scaled(origin.x, dpi) + r.left,
                                 face::Scaled(origin.y, dpi) + r.top, r.width, r.height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
    if (child == nullptr) return nullptr;
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (control.caption != nullptr)
        SetFittedCaption(child, control.rect, WideText(control.caption), font, kind, origin, limit, dpi);
    return child;
}

SIZE OuterSize(face::Size client, DWORD style, DWORD exStyle, bool menu, int dpi) {
    const face::Size scaled = face::Scaled(client, dpi);
    RECT rect{0, 0, scaled.width, scaled.height};
    static const auto forDpi = User32<AdjustWindowRectExForDpiCall>("AdjustWindowRectExForDpi");
    if (forDpi == nullptr || !forDpi(&rect, style, menu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void CentreWindow(HWND window, HWND over) {
    RECT area{};
    if (over != nullptr && IsWindowVisible(over))
        GetWindowRect(over, &area);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own{};
    GetWindowRect(window, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(window, nullptr, std::max(0, left), std::max(0, top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RegisterFormClass(const wchar_t* name, WNDPROC proc) {
    constexpr int kIconId = 1;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = instance;
    windowClass.hIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // the arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

void PostWork(HWND target, UINT message, std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    if (target != nullptr && PostMessageW(target, message, 0, reinterpret_cast<LPARAM>(owned.get())))
        owned.release();
}

} // namespace vz::win

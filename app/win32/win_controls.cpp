#include "app/win32/win_controls.h"

#include "app/win32/win_text.h"

#include <algorithm>

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

LOGFONTW MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return metrics.lfMessageFont;
}

} // namespace

TFont MakeFont(const face::Font& font) {
    const std::wstring wanted = WideText(font.face);
    LOGFONTW description = MessageFont();
    if (FaceInstalled(wanted)) {
        std::fill(std::begin(description.lfFaceName), std::end(description.lfFaceName), L'\0');
        wanted.copy(description.lfFaceName, LF_FACESIZE - 1);
    }
    // A negative height is the character height, as the description gives it.
    description.lfHeight = -font.pixelHeight;
    description.lfWidth = 0;
    description.lfWeight = FW_NORMAL;
    description.lfItalic = FALSE;
    return TFont(CreateFontIndirectW(&description));
}

TFont DialogFont() {
    LOGFONTW description = MessageFont();
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

face::Size CaptionNeeds(HFONT font, const std::wstring& caption, TCaptionKind kind) {
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
    const int edge = GetSystemMetrics(SM_CXEDGE);
    switch (kind) {
    case TCaptionKind::Button:
        return {static_cast<int>(text.cx) + 4 * edge + 8, static_cast<int>(text.cy) + 4 * edge};
    case TCaptionKind::CheckBox: {
        // The box, the gap after it and room for the focus rectangle.
        const int box = GetSystemMetrics(SM_CXMENUCHECK);
        return {box + 6 + static_cast<int>(text.cx) + 2, std::max(box, static_cast<int>(text.cy)) + 2};
    }
    case TCaptionKind::GroupBox:
        return {static_cast<int>(text.cx) + 20, static_cast<int>(text.cy) + 8};
    case TCaptionKind::Label:
        break;
    }
    return {static_cast<int>(text.cx), static_cast<int>(text.cy)};
}

void SetFittedCaption(HWND control, const face::Rect& design, const std::wstring& caption, HFONT font,
                      TCaptionKind kind, POINT origin, int limit) {
    SetWindowTextW(control, caption.c_str());
    const face::Rect fitted = face::FitCaption(design, CaptionNeeds(font, caption, kind), limit);
    SetWindowPos(control, nullptr, origin.x + fitted.left, origin.y + fitted.top, fitted.width, fitted.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MakeControl(HWND parent, const face::Control& control, const wchar_t* windowClass, DWORD style, int id,
                 HFONT font, TCaptionKind kind, POINT origin, int limit) {
    const face::Rect& r = control.rect;
    HWND child = CreateWindowExW(0, windowClass, L"", WS_CHILD | style, origin.x + r.left, origin.y + r.top,
                                 r.width, r.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    if (child == nullptr) return nullptr;
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (control.caption != nullptr)
        SetFittedCaption(child, r, WideText(control.caption), font, kind, origin, limit);
    return child;
}

SIZE OuterSize(face::Size client, DWORD style, DWORD exStyle, bool menu) {
    RECT rect{0, 0, client.width, client.height};
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

} // namespace vz::win

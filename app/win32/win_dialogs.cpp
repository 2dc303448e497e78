#include "app/win32/win_dialogs.h"

#include "app/face_data/version_info.h"
#include "app/win32/win_text.h"

#include <commctrl.h>

namespace vz::win {

namespace {

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr int kIconId = 1;
constexpr int kKeybId = 201;
constexpr int kProm1Id = 202;
constexpr int kProm2Id = 203;

// An empty dialog; its controls are made in pixels when it opens.
struct alignas(4) TEmptyDialog {
    DLGTEMPLATE header{kDialogStyle, 0, 0, 0, 0, 0, 0};
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};

template <typename T> T* Self(HWND dialog, UINT message, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return reinterpret_cast<T*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

} // namespace

INT_PTR RunDialog(HWND owner, DLGPROC proc, void* self) {
    static const TEmptyDialog kTemplate;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &kTemplate.header, owner, proc,
                                   reinterpret_cast<LPARAM>(self));
}

void SizeClient(HWND dialog, face::Size client, int dpi) {
    const SIZE outer = OuterSize(client, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)),
                                 static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)), false, dpi);
    SetWindowPos(dialog, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TWinAboutBox::TWinAboutBox(std::string programPath) {
    // Without a version resource the design caption stays.
    const auto version = FileVersionValue(programPath, kFileVersionKey);
    version_ = WideText(version ? face::kVersionPrefix + *version : std::string(face::kAboutVersion.caption));
}

TWinAboutBox::~TWinAboutBox() {
    if (icon_ != nullptr) DestroyIcon(icon_);
}

void TWinAboutBox::ShowModal(HWND owner) {
    // As large on the owner's screen as the owner is.
    const int dpi = WindowDpi(owner);
    if (!font_.Handle() || dpi != dpi_) {
        font_ = MakeFont(face::kAboutFont, dpi);
        if (icon_ != nullptr) DestroyIcon(icon_);
        icon_ = nullptr;
        dpi_ = dpi;
    }
    // The icon file's nearest image, stretched to the box's size.
    if (icon_ == nullptr) {
        const face::Rect size = face::Scaled(face::kAboutIcon.rect, dpi_);
        icon_ = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId),
                                              IMAGE_ICON, size.width, size.height, LR_DEFAULTCOLOR));
    }
    RunDialog(owner, &TWinAboutBox::Proc, this);
}

INT_PTR CALLBACK TWinAboutBox::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = Self<TWinAboutBox>(dialog, message, lParam);
    switch (message) {
    case WM_INITDIALOG:
        self->FormCreate(dialog);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDOK);
        return TRUE;
    default:
        return FALSE;
    }
}

void TWinAboutBox::FormCreate(HWND dialog) {
    SetWindowTextW(dialog, WideText(face::kAboutCaption).c_str());
    const int dpi = dpi_;
    SizeClient(dialog, face::kAboutClientSize, dpi);
    const HFONT font = font_.Handle();
    // The panel's bevels: lowered outside, raised inside.
    MakeControl(dialog, face::kAboutPanel, WC_STATICW, WS_VISIBLE | SS_ETCHEDFRAME, -1, font,
                TCaptionKind::Label, {0, 0}, 0, dpi);
    const POINT inside{face::kAboutPanel.rect.left, face::kAboutPanel.rect.top};
    const int limit = face::kAboutPanel.rect.width;
    HWND icon = MakeControl(dialog, face::kAboutIcon, WC_STATICW, WS_VISIBLE | SS_ICON | SS_REALSIZECONTROL,
                            -1, font, TCaptionKind::Label, inside, 0, dpi);
    const face::Rect iconRect = face::Scaled(face::kAboutIcon.rect, dpi);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    SetWindowPos(icon, nullptr, face::Scaled(inside.x, dpi) + iconRect.left,
                 face::Scaled(inside.y, dpi) + iconRect.top, iconRect.width, iconRect.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    MakeControl(dialog, face::kAboutTitle, WC_STATICW, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, -1, font,
                TCaptionKind::Label, inside, limit, dpi);
    HWND version = MakeControl(dialog, face::kAboutVersion, WC_STATICW, WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                               -1, font, TCaptionKind::Label, inside, limit, dpi);
    SetFittedCaption(version, face::kAboutVersion.rect, version_, font, TCaptionKind::Label, inside, limit,
                     dpi);
    MakeControl(dialog, face::kAboutNotice, WC_STATICW, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, -1, font,
                TCaptionKind::Label, inside, limit, dpi);
    HWND ok = MakeControl(dialog, face::kAboutOK, WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                          IDOK, font, TCaptionKind::Button, {0, 0}, face::kAboutClientSize.width, dpi);
    CentreWindow(dialog, GetWindow(dialog, GW_OWNER));
    SetFocus(ok);
}

void TWinCompSelDlg::ShowModal(HWND owner) {
    const int dpi = WindowDpi(owner);
    if (!font_.Handle() || dpi != dpi_) {
        font_ = DialogFont(dpi);
        dpi_ = dpi;
    }
    RunDialog(owner, &TWinCompSelDlg::Proc, this);
}

INT_PTR CALLBACK TWinCompSelDlg::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = Self<TWinCompSelDlg>(dialog, message, lParam);
    switch (message) {
    case WM_INITDIALOG:
        self->FormCreate(dialog);
        return FALSE;
    case WM_COMMAND:
        // OKBtnClick, or the close box (and Esc): the boxes are kept either way.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            self->KeepBoxes(dialog);
            EndDialog(dialog, LOWORD(wParam));
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void TWinCompSelDlg::FormCreate(HWND dialog) {
    SetWindowTextW(dialog, WideText(face::kCompSelCaption).c_str());
    const int dpi = dpi_;
    SizeClient(dialog, face::kCompSelClientSize, dpi);
    const HFONT font = font_.Handle();
    MakeControl(dialog, face::kCompGroup, WC_BUTTONW, WS_VISIBLE | BS_GROUPBOX, -1, font,
                TCaptionKind::GroupBox, {0, 0}, face::kCompSelClientSize.width, dpi);
    const POINT inside{face::kCompGroup.rect.left, face::kCompGroup.rect.top};
    const int limit = face::kCompGroup.rect.width;
    const struct {
        const face::Control& control;
        int id;
        bool checked;
    } boxes[] = {{face::kCompKeyb, kKeybId, keyb_},
                 {face::kCompProm1, kProm1Id, prom1_},
                 {face::kCompProm2, kProm2Id, prom2_}};
    for (const auto& box : boxes) {
        HWND check = MakeControl(dialog, box.control, WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                 box.id, font, TCaptionKind::CheckBox, inside, limit, dpi);
        SendMessageW(check, BM_SETCHECK, box.checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    HWND ok = MakeControl(dialog, face::kCompOK, WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                          font, TCaptionKind::Button, inside, limit, dpi);
    CentreWindow(dialog, nullptr);
    SetFocus(ok);
}

void TWinCompSelDlg::KeepBoxes(HWND dialog) {
    keyb_ = IsDlgButtonChecked(dialog, kKeybId) == BST_CHECKED;
    prom1_ = IsDlgButtonChecked(dialog, kProm1Id) == BST_CHECKED;
    prom2_ = IsDlgButtonChecked(dialog, kProm2Id) == BST_CHECKED;
}

} // namespace vz::win

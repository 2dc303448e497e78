#include "app/win32/win_station_port_dlg.h"

#include "app/face_data/station_description.h"
#include "app/win32/win_dialogs.h"
#include "app/win32/win_text.h"

#include <commctrl.h>

namespace vz::win {

namespace {

constexpr int kBoxId = 300;   // a port's box: kBoxId + its row
constexpr int kLabelId = 600; // its label: kLabelId + its row
constexpr int kLabelMost = 24;

// The dialog's plan in 96-DPI pixels.
constexpr int kMargin = 12;
constexpr int kWidth = 600;
constexpr int kPromptHeight = 20;
constexpr int kRowHeight = 28;
constexpr int kBoxWidth = 390;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;

// A port's caption on a check box, where "&" would mark a key.
std::wstring Caption(const std::string& text) {
    std::wstring caption;
    for (wchar_t c : WideText(text)) {
        caption += c;
        if (c == L'&') caption += L'&';
    }
    return caption;
}

std::wstring Trimmed(std::wstring text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

} // namespace

TWinStationPortDlg::TWinStationPortDlg(std::vector<PortInfo> ports) : ports_(std::move(ports)) {}

std::vector<face::StationPortArgument> TWinStationPortDlg::ShowModal(HWND owner) {
    chosen_.clear();
    if (RunDialog(owner, &TWinStationPortDlg::Proc, this) != IDOK) chosen_.clear();
    return chosen_;
}

INT_PTR CALLBACK TWinStationPortDlg::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<TWinStationPortDlg*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        self->FormCreate(dialog);
        // FormCreate gave the focus itself.
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) self->Keep(dialog);
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

void TWinStationPortDlg::FormCreate(HWND dialog) {
    const int dpi = WindowDpi(dialog);
    font_ = DialogFont(dpi);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto make = [&](const wchar_t* kind, const std::wstring& text, DWORD style, int id, int x, int y,
                          int width, int height, DWORD exStyle = 0) {
        const face::Rect r = face::Scaled(face::Rect{x, y, width, height}, dpi);
        HWND control = CreateWindowExW(exStyle, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.left,
                                       r.top, r.width, r.height, dialog,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
        return control;
    };
    SetWindowTextW(dialog, WideText(face::kStationPortsTitle).c_str());
    make(WC_STATICW, WideText(ports_.empty() ? face::kStationNoPorts : face::kStationPortsPrompt),
         SS_NOPREFIX, -1, kMargin, kMargin, kWidth - 2 * kMargin, kPromptHeight);
    int y = kMargin + kPromptHeight + 8;
    for (std::size_t row = 0; row < ports_.size(); ++row) {
        const int id = static_cast<int>(row);
        make(WC_BUTTONW, Caption(PortCaption(ports_[row])), WS_TABSTOP | BS_AUTOCHECKBOX, kBoxId + id,
             kMargin, y, kBoxWidth, 22);
        HWND label = make(WC_EDITW, L"", WS_TABSTOP | ES_AUTOHSCROLL, kLabelId + id, kMargin + kBoxWidth + 8,
                          y, kWidth - 2 * kMargin - kBoxWidth - 8, 22, WS_EX_CLIENTEDGE);
        SendMessageW(label, EM_LIMITTEXT, kLabelMost, 0);
        const std::wstring hint = WideText(face::kStationLabelHint);
        SendMessageW(label, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(hint.c_str()));
        y += kRowHeight;
    }
    y += 8;
    make(WC_BUTTONW, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, kWidth - kMargin - 2 * kButtonWidth - 8, y,
         kButtonWidth, kButtonHeight);
    make(WC_BUTTONW, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, kWidth - kMargin - kButtonWidth, y,
         kButtonWidth, kButtonHeight);
    SizeClient(dialog, {kWidth, y + kButtonHeight + kMargin}, dpi);
    CentreWindow(dialog, GetParent(dialog));
    // The first port's box takes the keys; with none found, OK.
    SetFocus(GetDlgItem(dialog, ports_.empty() ? IDOK : kBoxId));
}

void TWinStationPortDlg::Keep(HWND dialog) {
    chosen_.clear();
    for (std::size_t row = 0; row < ports_.size(); ++row) {
        const int id = static_cast<int>(row);
        if (IsDlgButtonChecked(dialog, kBoxId + id) != BST_CHECKED) continue;
        wchar_t label[kLabelMost + 1] = {};
        GetDlgItemTextW(dialog, kLabelId + id, label, kLabelMost + 1);
        const PortInfo& port = ports_[row];
        // The stable name keeps a socket's port across reboots and replugging.
        chosen_.push_back({Utf8Text(Trimmed(label)), port.stableName.empty() ? port.name : port.stableName});
    }
}

} // namespace vz::win

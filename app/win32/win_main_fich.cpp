// The window's life: its class and creation, start-up and closing, and the
// messages that reach it, each handed to the part that deals with it.
#include "app/win32/win_main_fich.h"

#include "app/core/com_thread_link.h"
#include "app/win32/win_main_fich_ids.h"
#include "app/win32/win_text.h"

#include <utility>

namespace vz::win {

namespace {

constexpr wchar_t kWindowClass[] = L"TMainFich";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

} // namespace

TWinMainFich::TWinMainFich(std::unique_ptr<TLinkControl> link) : portItems_(kPortsListedMessage) {
    if (!link) link = std::make_unique<TComThreadLink>();
    TRunHost& host = *this;
    driver_ = std::make_unique<TRunDriver>(*this, host, std::move(link));
}

TWinMainFich::~TWinMainFich() {
    FormClose();
    if (window_ != nullptr) DestroyWindow(window_);
}

bool TWinMainFich::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterFormClass(kWindowClass, &FormProc<TWinMainFich>);

    BuildMenus();
    dpi_ = WindowDpi(nullptr);
    const SIZE outer = OuterSize(face::kMainClientSize, kWindowStyle, 0, true, dpi_);
    window_ = CreateWindowExW(0, kWindowClass, L"", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, outer.cx,
                              outer.cy, nullptr, menuBar_, instance, this);
    if (window_ == nullptr) return false;
    postTarget_ = window_;
    portItems_.Attach(window_, menus_[face::kPortMenu]);
    // The screen the window opened on may not be the system's.
    dpi_ = WindowDpi(window_);
    SetWindowPos(window_, nullptr, 0, 0, OuterSize(face::kMainClientSize, kWindowStyle, 0, true, dpi_).cx,
                 OuterSize(face::kMainClientSize, kWindowStyle, 0, true, dpi_).cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientHeight();
    CentreWindow(window_, nullptr);
    BuildControls();
    FormCreate();
    return true;
}

void TWinMainFich::FormCreate() {
    Check({face::kPortMenu, face::DefaultItem(face::kPortMenu)});
    // Sequencer state, identity values, the memo, the "readid.ini" check and the timer.
    driver_->FormCreate();
    SetWindowTextW(window_, WideText(Core().InitialTitle()).c_str());
    const MenuPlace about{face::kAboutMenu, 0};
    ModifyMenuW(menus_[face::kAboutMenu], static_cast<UINT>(MenuCommand(about)), MF_BYCOMMAND | MF_STRING,
                static_cast<UINT_PTR>(MenuCommand(about)), WideText(face::kAboutItemCaption).c_str());
    Check({face::kSpeedMenu, face::DefaultItem(face::kSpeedMenu)});
    Check({face::kModeMenu, face::DefaultItem(face::kModeMenu)});
    Check({face::kDeviceMenu, face::DefaultItem(face::kDeviceMenu)});
    ControlsChanged();
}

void TWinMainFich::Show(int how) {
    ShowWindow(window_, how);
    UpdateWindow(window_);
    FocusStart();
    if (driver_->Unattended()) PostMessageW(window_, kStartMessage, 0, 0);
}

void TWinMainFich::FormClose() {
    if (closed_) return;
    closed_ = true;
    StopTimer();
    // A link thread waiting for the operator must let go before it can end.
    linkErrorBox_.Release();
    driver_->FormClose();
}

void TWinMainFich::FormPaint() {
    const std::wstring title = WideText(Core().Title());
    wchar_t shown[256] = {};
    GetWindowTextW(window_, shown, 256);
    if (title != shown) SetWindowTextW(window_, title.c_str());
}

void TWinMainFich::Timer1Timer() {
    if (!closed_) driver_->TimerFired();
}

void TWinMainFich::DataReceived() {
    if (!closed_) driver_->DataReceived();
}

LRESULT TWinMainFich::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        // Both timers are one-shot for the driver, which arms them again.
        KillTimer(window_, wParam);
        if (wParam == kNextStepTimer) nextStepPending_ = false;
        Timer1Timer();
        return 0;
    case kNextStepMessage:
        nextStepPending_ = false;
        Timer1Timer();
        return 0;
    case kPostedWorkMessage: {
        const std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        if (!closed_) (*work)();
        return 0;
    }
    case kStartMessage:
        StartClick();
        return 0;
    case WM_COMMAND:
        Command(LOWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == memoStatus_) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, GetSysColor(COLOR_MENU));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(memoBrush_);
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window_, &paint);
        EndPaint(window_, &paint);
        FormPaint();
        return 0;
    }
    case WM_CLOSE:
        if (!MayClose()) return 0;
        FormClose();
        DestroyWindow(window_);
        return 0;
    case WM_ACTIVATE:
        // Activated, the window hands the keys to a button rather than keeping them.
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) {
            if (FocusedButton() == nullptr) FocusStart();
            KeepFocusOnAButton();
            return 0;
        }
        break;
    case DM_GETDEFID:
        // Enter presses the focused button, else START.
        return MAKELRESULT(FocusedButton() != nullptr ? GetDlgCtrlID(FocusedButton()) : kStartId,
                           DC_HASDEFID);
    case WM_INITMENUPOPUP:
        if (reinterpret_cast<HMENU>(wParam) == menus_[face::kPortMenu] && portItems_.Opening())
            portItems_.ShowChecks(MenuCommand({face::kPortMenu, checks_.Checked(face::kPortMenu)}));
        break;
    case kPortsListedMessage:
        if (portItems_.Arrived())
            portItems_.ShowChecks(MenuCommand({face::kPortMenu, checks_.Checked(face::kPortMenu)}));
        return 0;
    case WM_DPICHANGED:
        DpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DESTROY:
        window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace vz::win

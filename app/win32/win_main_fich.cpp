#include "app/win32/win_main_fich.h"

#include "app/core/com_thread_link.h"
#include "app/win32/win_text.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace vz::win {

namespace {

constexpr wchar_t kWindowClass[] = L"TMainFich";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kIconId = 1;

constexpr int kReadIdId = 101;
constexpr int kStartId = 102;
constexpr int kQuitId = 103;
constexpr int kMemoId = 110;
constexpr int kBar1Id = 111;
constexpr int kBar2Id = 112;

constexpr UINT_PTR kTimer1 = 1;
// The next step when input waits: timers come after input in the message queue.
constexpr UINT_PTR kNextStepTimer = 2;

// Work handed over to the window's thread (an owned std::function in lParam).
constexpr UINT kPostedWorkMessage = WM_APP + 1;
// The next step at once, after a step that moved the run on.
constexpr UINT kNextStepMessage = WM_APP + 2;
// The unattended click on START, once the window is up.
constexpr UINT kStartMessage = WM_APP + 4;
// A listing of the serial ports is done.
constexpr UINT kPortsListedMessage = WM_APP + 5;

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
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TWinMainFich::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // the arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

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

void TWinMainFich::FitClientHeight() {
    // A menu bar that wraps would take room from the client area.
    const int height = face::Scaled(face::kMainClientSize.height, dpi_);
    RECT client{};
    GetClientRect(window_, &client);
    if (client.bottom == height) return;
    RECT outer{};
    GetWindowRect(window_, &outer);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left,
                 outer.bottom - outer.top + height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinMainFich::BuildMenus() {
    menuBar_ = CreateMenu();
    for (int m = 0; m < face::kMenuCount; ++m) {
        const auto index = static_cast<face::MenuIndex>(m);
        const face::Menu& menu = face::MenuAt(index);
        HMENU popup = CreatePopupMenu();
        for (int i = 0; i < static_cast<int>(menu.items.size()); ++i)
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(MenuCommand({index, i})),
                        WideText(menu.items[static_cast<std::size_t>(i)].caption).c_str());
        AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), WideText(menu.caption).c_str());
        menus_[static_cast<std::size_t>(m)] = popup;
        menuEnabled_[static_cast<std::size_t>(m)] = true;
    }
}

void TWinMainFich::BuildControls() {
    font_ = MakeFont(face::kMainFont, dpi_);
    const HFONT font = font_.Handle();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const face::Rect memo = face::Scaled(face::kMemoStatus.rect, dpi_);
    memoStatus_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                        memo.left, memo.top, memo.width, memo.height, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMemoId)), instance, nullptr);
    SendMessageW(memoStatus_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // No limit but the system's on what the memo holds.
    SendMessageW(memoStatus_, EM_SETLIMITTEXT, 0, 0);
    // The read-only memo's background: the system menu colour.
    memoBrush_ = GetSysColorBrush(COLOR_MENU);

    progressBar1_ = MakeControl(window_, face::kProgressBar1, PROGRESS_CLASSW, WS_VISIBLE | PBS_SMOOTH,
                                kBar1Id, font, TCaptionKind::Label, {0, 0}, 0, dpi_);
    progressBar2_ = MakeControl(window_, face::kProgressBar2, PROGRESS_CLASSW, WS_VISIBLE | PBS_SMOOTH,
                                kBar2Id, font, TCaptionKind::Label, {0, 0}, 0, dpi_);
    // What each bar measures, when the pointer rests on it.
    tips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
    for (const auto& [bar, tip] : {std::pair{progressBar1_, face::kProgressBar1Tip},
                                   std::pair{progressBar2_, face::kProgressBar2Tip}}) {
        std::wstring text = WideText(tip);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(bar);
        tool.lpszText = text.data();
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    const int width = face::kMainClientSize.width;
    readId_ = MakeControl(window_, face::kReadId, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, kReadIdId, font,
                          TCaptionKind::Button, {0, 0}, width, dpi_);
    start_ = MakeControl(window_, face::kStart, WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kStartId,
                         font, TCaptionKind::Button, {0, 0}, width, dpi_);
    quit_ = MakeControl(window_, face::kQuit, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, kQuitId, font,
                        TCaptionKind::Button, {0, 0}, width, dpi_);
}

void TWinMainFich::PlaceControls() {
    const HFONT font = font_.Handle();
    for (HWND control : {memoStatus_, progressBar1_, progressBar2_, readId_, start_, quit_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (const auto& [control, description] :
         {std::pair{memoStatus_, &face::kMemoStatus}, std::pair{progressBar1_, &face::kProgressBar1},
          std::pair{progressBar2_, &face::kProgressBar2}}) {
        const face::Rect r = face::Scaled(description->rect, dpi_);
        SetWindowPos(control, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const int width = face::kMainClientSize.width;
    for (const auto& [button, description] :
         {std::pair{readId_, &face::kReadId}, std::pair{start_, &face::kStart},
          std::pair{quit_, &face::kQuit}}) {
        wchar_t caption[64] = {};
        GetWindowTextW(button, caption, 64);
        SetFittedCaption(button, description->rect, caption, font, TCaptionKind::Button, {0, 0}, width, dpi_);
    }
}

void TWinMainFich::DpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;
    // The controls take the new font before the old one goes.
    TFont font = MakeFont(face::kMainFont, dpi_);
    std::swap(font_, font);
    PlaceControls();
    if (suggested != nullptr)
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientHeight();
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
    // The handler owns the work; it is freed here when the window is gone.
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const HWND target = postTarget_;
    if (target != nullptr &&
        PostMessageW(target, kPostedWorkMessage, 0, reinterpret_cast<LPARAM>(owned.get())))
        owned.release();
}

void TWinMainFich::AskLinkFailure(const std::string& text, const std::string& advice) {
    linkErrorBox_.Ask(advice.empty() ? text : text + "\n\n" + advice);
}

void TWinMainFich::RunEnded(const TRunEnd& end) {
    if (end.reason == TRunEndReason::Failed || end.reason == TRunEndReason::PortFailed)
        Print("Error: " + end.error);
    if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
}

void TWinMainFich::MItemAboutClick() {
    if (aboutBox_ != nullptr) aboutBox_->ShowModal(window_);
    FocusStart();
}

void TWinMainFich::MManualClick() {
    Check({face::kModeMenu, 1});
    compDialog_.ShowModal(window_);
    FocusStart();
}

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

void TWinMainFich::Check(MenuPlace place) {
    checks_.Check(place);
    if (place.menu == face::kPortMenu) {
        portItems_.SetChecked({});
        portItems_.ShowChecks(MenuCommand(place));
        return;
    }
    const int count = static_cast<int>(face::MenuAt(place.menu).items.size());
    CheckMenuRadioItem(menus_[place.menu], static_cast<UINT>(MenuCommand({place.menu, 0})),
                       static_cast<UINT>(MenuCommand({place.menu, count - 1})),
                       static_cast<UINT>(MenuCommand(place)), MF_BYCOMMAND);
}

void TWinMainFich::Command(int id) {
    switch (id) {
    case kReadIdId:
        ReadIdClick();
        return;
    case kStartId:
        StartClick();
        return;
    case kQuitId:
        QuitClick();
        return;
    default:
        break;
    }
    if (const auto path = portItems_.PathOf(id)) {
        checks_.CheckPortPath(*path);
        portItems_.SetChecked(*path);
        portItems_.ShowChecks(0);
        return;
    }
    const auto place = MenuPlaceOf(id);
    if (!place) return;
    if (place->menu == face::kAboutMenu)
        MItemAboutClick();
    else if (place->menu == face::kModeMenu && place->item == 1)
        MManualClick();
    else
        Check(*place);
}

void TWinMainFich::Print(const std::string& line) {
    // Standard output exists when the program's output was redirected.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

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

RunChoices TWinMainFich::Choices() {
    return checks_.Choices(compDialog_.Keyb(), compDialog_.Prom1(), compDialog_.Prom2());
}

void TWinMainFich::CloseWindow() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK TWinMainFich::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TWinMainFich*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TWinMainFich*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return self->Dispatch(window, message, wParam, lParam);
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

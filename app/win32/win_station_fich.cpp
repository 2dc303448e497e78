// The station window's life: its class and creation, the station's timers and
// posted work, Start and Stop, the operator's questions and closing.
#include "app/win32/win_station_fich.h"

#include "app/win32/win_station_port_dlg.h"
#include "app/win32/win_text.h"

#include <algorithm>

namespace vz::win {

namespace {

constexpr wchar_t kWindowClass[] = L"TStationFich";
// Work handed over to the window's thread (an owned std::function in lParam).
constexpr UINT kPostedWorkMessage = WM_APP + 1;
// A box shown once the station's call that asked for it has returned.
constexpr UINT kBoxMessage = WM_APP + 2;

struct PendingBox {
    std::string text;
    const char* title;
};

} // namespace

// A one-shot window timer; the station arms it again when it wants more.
class TWinStationFich::Timer : public TStationLoop::TTimer {
public:
    Timer(TWinStationFich& window, std::function<void()> fire) : window_(window), id_(window.nextTimer_++) {
        window_.timers_[id_] = std::move(fire);
    }
    ~Timer() override {
        Stop();
        window_.timers_.erase(id_);
    }
    void Arm(int milliseconds) override {
        if (window_.window_ != nullptr)
            SetTimer(window_.window_, id_, static_cast<UINT>(milliseconds < 1 ? 1 : milliseconds), nullptr);
    }
    void Stop() override {
        if (window_.window_ != nullptr) KillTimer(window_.window_, id_);
    }

private:
    TWinStationFich& window_;
    UINT_PTR id_;
};

TWinStationFich::TWinStationFich(face::StationArguments arguments, face::StationContext context)
    : board_(std::move(arguments), std::move(context), *this) {}

TWinStationFich::~TWinStationFich() {
    // The station's links end before the window's timers and posted work go.
    board_.Close();
    if (window_ != nullptr) DestroyWindow(window_);
    for (HBRUSH brush : brushes_)
        if (brush != nullptr) DeleteObject(brush);
}

bool TWinStationFich::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterFormClass(kWindowClass, &FormProc<TWinStationFich>);

    window_ = CreateWindowExW(0, kWindowClass, WideText(face::kStationTitle).c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                              face::kStationWidth, face::kStationHeight, nullptr, nullptr, instance, this);
    if (window_ == nullptr) return false;
    postTarget_ = window_;
    dpi_ = WindowDpi(window_);
    // The first size at the screen's density, within its work area.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const SIZE outer = OuterSize(face::Scaled(face::Size{face::kStationWidth, face::kStationHeight}, dpi_),
                                 WS_OVERLAPPEDWINDOW, 0, false, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, std::min<LONG>(outer.cx, work.right - work.left),
                 std::min<LONG>(outer.cy, work.bottom - work.top),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CentreWindow(window_, nullptr);
    BuildControls();
    DrawHeader();
    DrawButtons();
    return true;
}

void TWinStationFich::Show(int how) {
    ShowWindow(window_, how);
    UpdateWindow(window_);
    SetFocus(start_);
}

std::unique_ptr<TStationLoop::TTimer> TWinStationFich::NewTimer(std::function<void()> fire) {
    return std::make_unique<Timer>(*this, std::move(fire));
}

void TWinStationFich::Post(std::function<void()> work) {
    // The handler owns the work; it is freed here when the window is gone.
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const HWND target = postTarget_;
    if (target != nullptr &&
        PostMessageW(target, kPostedWorkMessage, 0, reinterpret_cast<LPARAM>(owned.get())))
        owned.release();
}

void TWinStationFich::StartClick() {
    if (board_.Running()) return;
    // Without --port the operator picks the ports among those found, once.
    if (board_.PortCount() == 0) {
        TWinStationPortDlg dialog(ListPorts());
        auto chosen = dialog.ShowModal(window_);
        if (chosen.empty()) return;
        board_.SetPorts(std::move(chosen));
        BuildTiles();
    }
    TStationLoop& loop = *this;
    if (const auto refusal = board_.Start(loop)) ShowBox(*refusal, face::kStationRefusedTitle);
}

void TWinStationFich::StopClick() {
    if (!board_.Running() || !ConfirmStop(face::kStationStopQuestion)) return;
    board_.StopAll("stopped by the operator");
}

bool TWinStationFich::ConfirmStop(const char* question) {
    if (!board_.AnyUpdating()) return true;
    return MessageBoxW(window_, WideText(question).c_str(), WideText(face::kStationStopTitle).c_str(),
                       MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

void TWinStationFich::ShowBox(const std::string& text, const char* title) {
    ++boxesShown_;
    MessageBoxW(window_, WideText(text).c_str(), WideText(title).c_str(), MB_OK | MB_ICONWARNING);
    --boxesShown_;
    DrawButtons();
}

void TWinStationFich::ShowBoxLater(const std::string& text, const char* title) {
    auto box = std::make_unique<PendingBox>(PendingBox{text, title});
    if (window_ != nullptr && PostMessageW(window_, kBoxMessage, 0, reinterpret_cast<LPARAM>(box.get())))
        box.release();
}

bool TWinStationFich::MayClose() {
    if (!ConfirmStop(face::kStationCloseQuestion)) return false;
    if (!board_.Running()) return true;
    closing_ = true;
    board_.StopAll("stopped: the window was closed");
    // The stopped devices' records are written as their runs end: the station's
    // messages are served until then, for a few seconds at most.
    const DWORD started = GetTickCount();
    while (board_.Running() && GetTickCount() - started < 5000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

HWND TWinStationFich::FocusedButton() const {
    const HWND focus = GetFocus();
    return focus == start_ || focus == stop_ ? focus : nullptr;
}

LRESULT TWinStationFich::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: {
        KillTimer(window_, wParam);
        const auto timer = timers_.find(wParam);
        if (timer == timers_.end()) return 0;
        // The work may end its own timer.
        const std::function<void()> fire = timer->second;
        fire();
        return 0;
    }
    case kPostedWorkMessage: {
        const std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        (*work)();
        return 0;
    }
    case kBoxMessage: {
        const std::unique_ptr<PendingBox> box(reinterpret_cast<PendingBox*>(lParam));
        if (!closing_) ShowBox(box->text, box->title);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == kStartId) StartClick();
        if (LOWORD(wParam) == kStopId) StopClick();
        return 0;
    case WM_CTLCOLORSTATIC:
        if (const HBRUSH brush = PaintStatic(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) PlaceControls();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {face::Scaled(640, dpi_), face::Scaled(400, dpi_)};
        return 0;
    }
    case WM_DPICHANGED:
        DpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ACTIVATE:
        // Activated, the window hands the keys to a button rather than keeping them.
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) {
            if (FocusedButton() == nullptr) SetFocus(IsWindowEnabled(start_) ? start_ : stop_);
            return 0;
        }
        break;
    case DM_GETDEFID:
        // Enter presses the focused button, else Start.
        return MAKELRESULT(FocusedButton() != nullptr ? GetDlgCtrlID(FocusedButton()) : kStartId,
                           DC_HASDEFID);
    case WM_PAINT:
        Paint();
        return 0;
    case WM_CLOSE:
        // Closing waits once for the stopped devices; a box up answers first.
        if (closing_ || boxesShown_ > 0 || !MayClose()) return 0;
        board_.Close();
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY: {
        postTarget_ = nullptr;
        // Work posted but not yet served is freed, not run.
        MSG left;
        while (PeekMessageW(&left, window_, kPostedWorkMessage, kPostedWorkMessage, PM_REMOVE))
            delete reinterpret_cast<std::function<void()>*>(left.lParam);
        while (PeekMessageW(&left, window_, kBoxMessage, kBoxMessage, PM_REMOVE))
            delete reinterpret_cast<PendingBox*>(left.lParam);
        window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace vz::win

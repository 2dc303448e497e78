// TMainFich on plain Win32: the program's window. It shows what the sequencer
// core reports, hands it the operator's clicks and menu choices, and ticks it
// from its timer and from the arrival of data on the link. Its parts live in
// win_main_fich*.cpp: life and messages, layout, menus, the run, the focus.
#pragma once

#include "app/core/main_face.h"
#include "app/core/run_driver.h"
#include "app/core/updater_core.h"
#include "app/win32/menu_commands.h"
#include "app/win32/win_controls.h"
#include "app/win32/win_dialogs.h"
#include "app/win32/win_link_error_box.h"
#include "app/win32/win_port_items.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace vz {

namespace win {

class TWinMainFich : public TMainFace, private TRunHost {
public:
    // Without a link the window runs the communication thread on the system's
    // serial ports; its failures are then shown in the link error box.
    explicit TWinMainFich(std::unique_ptr<TLinkControl> link = nullptr);
    ~TWinMainFich() override;
    TWinMainFich(const TWinMainFich&) = delete;
    TWinMainFich& operator=(const TWinMainFich&) = delete;

    // Makes the window and its controls and runs FormCreate; false when the
    // system refused.
    bool Create();
    HWND Handle() const { return window_; }
    TUpdaterCore& Core() { return driver_->Core(); }
    TRunDriver& Driver() { return *driver_; }
    void SetAboutBox(TWinAboutBox* box) { aboutBox_ = box; }
    // Unattended: START is clicked once after start-up, errors go to standard
    // output as "Error: " and their text instead of a box, and the window closes
    // when the run is over.
    void SetUnattended(bool unattended) { driver_->SetUnattended(unattended); }
    bool UnattendedFailed() const { return driver_->UnattendedFailed(); }
    // Shows the window, and in unattended mode clicks START.
    void Show(int how);

    void FormClose();
    void FormPaint();
    void Timer1Timer();
    void StartClick() { driver_->StartClick(); }
    void ReadIdClick() { driver_->ReadIdClick(); }
    void QuitClick() { driver_->QuitClick(); }
    void MItemAboutClick();
    void MManualClick();
    void DataReceived();

    // What the core shows through its face.
    void MemoLineAdded(const std::string& line) override;
    void ProgressChanged() override;
    void ControlsChanged() override;
    void Repaint() override;
    void ShowErrorBox(const std::string& text) override;
    RunChoices Choices() override;
    void CloseWindow() override;
    void Advise(const std::string& text) override;

private:
    template <typename Form> friend LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void BuildControls();
    void BuildMenus();
    void FormCreate();
    void Command(int id);
    void Check(MenuPlace place);
    // The window and its controls at the size for dpi_ (the layout's pixels are
    // those of a 96-DPI screen); `suggested`: where the system would have it.
    void PlaceControls();
    void DpiChanged(int dpi, const RECT* suggested);
    void FitClientHeight();
    // The keyboard's focus on START (at opening and after every box), or on the
    // first button that can take it when the focused one is disabled or hidden.
    void FocusStart();
    void KeepFocusOnAButton();
    HWND FocusedButton() const;
    // WM_CLOSE: true when the window may close (an update under way asks first).
    bool MayClose();

    // What the run driver needs of the window.
    void ArmTimer(int milliseconds) override;
    void StopTimer() override;
    void Post(std::function<void()> work) override;
    void AskLinkFailure(const std::string& text, const std::string& advice) override;
    void NoteLinkFailure(const std::string& line) override { Advise(line); }
    void RunEnded(const TRunEnd& end) override;
    void Print(const std::string& line);
    void ShowBar(HWND bar, const TProgressBar& progress, std::array<int, 3>& shown);
    void ShowOutcome();

    std::unique_ptr<TRunDriver> driver_;
    TWinLinkErrorBox linkErrorBox_;
    TWinCompSelDlg compDialog_;
    TWinAboutBox* aboutBox_ = nullptr;
    TMenuChecks checks_;
    TWinPortItems portItems_;

    HWND window_ = nullptr;
    // The window the link thread posts to.
    std::atomic<HWND> postTarget_{nullptr};
    HMENU menuBar_ = nullptr;
    std::array<HMENU, face::kMenuCount> menus_{};
    HWND memoStatus_ = nullptr;
    HWND progressBar1_ = nullptr;
    HWND progressBar2_ = nullptr;
    HWND tips_ = nullptr;
    HWND readId_ = nullptr;
    HWND start_ = nullptr;
    HWND quit_ = nullptr;
    TFont font_;
    int dpi_ = face::kLayoutDpi;
    HBRUSH memoBrush_ = nullptr;
    std::array<int, 3> shownBar1_{-1, -1, -1};
    std::array<int, 3> shownBar2_{-1, -1, -1};
    std::array<bool, face::kMenuCount> menuEnabled_{};

    bool nextStepPending_ = false;
    bool closed_ = false;
    bool askingToClose_ = false;
};

} // namespace win
} // namespace vz

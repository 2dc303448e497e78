// TMainFich on plain Win32: the program's window. It shows what the sequencer
// core reports, hands it the operator's clicks and menu choices, and ticks it
// from its timer and from the arrival of data on the link.
#pragma once

#include "app/core/main_face.h"
#include "app/core/updater_core.h"
#include "app/win32/menu_commands.h"
#include "app/win32/win_controls.h"
#include "app/win32/win_dialogs.h"
#include "app/win32/win_link_error_box.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace vz {

class TLinkRelay;

namespace win {

class TWinMainFich : public TMainFace {
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
    TUpdaterCore& Core() { return *core_; }
    void SetAboutBox(TWinAboutBox* box) { aboutBox_ = box; }
    // Unattended: START is clicked once after start-up, errors go to standard
    // output as "Error: " and their text instead of a box, and the window closes
    // when the run is over.
    void SetUnattended(bool unattended) { unattended_ = unattended; }
    bool UnattendedFailed() const { return unattendedFailed_; }
    // Shows the window, and in unattended mode clicks START.
    void Show(int how);

    void FormClose();
    void FormPaint();
    void Timer1Timer();
    void StartClick() {
        ForgetLinkFailure();
        core_->StartClick();
    }
    void ReadIdClick() {
        ForgetLinkFailure();
        core_->ReadIdClick();
    }
    void QuitClick() { core_->QuitClick(); }
    void MItemAboutClick();
    void MManualClick();
    void DataReceived();

    // What the core shows through its face.
    void MemoLineAdded(const std::string& line) override;
    void ProgressChanged() override;
    void ControlsChanged() override;
    void Repaint() override;
    void ShowErrorBox(const std::string& text) override;
    void SetTimerInterval(int milliseconds) override;
    RunChoices Choices() override;
    void CloseWindow() override;
    void Advise(const std::string& text) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void BuildControls();
    void BuildMenus();
    void FormCreate();
    void Command(int id);
    void Check(MenuPlace place);
    // After a step: the next one at once when it moved the run on, the end of
    // an unattended run.
    void AfterStep(bool advanced);
    // On the link thread: the port could not be opened or was lost.
    // On the link thread: the box with `text` (and `detail` below it), and the text once in the memo.
    void LinkFailed(const std::string& text, const std::string& detail);
    void ForgetLinkFailure();
    void Print(const std::string& line);
    void ShowBar(HWND bar, const TProgressBar& progress, std::array<int, 3>& shown);
    void ShowOutcome();

    std::unique_ptr<TLinkControl> link_;
    TLinkRelay* relay_ = nullptr; // owned by the core
    std::unique_ptr<TUpdaterCore> core_;
    TWinLinkErrorBox linkErrorBox_;
    TWinCompSelDlg compDialog_;
    TWinAboutBox* aboutBox_ = nullptr;
    TMenuChecks checks_;

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
    HBRUSH memoBrush_ = nullptr;
    std::array<int, 3> shownBar1_{-1, -1, -1};
    std::array<int, 3> shownBar2_{-1, -1, -1};
    std::array<bool, face::kMenuCount> menuEnabled_{};

    int interval_ = 500;
    bool timerOn_ = false;
    bool nextStepPending_ = false;
    bool closed_ = false;
    std::atomic<bool> unattended_{false}; // read by the link thread
    // The link failure last written to the memo: the box comes back after every OK,
    // the memo line does not.
    std::mutex failureLock_;
    std::string failureShown_; // guarded by failureLock_
    bool unattendedStarted_ = false;
    bool unattendedFailed_ = false;
};

} // namespace win
} // namespace vz

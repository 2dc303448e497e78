// TMainFich: the program's window. It shows what the sequencer core reports, hands
// it the operator's clicks and menu choices, and ticks it from its timer and from
// the arrival of data on the link.
#pragma once

#include "app/core/main_face.h"
#include "app/core/run_driver.h"
#include "app/core/updater_core.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vz {

class TAboutBox;
class TCompSelDlg;
class TLinkErrorBox;
class TPortMenuItems;

class TMainFich : public QMainWindow, public TMainFace, private TRunHost {
    Q_OBJECT
public:
    // Without a link the window runs the communication thread on the system's
    // serial ports; a link thread's failures are then shown in the link error box.
    explicit TMainFich(std::unique_ptr<TLinkControl> link = nullptr, QWidget* parent = nullptr);
    ~TMainFich() override;

    TUpdaterCore& Core() { return driver_->Core(); }
    TRunDriver& Driver() { return *driver_; }
    // The application-wide about box, shown by MItemAboutClick.
    void SetAboutBox(TAboutBox* box) { aboutBox_ = box; }
    // Unattended: START is clicked once after start-up, errors are reported by
    // ErrorReported instead of a box, and the window closes when the run is over.
    // Call before the window is shown.
    void SetUnattended(bool unattended) { driver_->SetUnattended(unattended); }
    // Failed: an unattended run ended in an error (or never ended).
    bool UnattendedFailed() const { return driver_->UnattendedFailed(); }
    // A picture of the window is saved here once the run is half through the script.
    void SetSnapshotPath(const QString& path) { snapshotPath_ = path; }

    QPlainTextEdit* MemoStatus;
    QProgressBar* ProgressBar1;
    QProgressBar* ProgressBar2;
    QPushButton* ReadId;
    QPushButton* Start;
    QPushButton* Quit;
    QTimer* Timer1;
    // A step that moved the run on is followed at once by the next, through this
    // zero-interval timer, rather than after Timer1's interval.
    QTimer* NextStep;

    QMenu* Port1;
    QMenu* MDev;
    QMenu* Program1;
    QMenu* Speed1;
    QMenu* About1;
    QAction *Com11, *Com21, *Com31, *Com41, *Com51, *Com61, *Com71, *Com81, *Com91;
    // The ports found on the machine, after Com 9.
    TPortMenuItems* PortItems;
    QAction *MDevAuto, *MDevKRA350, *MDevKRB350, *MDevKRC350, *MDevKRD350, *MDevKRT120;
    QAction *MAuto, *MManual;
    QAction *Fast, *Slow;
    QAction* MItemAbout;

    TCompSelDlg* CompDialog = nullptr;
    TLinkErrorBox* LinkErrorBox;

    void FormCreate();
    void FormClose();
    void FormPaint();
    void Timer1Timer();
    void StartClick();
    void ReadIdClick();
    void QuitClick();
    void MItemAboutClick();
    void FastClick() { Check(Fast); }
    void SlowClick() { Check(Slow); }
    void MAutoClick() { Check(MAuto); }
    void MManualClick();
    void MDevAutoClick() { Check(MDevAuto); }
    void MDevKRA350Click() { Check(MDevKRA350); }
    void MDevKRB350Click() { Check(MDevKRB350); }
    void MDevKRC350Click() { Check(MDevKRC350); }
    void MDevKRD350Click() { Check(MDevKRD350); }
    void MDevKRT120Click() { Check(MDevKRT120); }
    void Com11Click() { Check(Com11); }
    void Com21Click() { Check(Com21); }
    void Com31Click() { Check(Com31); }
    void Com41Click() { Check(Com41); }
    void Com51Click() { Check(Com51); }
    void Com61Click() { Check(Com61); }
    void Com71Click() { Check(Com71); }
    void Com81Click() { Check(Com81); }
    void Com91Click() { Check(Com91); }

    // The step of a chunk the link received (the driver hands it to this thread).
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

signals:
    // Every memo line as it is added.
    void MemoLineShown(const QString& line);
    // An unattended run's error, shown in no box.
    void ErrorReported(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    static void Check(QAction* item);
    void ShowProgress();
    void TakeSnapshot();
    // START takes the keyboard focus (at the window's opening and after each box).
    void FocusStart();
    void KeepFocusOnAButton();

    // What the run driver needs of the window.
    void ArmTimer(int milliseconds) override;
    void StopTimer() override;
    void Post(std::function<void()> work) override;
    void AskLinkFailure(const std::string& text, const std::string& advice) override;
    void NoteLinkFailure(const std::string& line) override;
    void StepDone() override;
    void RunEnded(const TRunEnd& end) override;

    std::unique_ptr<TRunDriver> driver_;
    std::array<QAction*, 9> portItems_{};
    std::array<QAction*, 6> deviceItems_{};
    TAboutBox* aboutBox_ = nullptr;
    bool closed_ = false;
    // Bars changed during a step are drawn after it, and during a run at most once
    // per kProgressPeriodMs.
    bool progressPending_ = false;
    QTimer* ProgressTimer = nullptr;
    static constexpr int kProgressPeriodMs = 40;
    bool shownOnce_ = false;
    QString snapshotPath_;
    bool snapshotTaken_ = false;
};

} // namespace vz

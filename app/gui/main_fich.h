// TMainFich: the program's window. It shows what the sequencer core reports, hands
// it the operator's clicks and menu choices, and ticks it from its timer and from
// the arrival of data on the link.
#pragma once

#include "app/core/main_face.h"
#include "app/core/updater_core.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <atomic>
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
class TLinkRelay;
class TPortMenuItems;

class TMainFich : public QMainWindow, public TMainFace {
    Q_OBJECT
public:
    // Without a link the window runs the communication thread on the system's
    // serial ports; a link thread's failures are then shown in the link error box.
    explicit TMainFich(std::unique_ptr<TLinkControl> link = nullptr, QWidget* parent = nullptr);
    ~TMainFich() override;

    TUpdaterCore& Core() { return *core_; }
    // The application-wide about box, shown by MItemAboutClick.
    void SetAboutBox(TAboutBox* box) { aboutBox_ = box; }
    // Unattended: START is clicked once after start-up, errors are reported by
    // ErrorReported instead of a box, and the window closes when the run is over.
    // Call before the window is shown.
    void SetUnattended(bool unattended) { unattended_ = unattended; }
    // Failed: an unattended run ended in an error (or never ended).
    bool UnattendedFailed() const { return unattendedFailed_; }
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

    // Safe from any thread: has DataReceived run on the window's thread.
    void ChunkReceived();
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
    // After a step: the end of an unattended run, the picture half-way through.
    // One sequencer step (or the step of a received chunk), then the bars.
    bool RunStep(bool chunk);
    void ShowProgress();
    void AfterStep();
    // On the link thread: the port could not be opened or was lost.
    // `detail`: what the box adds below its text.
    void LinkFailed(const std::string& text, const std::string& detail);
    void TakeSnapshot();

    std::unique_ptr<TLinkControl> link_;
    TLinkRelay* relay_ = nullptr; // owned by the core
    std::unique_ptr<TUpdaterCore> core_;
    std::array<QAction*, 9> portItems_{};
    std::array<QAction*, 6> deviceItems_{};
    TAboutBox* aboutBox_ = nullptr;
    bool closed_ = false;
    // Inside a sequencer step; bars changed meanwhile are drawn after it, and
    // during a run at most once per kProgressPeriodMs.
    bool stepping_ = false;
    bool progressPending_ = false;
    QTimer* ProgressTimer = nullptr;
    static constexpr int kProgressPeriodMs = 40;
    bool shownOnce_ = false;
    std::atomic<bool> unattended_{false}; // read by the link thread
    // The link failure last written to the memo: the box comes back after every OK,
    // the memo line does not.
    std::string linkFailureShown_;
    bool unattendedStarted_ = false;
    bool unattendedFailed_ = false;
    QString snapshotPath_;
    bool snapshotTaken_ = false;
};

} // namespace vz

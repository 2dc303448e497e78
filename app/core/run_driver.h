// The life of one run for every face: when the sequencer steps, what arrives from
// the link, what the link's failures do, how long the device may keep silent, what
// an unattended run does with its end, and where the update package is. A face
// gives it a one-shot timer and a way onto its own thread, and only translates its
// toolkit's events into the driver's calls. Several drivers, each with its own core
// and link, may run side by side in one process.
#pragma once

#include "app/core/latency_watch.h"
#include "app/core/link_control.h"
#include "app/core/main_face.h"
#include "app/core/updater_core.h"
#include "engines/clock.h"
#include "engines/error_code.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vz {

class TLinkRelay;
struct LinkFailure;

// How a run ended, as an unattended face learns it.
enum class TRunEndReason { Completed, Failed, Stopped, PortFailed };

struct TRunEnd {
    TRunEndReason reason = TRunEndReason::Completed;
    // Failed: the error the run ended with. PortFailed: the window's text for the failure.
    std::string error;
    // Why it failed, as a stable code, and the memory being erased or written when it
    // failed or was stopped (none between memories).
    TErrorCode code = TErrorCode::none;
    std::optional<TMemory> stage;
    // PortFailed: what the link reported, and whether an open port was lost.
    std::string portName;
    std::string portReason;
    bool accessDenied = false;
    bool lost = false;
};

// "Cannot open the port …" / "Lost the port …" with the system's reason and the
// advice on rights, for a line that names the port; the error alone for a link that
// could not even be told to run.
std::string PortFailureText(const TRunEnd& end);

// What the driver needs of a face beyond its TMainFace.
class TRunHost {
public:
    virtual ~TRunHost() = default;
    // Calls the driver's TimerFired once, `milliseconds` from now; arming again
    // replaces the earlier wait. 0: as soon as the face has served its waiting input.
    virtual void ArmTimer(int milliseconds) = 0;
    virtual void StopTimer() = 0;
    // Runs `work` on the face's own thread, later. Called from any thread.
    virtual void Post(std::function<void()> work) = 0;
    // The port could not be opened or was lost during an attended run: the box that
    // waits for the operator. Runs on the link thread, which waits meanwhile.
    virtual void AskLinkFailure(const std::string& text, const std::string& advice) = 0;
    // The same failure's line for the operator's record, once until the next run,
    // on the face's thread.
    virtual void NoteLinkFailure(const std::string& line) = 0;
    // After every sequencer step the driver ran.
    virtual void StepDone() {}
    // An unattended run is over, by itself or by its link.
    virtual void RunEnded(const TRunEnd& end) = 0;
    // The latency timer of the adapter behind the open port (`portName` as opened),
    // where the system tells it; once a run.
    virtual void LatencyTimerRead(const std::string& /*portName*/, int /*milliseconds*/) {}
};

// How long a wait for the device may last. The window waits until the device answers
// or the operator stops; the command line limits it.
struct TWaitPolicy {
    // Every wait for the device ends the run after this many seconds; 0: no limit.
    // Unset: no limit until the device has called, then `silenceSeconds`.
    std::optional<double> timeoutSeconds;
    double silenceSeconds = 0;
};

class TRunDriver : private TMainFace {
public:
    // The driver owns the core and the link; a link on the communication thread
    // (LinkThread()) is bound here, its chunks and failures handed to the face's thread.
    TRunDriver(TMainFace& face, TRunHost& host, std::unique_ptr<TLinkControl> link,
               EngineClock clock = EngineClock::System());
    ~TRunDriver() override;
    TRunDriver(const TRunDriver&) = delete;
    TRunDriver& operator=(const TRunDriver&) = delete;

    TUpdaterCore& Core() { return *core_; }
    const TUpdaterCore& Core() const { return *core_; }

    void SetWaitPolicy(const TWaitPolicy& policy) { wait_ = policy; }
    // Unattended: no box waits for an answer (errors and link failures end the run),
    // and the face learns the end through RunEnded.
    void SetUnattended(bool unattended) { unattended_ = unattended; }
    bool Unattended() const { return unattended_; }

    // The update package: `explicitRoot` when given, else the first of the program's
    // directory, VZ_ROOT's value, the installation's package directory and the
    // current directory that holds one (FindModelRoot). With
    // `announce`, a package found nowhere is said in the memo before START.
    void UsePackageRoot(const std::string& explicitRoot, const std::string& programDir,
                        const std::string& variable, const std::string& machineDir,
                        const std::string& currentDir, bool announce);
    void SetScriptArgument(const std::string& path) { core_->SetScriptArgument(path); }
    // How the adapter's latency timer is read for a port name; the system's by default.
    using LatencyTimerProbe = std::function<std::optional<int>(const std::string& portName)>;
    void SetLatencyTimerProbe(LatencyTimerProbe probe) { latencyProbe_ = std::move(probe); }

    // Start-up of the face: the sequencer's idle state and its timer.
    void FormCreate();
    // The face goes: the timer stops and the link ends (a face releases its link
    // box first, so that a link thread waiting on it can end).
    void FormClose();

    void StartClick();
    void ReadIdClick();
    void QuitClick() { core_->QuitClick(); }
    // STOP during a run (the command line's Ctrl-C); nothing when idle.
    void StopRun();

    // The face's timer (Timer1Timer) and the link's chunk (DataReceived), on the face's thread.
    void TimerFired();
    void DataReceived();

    // An update (not a Read Id run) is under way and has not yet ended: closing the
    // window now would leave the device partly updated.
    bool UpdateInProgress() const;
    // True while the sequencer is inside a step the driver runs.
    bool Stepping() const { return stepping_; }
    // An unattended run that did not complete (or never started, or was still running).
    bool UnattendedFailed() const;
    bool Closed() const { return closed_; }
    // How long the face's timer waits between steps that wait: short during a run,
    // long when idle.
    int TimerInterval() const;

private:
    // What the core shows goes to the face; an unattended run does without the error box
    // and the idle line.
    void MemoLineAdded(const std::string& line) override;
    void ProgressChanged() override { face_.ProgressChanged(); }
    void ControlsChanged() override { face_.ControlsChanged(); }
    void Repaint() override { face_.Repaint(); }
    void ShowErrorBox(const std::string& text) override;
    RunChoices Choices() override { return face_.Choices(); }
    void CloseWindow() override { face_.CloseWindow(); }
    void Advise(const std::string& text) override { face_.Advise(text); }
    void LineAcknowledged() override;
    void DeviceIdentified(const TDeviceIdentity& identity) override { face_.DeviceIdentified(identity); }

    void BindLinkThread();
    // Runs one step (of the timer or of a received chunk) and arms the timer again.
    void Step(bool chunk);
    void ResetWait();
    void CheckWait(bool advanced);
    void OnLinkFailure(const LinkFailure& failure, bool lost);
    void EndOnLinkFailure(const TRunEnd& end);
    void NoteRunEnd();
    // A new run: the latency judged again, the adapter read again.
    void ResetLatency();
    // Once the port is open: the adapter's latency timer, noted and advised when high.
    void CheckAdapter();
    // The lines of the files the script programs, for the time an update takes.
    std::uint64_t UpdateLines();
    // Work posted to the face's thread runs only while this driver lives.
    void PostHere(std::function<void()> work);

    TMainFace& face_;
    TRunHost& host_;
    std::unique_ptr<TLinkControl> link_;
    TLinkRelay* relay_ = nullptr; // owned by the core
    EngineClock clock_;
    std::unique_ptr<TUpdaterCore> core_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    TWaitPolicy wait_;
    bool unattended_ = false;
    bool unattendedStarted_ = false;
    bool unattendedFailed_ = false;
    bool closed_ = false;
    bool stepping_ = false;
    bool wasRunning_ = false;

    // Waits measured on the driver's clock, from the run's last progress.
    std::uint32_t lastProgress_ = 0;
    std::uint64_t understoodAtStart_ = 0;
    bool noiseAdvised_ = false;

    // How late the device's answers come, and the adapter's own setting.
    TLatencyWatch latency_;
    LatencyTimerProbe latencyProbe_;
    bool adapterChecked_ = false;

    // The link failure last noted: a box comes back after every OK, its line does not.
    std::mutex failureLock_;
    std::string failureNoted_; // guarded by failureLock_
};

} // namespace vz

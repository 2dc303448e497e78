// The operation sequencer and script runner behind both faces: it owns the four
// engines, drives them one step at a time and services their events.
#pragma once

#include "app/core/link_control.h"
#include "app/core/main_face.h"
#include "engines/clock.h"
#include "engines/error_code.h"
#include "engines/inst_courante.h"
#include "engines/progboot.h"
#include "engines/progjtag.h"
#include "engines/progpsd.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vz {

struct TProgressBar {
    int Min = 0;
    int Max = 100;
    int Position = 0;
    // Steps by one and stays full at the maximum.
    void StepIt() {
        if (Position < Max) ++Position;
    }
};

// Captions and enables of the buttons and menus.
struct TControls {
    std::string StartCaption = "Start";
    bool StartEnabled = true;
    bool ReadIdVisible = false;
    bool ReadIdEnabled = true;
    bool QuitVisible = false;
    bool QuitEnabled = true;
    bool PortMenuEnabled = true;
    bool SpeedMenuEnabled = true;
    bool ModeMenuEnabled = true;
    bool DeviceMenuEnabled = true;
};

// What a run has done to the device so far, for the advice after a stop and the
// command line's summary.
struct TRunRecord {
    std::vector<TMemory> programmed;   // memories finished, in order
    std::optional<TMemory> inProgress; // the memory being erased or written; none between
    // Memories left alone as already current: the whole keyboard's banks, or a Prom.
    std::vector<TMemory> skipped;
    // Version texts the device took, by component character, in the order written.
    std::vector<std::pair<char, std::string>> versions;
    // What the device reported to "T" lines before anything was written, and what it
    // holds at the end: written, or found current.
    std::vector<std::pair<char, std::string>> versionsBefore;
    std::vector<std::pair<char, std::string>> versionsAfter;
    // Lines and records the device asked for again.
    std::uint32_t resends = 0;
};

// Bytes that arrived since an engine last understood an answer, and none of them was
// one: another device chattering on the port, noise, a device at the wrong speed.
struct TNoAnswer {
    std::uint64_t bytes = 0;
    std::string first; // the first of them, raw: make it printable before showing it
};

// How the last run ended, for the faces to show at a glance (the bars' colour).
enum class TRunOutcome { None, Completed, Failed, Stopped };

// Where the sequencer stands. The numbers are the ones failure messages print.
enum class TSequencerState : std::uint8_t {
    Idle = 0,
    Synchronise = 1,
    WaitSync = 2,
    Starting = 3,
    LinkStarted = 4,
    Error = 5,
    ErrorShown = 6,
    Finishing = 7,
    Completed = 8,
    NextLine = 10,
    LineRunning = 11,
};

class TUpdaterCore {
public:
    TUpdaterCore(TMainFace& face, std::unique_ptr<TLinkControl> link,
                 EngineClock clock = EngineClock::System());
    ~TUpdaterCore();
    TUpdaterCore(const TUpdaterCore&) = delete;
    TUpdaterCore& operator=(const TUpdaterCore&) = delete;

    // Start-up: identity cleared, memo emptied, "readid.ini" in the current
    // directory shows Read Id and Quit.
    void FormCreate();
    // Stops the link before the window goes.
    void FormClose();

    // The first command-line argument: a script whose directory holds every file.
    void SetScriptArgument(const std::string& path) { scriptArgument_ = path; }
    const std::string& ScriptArgument() const { return scriptArgument_; }
    // The base directory that holds one directory per model. `searchNote`, when
    // the directory was searched for and held nothing, follows a missing script's
    // error, so that the operator learns where the package was looked for.
    void SetRootDir(const std::string& dir, const std::string& searchNote = {});

    void StartClick();
    void ReadIdClick();
    void QuitClick();
    // One sequencer step; never nested. True when the step moved the run on
    // (a state, a line, an engine's step or the received text changed), so that
    // a face may run the next step at once instead of waiting for its timer.
    bool SequencerStep();
    // Takes the link's received chunk and steps at once during a run; true as above.
    bool DataReceived();
    // A fault outside the engines that ends the run (for example a face's time-out).
    void ShowError(TErrorCode code, const std::string& text);

    void ShowStatus(const std::string& text);
    void SetScriptDir(const std::string& dir);
    void ApplyComponentFilter();
    void SkipSameVersion(TGestionnaire& Sender, std::int32_t component);
    void SetModelCode(std::uint8_t code);
    void SetReportedModelCode(std::uint8_t code);
    void SetOptions(std::int32_t bits);
    void SetMenuModel(std::uint8_t code);
    // Whether a device that does not call within ten seconds is advised about (a
    // station waits for the next device as long as it takes, and says nothing).
    void SetSilenceAdvice(bool advise) { silenceAdvice_ = advise; }

    std::string Title() const;
    std::string InitialTitle() const;

    TSequencerState State() const { return state_; }
    bool RunInProgress() const { return state_ != TSequencerState::Idle; }
    // From a run's first step until the idle step after its end: the sequencer wants
    // its steps in quick succession meanwhile (the run driver paces its timer by it).
    bool RunPace() const { return runPace_; }
    // True while a busy engine waits for the device rather than for the clock.
    bool WaitingForDevice() const;
    // The latest status lines, at least kMemoKept of them.
    const std::vector<std::string>& Memo() const { return memo_; }
    static constexpr std::size_t kMemoKept = 500;
    const TProgressBar& ProgressBar1() const { return progressBar1_; }
    const TProgressBar& ProgressBar2() const { return progressBar2_; }
    const TControls& Controls() const { return controls_; }
    const std::string& ErrorMessage() const { return errorMessage_; }
    // The kind of the error that ended the run; none while a run goes well.
    TErrorCode ErrorCode() const { return errorCode_; }
    const std::string& ScriptDir() const { return scriptDir_; }
    const std::vector<std::string>& ScriptLines() const { return scriptLines_; }
    std::int32_t LineIndex() const { return lineIndex_; }
    std::int32_t DeviceRecord() const { return deviceRecord_; }
    std::int32_t DeviceId() const { return deviceId_; }
    std::uint8_t ModelCode() const { return modelCode_; }
    std::uint8_t ReportedModelCode() const { return reportedModelCode_; }
    std::int32_t Options() const { return options_; }
    std::uint8_t MenuModel() const { return menuModel_; }
    bool ReadIdMode() const { return readIdMode_; }
    const TRunRecord& RunRecord() const { return runRecord_; }
    TRunOutcome Outcome() const { return outcome_; }
    const std::string& RxText() const { return rxText_; }
    // Engines' steps and understood answers so far; it moves whenever the run does.
    std::uint64_t Understood() const { return understood_; }
    // True once the device has sent anything during this run.
    bool DeviceAnswered() const { return deviceAnswered_; }
    TNoAnswer NoAnswer() const;
    // The device the boot loader identified in this run; none before.
    const std::optional<TDeviceIdentity>& Identified() const { return identified_; }
    // The port being watched, as the operator knows it ("/dev/ttyS0 (Com 1)").
    std::string WatchedPort();

    // The most unconsumed received text kept; beyond it bytes are counted and dropped.
    static constexpr std::size_t kRxTextLimit = 4096;

    TProgBoot& BootEngine() { return boot_; }
    TInstCrt& InstEngine() { return inst_; }
    TProgPsd& KeybEngine() { return psd_; }
    TProgJtag& JtagEngine() { return jtag_; }

private:
    void RunState();
    // What a step changes when it moves the run on.
    struct Progress {
        TSequencerState state;
        std::int32_t lineIndex;
        bool engineBusy;
        std::array<std::uint8_t, 4> steps;
        std::uint64_t understood;
        bool operator==(const Progress&) const = default;
    };
    Progress Snapshot() const;
    void StepIdle();
    void ResetEngines();
    void StepStarting();
    void StepWaitSync();
    void StepLineRunning();
    void StepCompleted();
    void BindEngine(TGestionnaire& engine);
    // Which memory is being programmed, and which are done.
    void NoteMemoryStarted(const TMemory& memory);
    void NoteMemoryDone(const TMemory& memory);
    void AdviseWhenSilent();
    void NoteUnderstood();
    void NoteDiscarded(std::string_view text);
    void ForgetNoAnswer();
    void AdviseAfterStop();
    void OnDeviceId(TGestionnaire& engine);
    // Among the records sharing this record's type number, the one the identifier names.
    int SharedTypeRecord(int record) const;
    // Every engine, in the order lines are offered to them.
    std::array<TGestionnaire*, 4> Engines() { return {&boot_, &inst_, &psd_, &jtag_}; }

    // Script runner.
    bool LocateAndLoadScript();
    void DispatchNextLine();
    void ReplaceComponentLines(char digit);

    void SetControls(const TControls& controls);
    void SetProgress(TProgressBar& bar, int position);

    TMainFace& face_;
    std::unique_ptr<TLinkControl> link_;
    EngineClock clock_;

    TProgBoot boot_;
    TInstCrt inst_;
    TProgPsd psd_;
    TProgJtag jtag_;

    std::vector<std::string> memo_;
    TProgressBar progressBar1_;
    TProgressBar progressBar2_;
    TControls controls_;

    std::vector<std::string> scriptLines_;
    std::int32_t lineIndex_ = 0;
    TSequencerState state_ = TSequencerState::Idle;
    bool runPace_ = false;
    std::int32_t deviceRecord_ = 0;
    std::int32_t deviceId_ = 0;
    bool readIdMode_ = false;
    std::string errorMessage_;
    TErrorCode errorCode_ = TErrorCode::none;
    std::string scriptDir_;
    std::uint8_t modelCode_ = 0;
    std::uint8_t reportedModelCode_ = 0;
    std::int32_t options_ = 0;
    std::uint8_t menuModel_ = 0;
    bool inStep_ = false;
    bool engineBusy_ = false;
    std::string lineText_;
    std::string rxText_;

    std::string scriptArgument_;
    std::string rootDir_;

    TRunRecord runRecord_;
    std::optional<TDeviceIdentity> identified_;
    TRunOutcome outcome_ = TRunOutcome::None;
    std::uint32_t syncStart_ = 0;
    bool deviceAnswered_ = false;
    bool silenceAdvised_ = false;
    bool silenceAdvice_ = true;
    bool stopAdvised_ = false;
    std::string rootSearchNote_;

    static constexpr std::size_t kNoAnswerSample = 64;
    std::uint64_t understood_ = 0;
    std::uint64_t discardedBytes_ = 0;
    std::uint64_t droppedBytes_ = 0;
    std::string discardedSample_;
};

} // namespace vz

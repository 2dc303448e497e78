#include "app/core/run_driver.h"

#include "app/core/com_thread_link.h"
#include "app/core/flag_guard.h"
#include "app/core/link_relay.h"
#include "app/core/model_root.h"
#include "formats/printable_text.h"
#include "formats/text_lines.h"
#include "link/port_list.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <utility>

namespace vz {

namespace {

// How long a wait may go without progress before the operator hears of bytes that
// arrive and are no answer.
constexpr std::uint32_t kNoiseAdviceMs = 10000;
// How much of those bytes a line shows.
constexpr std::size_t kNoiseShown = 40;

// The first of those bytes in quotes, printable whatever arrived.
std::string QuotedNoAnswer(const TNoAnswer& noAnswer) {
    std::string shown = PrintableText(noAnswer.first, kNoiseShown);
    if (noAnswer.bytes > noAnswer.first.size() && !shown.ends_with("…")) shown += "…";
    return "\"" + shown + "\"";
}

// "4096 bytes that are no answer: "NMEA,GPGGA,1235…"".
std::string NoAnswerText(const TNoAnswer& noAnswer) {
    return std::to_string(noAnswer.bytes) + (noAnswer.bytes == 1 ? " byte that is" : " bytes that are") +
           " no answer: " + QuotedNoAnswer(noAnswer);
}

// The timer's pace: a run steps quickly, an idle window only keeps its controls current.
constexpr int kRunInterval = 10;
constexpr int kIdleInterval = 500;

// Steps a failing link still allows, so that a device that answered its last line
// just before the port went completes its run.
constexpr int kStepsAfterLinkFailure = 8;

// The lines of a text file, counted without keeping it.
std::uint64_t CountLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string buffer(65536, '\0');
    std::uint64_t lines = 0;
    char last = '\n';
    while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || file.gcount() > 0) {
        const std::streamsize got = file.gcount();
        for (std::streamsize i = 0; i < got; ++i)
            if (buffer[static_cast<std::size_t>(i)] == '\n') ++lines;
        last = buffer[static_cast<std::size_t>(got - 1)];
    }
    return lines + (last != '\n' ? 1 : 0);
}

} // namespace

std::string PortFailureText(const TRunEnd& end) {
    if (end.portName.empty()) return end.error;
    std::string text =
        (end.lost ? "Lost the port " : "Cannot open the port ") + end.portName + ": " + end.portReason;
    if (end.accessDenied)
        if (const std::string advice = PortAccessAdvice(end.portName); !advice.empty())
            text += " (" + advice + ")";
    return text;
}

TRunDriver::TRunDriver(TMainFace& face, TRunHost& host, std::unique_ptr<TLinkControl> link, EngineClock clock)
    : face_(face), host_(host), link_(std::move(link)), clock_(clock) {
    BindLinkThread();
    auto relay = std::make_unique<TLinkRelay>(link_.get());
    relay_ = relay.get();
    relay->OnPosted = [this](std::size_t bytes) { latency_.Sent(bytes, clock_.Now()); };
    relay->OnSpeed = [this](int bitsPerSecond) { latency_.SetBitsPerSecond(bitsPerSecond); };
    latencyProbe_ = PortLatencyTimer;
    TMainFace& shown = *this;
    core_ = std::make_unique<TUpdaterCore>(shown, std::move(relay), clock_);
}

TRunDriver::~TRunDriver() {
    FormClose();
}

void TRunDriver::BindLinkThread() {
    ComThread* thread = link_ ? link_->LinkThread() : nullptr;
    if (thread == nullptr) return;
    thread->SetOnChunkReceived([this](ComThread&) { PostHere([this] { DataReceived(); }); });
    thread->SetOnOpenFailed(
        [this](ComThread&, const LinkFailure& failure) { OnLinkFailure(failure, false); });
    thread->SetOnPortLost([this](ComThread&, const LinkFailure& failure) { OnLinkFailure(failure, true); });
}

void TRunDriver::PostHere(std::function<void()> work) {
    host_.Post([alive = std::weak_ptr<int>(alive_), work = std::move(work)] {
        if (!alive.expired()) work();
    });
}

void TRunDriver::UsePackageRoot(const std::string& explicitRoot, const std::string& programDir,
                                const std::string& variable, const std::string& machineDir,
                                const std::string& currentDir, bool announce) {
    if (!explicitRoot.empty()) {
        core_->SetRootDir(explicitRoot);
        return;
    }
    const ModelRoot found = FindModelRoot(programDir, variable, machineDir, currentDir);
    core_->SetRootDir(found.dir, found.found ? std::string() : found.note);
    // Started from the desktop with nothing installed beside it: say so before START.
    if (announce && !found.found && core_->ScriptArgument().empty()) {
        std::string line = found.note;
        line[0] = 'N';
        core_->ShowStatus(line);
    }
}

void TRunDriver::FormCreate() {
    core_->FormCreate();
    host_.ArmTimer(TimerInterval());
}

void TRunDriver::FormClose() {
    if (closed_) return;
    closed_ = true;
    host_.StopTimer();
    core_->FormClose();
    relay_->Detach();
    // Ends the link thread; nothing it reports reaches this driver after this.
    link_.reset();
}

void TRunDriver::StartClick() {
    if (closed_) return;
    if (!core_->RunInProgress()) {
        const std::lock_guard guard(failureLock_);
        failureNoted_.clear();
    }
    if (unattended_) unattendedStarted_ = true;
    const bool starting = !core_->RunInProgress();
    ResetWait();
    if (starting) ResetLatency();
    core_->StartClick();
    wasRunning_ = starting ? core_->RunInProgress() : wasRunning_;
    NoteRunEnd();
    if (!closed_) host_.ArmTimer(TimerInterval());
}

void TRunDriver::ReadIdClick() {
    if (closed_) return;
    {
        const std::lock_guard guard(failureLock_);
        failureNoted_.clear();
    }
    if (unattended_) unattendedStarted_ = true;
    ResetWait();
    if (!core_->RunInProgress()) ResetLatency();
    core_->ReadIdClick();
    wasRunning_ = core_->RunInProgress();
    if (!closed_) host_.ArmTimer(TimerInterval());
}

void TRunDriver::StopRun() {
    if (closed_ || core_->State() == TSequencerState::Idle) return;
    core_->StartClick();
    Step(false);
}

int TRunDriver::TimerInterval() const {
    return core_->RunPace() ? kRunInterval : kIdleInterval;
}

bool TRunDriver::UpdateInProgress() const {
    if (closed_ || core_->ReadIdMode()) return false;
    switch (core_->State()) {
    case TSequencerState::Idle:
    case TSequencerState::Error:
    case TSequencerState::ErrorShown:
    case TSequencerState::Completed:
        return false;
    case TSequencerState::Synchronise:
    case TSequencerState::WaitSync:
    case TSequencerState::Starting:
    case TSequencerState::LinkStarted:
    case TSequencerState::Finishing:
    case TSequencerState::NextLine:
    case TSequencerState::LineRunning:
        break;
    }
    return true;
}

void TRunDriver::TimerFired() {
    Step(false);
}

void TRunDriver::DataReceived() {
    Step(true);
}

void TRunDriver::Step(bool chunk) {
    if (closed_) return;
    host_.StopTimer();
    bool advanced = false;
    {
        FlagGuard guard(stepping_);
        advanced = chunk ? core_->DataReceived() : core_->SequencerStep();
    }
    if (closed_) return;
    if (core_->RunInProgress()) wasRunning_ = true;
    CheckAdapter();
    CheckWait(advanced);
    host_.StepDone();
    NoteRunEnd();
    if (closed_) return;
    // A step that moved the run on is followed at once; one that waits for the
    // device or the clock is followed by the timer.
    host_.ArmTimer(advanced ? 0 : TimerInterval());
}

void TRunDriver::ResetWait() {
    lastProgress_ = clock_.Now();
    understoodAtStart_ = core_->Understood();
    noiseAdvised_ = false;
}

void TRunDriver::CheckWait(bool advanced) {
    // Waits are measured on the run's progress, not on bytes: a port where another
    // device chatters, or a device that streams junk, is no answer.
    const std::uint32_t now = clock_.Now();
    if (advanced || !core_->WaitingForDevice()) {
        lastProgress_ = now;
        noiseAdvised_ = false;
        return;
    }
    const std::uint32_t waited = now - lastProgress_;
    const TNoAnswer noAnswer = core_->NoAnswer();
    // Not given: no limit until the device has called, then the silence rule.
    const bool called = core_->Understood() != understoodAtStart_;
    // Nothing but the boot loader's calls after the device had answered: it was
    // restarted (powered off and on, or reset) and will not answer this run again.
    const bool restarted =
        called && noAnswer.bytes > 0 && noAnswer.first.find_first_not_of('%') == std::string::npos;
    if (restarted && waited >= kNoiseAdviceMs && !noiseAdvised_) {
        noiseAdvised_ = true;
        const std::string text = "The device on " + core_->WatchedPort() +
                                 " restarted during the run: its boot loader calls again";
        if (unattended_) {
            core_->ShowError(TErrorCode::restarted, text);
            return;
        }
        face_.Advise(text + ": run the update again");
    }
    if (waited >= kNoiseAdviceMs && !noiseAdvised_ && noAnswer.bytes > 0) {
        noiseAdvised_ = true;
        face_.Advise("Waiting for the device on " + core_->WatchedPort() +
                     ": the port receives data that is not the device's: " + QuotedNoAnswer(noAnswer) +
                     ": is it the right port?");
    }
    const double limit = wait_.timeoutSeconds ? *wait_.timeoutSeconds : (called ? wait_.silenceSeconds : 0);
    if (limit <= 0 || static_cast<double>(waited) <= limit * 1000) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", limit);
    std::string text = std::string("No answer from the device within ") + seconds + " s";
    if (noAnswer.bytes > 0) text += "; the port received " + NoAnswerText(noAnswer);
    core_->ShowError(TErrorCode::no_answer, text);
    lastProgress_ = now;
}

void TRunDriver::ResetLatency() {
    latency_.Reset();
    adapterChecked_ = false;
}

void TRunDriver::CheckAdapter() {
    if (adapterChecked_ || !core_->RunInProgress() || !link_) return;
    // Read once the port is open: opening it asks the system for low latency first.
    ComThread* thread = link_->LinkThread();
    if (thread ? !thread->IsPortOpen() : !core_->DeviceAnswered()) return;
    adapterChecked_ = true;
    const std::string name = link_->PortName();
    const std::optional<int> timer = latencyProbe_ ? latencyProbe_(name) : std::nullopt;
    if (!timer) return;
    host_.LatencyTimerRead(name, *timer);
    if (*timer > kLatencyTimerAdviceMs)
        face_.Advise(LatencyTimerAdvice(core_->WatchedPort(), *timer, LatencyTimerFix(name)));
}

void TRunDriver::LineAcknowledged() {
    const std::optional<TLateAnswers> late = latency_.Acknowledged(clock_.Now());
    if (!late) return;
    face_.Advise(LateAnswersAdvice(*late, UpdateLines(), LatencyTimerFix(link_ ? link_->PortName() : "")));
}

std::uint64_t TRunDriver::UpdateLines() {
    TUpdaterCore& core = *core_;
    const std::array<const TGestionnaire*, 4> engines{&core.BootEngine(), &core.InstEngine(),
                                                      &core.KeybEngine(), &core.JtagEngine()};
    std::map<std::string, std::uint64_t> counted; // a file named twice is read once
    std::uint64_t lines = 0;
    for (const std::string& raw : core.ScriptLines()) {
        const std::string line = TrimBoth(raw);
        for (const TGestionnaire* engine : engines) {
            const std::optional<TProgrammedFile> file = engine->DescribeLine(line);
            if (!file) continue;
            auto known = counted.find(file->Path);
            if (known == counted.end()) known = counted.emplace(file->Path, CountLines(file->Path)).first;
            lines += known->second;
            break;
        }
    }
    return lines;
}

void TRunDriver::MemoLineAdded(const std::string& line) {
    // Nobody presses START on an unattended run: the idle line that asks for it is not shown.
    if (unattended_ && !core_->RunInProgress()) return;
    face_.MemoLineAdded(line);
}

void TRunDriver::ShowErrorBox(const std::string& text) {
    // Nobody is there to answer it: the end of the run tells the face instead.
    if (!unattended_) face_.ShowErrorBox(text);
}

void TRunDriver::NoteRunEnd() {
    if (!wasRunning_ || core_->RunInProgress()) return;
    wasRunning_ = false;
    if (!unattended_) return;
    TRunEnd end;
    end.stage = core_->RunRecord().inProgress;
    switch (core_->Outcome()) {
    case TRunOutcome::Completed:
        end.reason = TRunEndReason::Completed;
        break;
    case TRunOutcome::Stopped:
        end.reason = TRunEndReason::Stopped;
        break;
    default:
        end.reason = TRunEndReason::Failed;
        end.error = core_->ErrorMessage();
        end.code = core_->ErrorCode();
        break;
    }
    if (end.reason != TRunEndReason::Completed) unattendedFailed_ = true;
    host_.RunEnded(end);
}

void TRunDriver::OnLinkFailure(const LinkFailure& failure, bool lost) {
    // On the link thread.
    std::string advice;
    const std::string text = LinkFailureText(failure, lost, &advice);
    bool first = false;
    {
        const std::lock_guard guard(failureLock_);
        first = failureNoted_ != text;
        failureNoted_ = text;
    }
    if (first) {
        const std::string line = advice.empty() ? text : text + " (" + advice + ")";
        PostHere([this, line] { host_.NoteLinkFailure(line); });
    }
    if (!unattended_) {
        host_.AskLinkFailure(text, advice);
        return;
    }
    TRunEnd end;
    end.reason = TRunEndReason::PortFailed;
    end.error = text;
    end.code = lost ? TErrorCode::port_lost : TErrorCode::port_unusable;
    end.portName = failure.portName;
    end.portReason = failure.reason;
    end.accessDenied = failure.accessDenied;
    end.lost = lost;
    PostHere([this, end] { EndOnLinkFailure(end); });
}

void TRunDriver::EndOnLinkFailure(const TRunEnd& end) {
    if (closed_ || !wasRunning_) return;
    // The device may have answered its last line just before the port went: the
    // sequencer takes what arrived before the run is given up.
    {
        FlagGuard guard(stepping_);
        core_->DataReceived();
        for (int i = 0; i < kStepsAfterLinkFailure && core_->RunInProgress(); ++i)
            core_->SequencerStep();
    }
    if (closed_) return;
    host_.StepDone();
    if (!core_->RunInProgress() && core_->Outcome() == TRunOutcome::Completed) {
        NoteRunEnd();
        return;
    }
    wasRunning_ = false;
    unattendedFailed_ = true;
    // What went wrong first, then what it left behind (the advice of the stop).
    TRunEnd ended = end;
    ended.stage = core_->RunRecord().inProgress;
    host_.RunEnded(ended);
    if (closed_) return;
    if (core_->RunInProgress()) core_->StartClick();
    core_->SequencerStep();
    host_.StepDone();
}

bool TRunDriver::UnattendedFailed() const {
    return unattended_ && (unattendedFailed_ || !unattendedStarted_ || (core_ && core_->RunInProgress()));
}

} // namespace vz

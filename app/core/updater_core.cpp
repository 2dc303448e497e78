#include "app/core/updater_core.h"

#include "app/core/flag_guard.h"
#include "app/core/identity.h"
#include "app/core/memory_text.h"
#include "engines/constante.h"

#include "engines/line_text.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <utility>

namespace vz {

namespace {

const char kIdleStatus[] = "Click on button START to begin program operation";

// A component's version in a list kept in first-seen order; with `replace`, a later
// text takes the place of the earlier one.
void NoteVersion(std::vector<std::pair<char, std::string>>& list, char component, const std::string& text,
                 bool replace = true) {
    for (auto& [known, held] : list)
        if (known == component) {
            if (replace) held = text;
            return;
        }
    list.emplace_back(component, text);
}

} // namespace

TUpdaterCore::TUpdaterCore(TMainFace& face, std::unique_ptr<TLinkControl> link, EngineClock clock)
    : face_(face), link_(std::move(link)), clock_(clock), boot_(clock), inst_(clock), psd_(clock),
      jtag_(clock) {
    for (TGestionnaire* engine : Engines())
        BindEngine(*engine);
    boot_.OnModelFound = [this](TGestionnaire&, std::uint8_t code) { SetModelCode(code); };
    boot_.OnReportedModel = [this](TGestionnaire&, std::uint8_t code) { SetReportedModelCode(code); };
    boot_.OnOptions = [this](TGestionnaire&, std::int32_t bits) { SetOptions(bits); };
    inst_.OnVersionSame = [this](TGestionnaire& sender, std::int32_t component) {
        SkipSameVersion(sender, component);
    };
    inst_.OnVersionWritten = [this](TGestionnaire&, char component, const std::string& text) {
        runRecord_.versions.emplace_back(component, text);
        NoteVersion(runRecord_.versionsAfter, component, text);
    };
    inst_.OnVersionRead = [this](TGestionnaire&, char component, const std::string& text) {
        NoteVersion(runRecord_.versionsBefore, component, text, false);
        // Found current: it is what the device holds after too.
        if (text == inst_.CurrentLine()) NoteVersion(runRecord_.versionsAfter, component, text);
    };
}

TUpdaterCore::~TUpdaterCore() {
    if (link_) link_->SetLinkRun(false);
}

void TUpdaterCore::BindEngine(TGestionnaire& engine) {
    engine.OnSend = [this](TGestionnaire& e) { link_->PostTx(e.TxText()); };
    engine.OnRxRequest = [this](TGestionnaire& e) { e.SetRxBuffer(rxText_); };
    engine.OnRxChanged = [this](TGestionnaire& e) {
        rxText_ = e.RxBuffer();
        NoteUnderstood();
    };
    engine.OnRxDiscarded = [this](TGestionnaire& e, std::string_view text) {
        rxText_ = e.RxBuffer();
        NoteDiscarded(text);
    };
    engine.OnBusyChanged = [this](TGestionnaire& e) { engineBusy_ = e.Busy(); };
    engine.OnProgressStep = [this](TGestionnaire&) {
        progressBar1_.StepIt();
        face_.ProgressChanged();
    };
    engine.OnProgressMax = [this](TGestionnaire& e) {
        progressBar1_.Max = e.ProgressMax();
        face_.ProgressChanged();
    };
    engine.OnStatus = [this](TGestionnaire& e) { ShowStatus(e.StatusText()); };
    engine.OnError = [this](TGestionnaire& e) { ShowError(e.ErrorCode(), e.ErrorText()); };
    engine.OnDeviceId = [this](TGestionnaire& e) { OnDeviceId(e); };
    engine.OnLinkFast = [this](TGestionnaire&) { link_->SetSpeedFast(); };
    engine.OnLinkSlow = [this](TGestionnaire&) { link_->SetSpeedSlow(); };
    engine.OnMemoryStarted = [this](TGestionnaire&, const TMemory& memory) { NoteMemoryStarted(memory); };
    engine.OnMemoryDone = [this](TGestionnaire&, const TMemory& memory) { NoteMemoryDone(memory); };
    engine.OnLineAcknowledged = [this](TGestionnaire&) { face_.LineAcknowledged(); };
    engine.OnResend = [this](TGestionnaire&) { ++runRecord_.resends; };
}

void TUpdaterCore::FormCreate() {
    inStep_ = false;
    scriptLines_.clear();
    state_ = TSequencerState::Idle;
    runPace_ = false;
    memo_.clear();
    deviceId_ = 0;
    SetModelCode(0);
    SetReportedModelCode(0);
    SetOptions(0);
    deviceRecord_ = 0;
    TControls controls = controls_;
    std::error_code ec;
    controls.ReadIdVisible = std::filesystem::is_regular_file("readid.ini", ec);
    controls.QuitVisible = controls.ReadIdVisible;
    SetControls(controls);
}

void TUpdaterCore::FormClose() {
    link_->SetLinkRun(false);
}

void TUpdaterCore::SetRootDir(const std::string& dir, const std::string& searchNote) {
    rootDir_ = dir;
    rootSearchNote_ = searchNote;
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    if (!rootDir_.empty() && rootDir_.back() != separator && rootDir_.back() != '/') rootDir_ += separator;
}

void TUpdaterCore::StartClick() {
    TControls controls = controls_;
    if (state_ == TSequencerState::Idle) {
        readIdMode_ = false;
        controls.QuitEnabled = false;
        SetControls(controls);
        ResetEngines();
        state_ = TSequencerState::Starting;
        // At once, so that the caption reads STOP before the operator can click again.
        SequencerStep();
    } else if (state_ == TSequencerState::Completed) {
        face_.CloseWindow();
    } else {
        AdviseAfterStop();
        outcome_ = TRunOutcome::Stopped;
        state_ = TSequencerState::Idle;
        controls.QuitEnabled = true;
        SetControls(controls);
    }
}

void TUpdaterCore::ReadIdClick() {
    readIdMode_ = true;
    ResetEngines();
    state_ = TSequencerState::Starting;
    SequencerStep();
}

void TUpdaterCore::QuitClick() {
    face_.CloseWindow();
}

bool TUpdaterCore::SequencerStep() {
    if (inStep_) return false;
    FlagGuard guard(inStep_);
    const Progress before = Snapshot();
    try {
        RunState();
    } catch (const std::exception& e) {
        // A fault of our own ends the run like any error instead of killing the program.
        ShowError(TErrorCode::internal, std::string("Internal error: ") + e.what());
    }
    return !(Snapshot() == before);
}

bool TUpdaterCore::DataReceived() {
    const std::string chunk = link_->TakeReceived();
    if (!chunk.empty()) deviceAnswered_ = true;
    // An engine looks at the start of the text: what lies beyond the bound can be no
    // answer it will take, and keeping it would make every step dearer.
    const std::size_t room = rxText_.size() < kRxTextLimit ? kRxTextLimit - rxText_.size() : 0;
    rxText_.append(chunk, 0, std::min(room, chunk.size()));
    if (chunk.size() > room) droppedBytes_ += chunk.size() - room;
    return state_ != TSequencerState::Idle && SequencerStep();
}

TUpdaterCore::Progress TUpdaterCore::Snapshot() const {
    return {state_,
            lineIndex_,
            engineBusy_,
            {boot_.Step(), inst_.Step(), psd_.Step(), jtag_.Step()},
            understood_};
}

void TUpdaterCore::RunState() {
    switch (state_) {
    case TSequencerState::Idle:
        StepIdle();
        break;
    case TSequencerState::Starting:
        StepStarting();
        break;
    case TSequencerState::LinkStarted:
        state_ = TSequencerState::Synchronise;
        break;
    case TSequencerState::Synchronise:
        syncStart_ = clock_.Now();
        rxText_.clear();
        ShowStatus("Start the device while pushing the ENTER button");
        boot_.SetCurrentLine("SYN");
        boot_.Execute();
        state_ = TSequencerState::WaitSync;
        break;
    case TSequencerState::WaitSync:
        StepWaitSync();
        break;
    case TSequencerState::NextLine:
        DispatchNextLine();
        break;
    case TSequencerState::LineRunning:
        StepLineRunning();
        break;
    case TSequencerState::Finishing:
        inst_.Execute();
        if (!engineBusy_ && state_ != TSequencerState::Error) state_ = TSequencerState::Completed;
        break;
    case TSequencerState::Completed:
        StepCompleted();
        break;
    case TSequencerState::Error:
        rxText_.clear();
        state_ = TSequencerState::ErrorShown;
        break;
    case TSequencerState::ErrorShown:
        face_.ShowErrorBox(errorMessage_);
        state_ = TSequencerState::Idle;
        break;
    }
}

void TUpdaterCore::StepIdle() {
    runPace_ = false;
    TControls controls = controls_;
    controls.PortMenuEnabled = controls.SpeedMenuEnabled = controls.ModeMenuEnabled = true;
    controls.DeviceMenuEnabled = true;
    controls.StartCaption = "START";
    if (controls.ReadIdVisible) controls.ReadIdEnabled = true;
    SetControls(controls);
    SetProgress(progressBar1_, 0);
    ShowStatus(kIdleStatus);
    ResetEngines();
    link_->SetLinkRun(false);
}

void TUpdaterCore::ResetEngines() {
    // The idle step resets them too, but a run may start before that step has come
    // round after an error or a stop: an engine left parked would refuse its lines.
    for (TGestionnaire* engine : Engines())
        engine->Reset();
}

void TUpdaterCore::StepStarting() {
    deviceId_ = 0;
    SetModelCode(0);
    SetReportedModelCode(0);
    SetOptions(0);
    deviceRecord_ = 0;
    runRecord_ = {};
    identified_.reset();
    outcome_ = TRunOutcome::None;
    errorCode_ = TErrorCode::none;
    deviceAnswered_ = silenceAdvised_ = stopAdvised_ = false;
    ForgetNoAnswer();
    runPace_ = true;
    const RunChoices choices = face_.Choices();
    link_->SelectLinkPort(choices.port);
    link_->SelectLinkPath(choices.portPath);
    TControls controls = controls_;
    controls.PortMenuEnabled = controls.ModeMenuEnabled = controls.DeviceMenuEnabled = false;
    controls.StartCaption = "STOP";
    if (controls.ReadIdVisible) controls.ReadIdEnabled = false;
    SetControls(controls);
    progressBar1_.Position = 0;
    SetProgress(progressBar2_, 0);
    for (TGestionnaire* engine : Engines())
        engine->SetSlowMode(choices.slow);
    SetMenuModel(choices.menuModel);
    state_ = TSequencerState::LinkStarted;
    // A run that follows an error or a STOP during a slow PROM update must still
    // meet the boot loader at the normal speed.
    link_->SetSpeedFast();
    if (!link_->SetLinkRun(true)) ShowError(TErrorCode::port_unusable, kOpenFailureText);
}

void TUpdaterCore::StepWaitSync() {
    AdviseWhenSilent();
    if (boot_.Busy()) boot_.Execute();
    if (engineBusy_ || state_ == TSequencerState::Error) return;
    if (!identified_ && modelCode_ != 0) {
        identified_ = TDeviceIdentity{modelCode_, deviceId_, options_, boot_.BootChecksum()};
        face_.DeviceIdentified(*identified_);
        // A face may refuse the device it was told of (a station locked to a model).
        if (state_ == TSequencerState::Error) return;
    }
    if (!LocateAndLoadScript()) return;
    lineIndex_ = 0;
    ApplyComponentFilter();
    state_ = TSequencerState::NextLine;
    progressBar2_.StepIt();
    face_.ProgressChanged();
}

void TUpdaterCore::StepLineRunning() {
    for (TGestionnaire* engine : Engines())
        if (engine->Busy()) engine->Execute();
    if (!engineBusy_ && state_ != TSequencerState::Error) {
        state_ = TSequencerState::NextLine;
        progressBar2_.StepIt();
        face_.ProgressChanged();
    }
}

void TUpdaterCore::StepCompleted() {
    rxText_.clear();
    ShowStatus("Program operation completed");
    outcome_ = TRunOutcome::Completed;
    TControls controls = controls_;
    controls.QuitEnabled = true;
    if (controls.ReadIdVisible) {
        controls.ReadIdEnabled = true;
        controls.StartCaption = "START";
    } else {
        controls.StartCaption = "QUIT";
    }
    controls.PortMenuEnabled = controls.SpeedMenuEnabled = controls.ModeMenuEnabled = true;
    SetControls(controls);
    SetProgress(progressBar1_, 0);
    state_ = TSequencerState::Idle;
}

bool TUpdaterCore::WaitingForDevice() const {
    if (state_ != TSequencerState::WaitSync && state_ != TSequencerState::LineRunning &&
        state_ != TSequencerState::Finishing)
        return false;
    const std::array<const TGestionnaire*, 4> engines{&boot_, &inst_, &psd_, &jtag_};
    for (const TGestionnaire* engine : engines)
        if (engine->Busy() && !engine->WaitsForDevice()) return false;
    return true;
}

void TUpdaterCore::ShowStatus(const std::string& text) {
    if (!memo_.empty() && memo_.back() == text) return;
    // The faces keep what they show; the core keeps the latest lines only, so that a
    // station updating device after device stays the same size.
    if (memo_.size() >= 2 * kMemoKept) memo_.erase(memo_.begin(), memo_.begin() + kMemoKept);
    memo_.push_back(text);
    face_.MemoLineAdded(text);
}

void TUpdaterCore::ShowError(TErrorCode code, const std::string& text) {
    errorCode_ = code;
    errorMessage_ = text;
    state_ = TSequencerState::Error;
    outcome_ = TRunOutcome::Failed;
    ShowStatus(text);
    AdviseAfterStop();
}

void TUpdaterCore::NoteMemoryStarted(const TMemory& memory) {
    runRecord_.inProgress = memory;
}

void TUpdaterCore::NoteMemoryDone(const TMemory& memory) {
    runRecord_.inProgress.reset();
    runRecord_.programmed.push_back(memory);
}

void TUpdaterCore::NoteUnderstood() {
    ++understood_;
    ForgetNoAnswer();
}

void TUpdaterCore::NoteDiscarded(std::string_view text) {
    discardedBytes_ += text.size();
    if (discardedSample_.size() < kNoAnswerSample)
        discardedSample_.append(text.substr(0, kNoAnswerSample - discardedSample_.size()));
}

void TUpdaterCore::ForgetNoAnswer() {
    discardedBytes_ = droppedBytes_ = 0;
    discardedSample_.clear();
}

TNoAnswer TUpdaterCore::NoAnswer() const {
    TNoAnswer record;
    record.bytes = discardedBytes_ + droppedBytes_ + rxText_.size();
    record.first = discardedSample_ + rxText_.substr(0, kNoAnswerSample);
    record.first.resize(std::min(record.first.size(), kNoAnswerSample));
    return record;
}

std::string TUpdaterCore::WatchedPort() {
    const RunChoices choices = face_.Choices();
    std::string port = link_->PortName();
    if (choices.portPath.empty()) {
        const std::string com = "Com " + std::to_string(choices.port);
        port = port.empty() ? com : port + " (" + com + ")";
    } else if (port.empty()) {
        port = choices.portPath;
    }
    return port;
}

void TUpdaterCore::AdviseWhenSilent() {
    constexpr std::uint32_t kSilenceMs = 10000;
    if (!silenceAdvice_ || deviceAnswered_ || silenceAdvised_ ||
        static_cast<std::uint32_t>(clock_.Now() - syncStart_) < kSilenceMs)
        return;
    silenceAdvised_ = true;
    face_.Advise("Waiting for the device on " + WatchedPort() +
                 ": power it up holding ENTER, or choose another port");
}

void TUpdaterCore::AdviseAfterStop() {
    if (stopAdvised_) return;
    const TRunRecord& record = runRecord_;
    std::string text;
    if (record.inProgress)
        text = "The update stopped while programming " + MemoryName(*record.inProgress);
    else if (!record.programmed.empty())
        text = "The update stopped after programming " + MemoryName(record.programmed.back());
    else
        return;
    stopAdvised_ = true;
    face_.Advise(text + ": the device is partly updated; run the update again before it is used");
}

void TUpdaterCore::OnDeviceId(TGestionnaire& engine) {
    deviceId_ = engine.DeviceId();
    if (deviceRecord_ >= 1 && deviceRecord_ <= kDeviceCount) {
        const std::uint8_t code = DeviceRecordAt(deviceRecord_).code;
        if (const std::uint8_t variant = IdentifiedModel(code, deviceId_); variant != code)
            SetModelCode(variant);
    }
    face_.Repaint();
}

void TUpdaterCore::SetModelCode(std::uint8_t code) {
    modelCode_ = IdentifiedModel(code, deviceId_);
    for (TGestionnaire* engine : Engines())
        engine->SetModelCode(modelCode_);
    if (const int record = FindDeviceRecord(modelCode_); record != 0) deviceRecord_ = record;
    face_.Repaint();
}

void TUpdaterCore::SetReportedModelCode(std::uint8_t code) {
    reportedModelCode_ = code;
    for (TGestionnaire* engine : Engines())
        engine->SetReportedModelCode(code);
    if (const int record = FindDeviceRecord(code); record != 0) deviceRecord_ = SharedTypeRecord(record);
    face_.Repaint();
}

int TUpdaterCore::SharedTypeRecord(int record) const {
    // Variants that answer the same type number differ only by the identifier's top bit.
    const bool high = HasVariantIdentifier(deviceId_);
    const std::int32_t type = DeviceRecordAt(record).type_number;
    for (int other = 1; other <= kDeviceCount; ++other) {
        const device_rec& candidate = DeviceRecordAt(other);
        if (candidate.type_number == type && IsVariant256(candidate.code) == high) return other;
    }
    return record;
}

void TUpdaterCore::SetOptions(std::int32_t bits) {
    options_ = bits;
    for (TGestionnaire* engine : Engines())
        engine->SetOptions(bits);
    face_.Repaint();
}

void TUpdaterCore::SetMenuModel(std::uint8_t code) {
    menuModel_ = code;
    for (TGestionnaire* engine : Engines())
        engine->SetMenuModel(code);
}

std::string TUpdaterCore::Title() const {
    return TitleText(modelCode_, options_, deviceId_);
}

std::string TUpdaterCore::InitialTitle() const {
    return InitialTitleText(modelCode_, deviceId_);
}

void TUpdaterCore::SetControls(const TControls& controls) {
    controls_ = controls;
    face_.ControlsChanged();
}

void TUpdaterCore::SetProgress(TProgressBar& bar, int position) {
    bar.Position = position;
    face_.ProgressChanged();
}

} // namespace vz

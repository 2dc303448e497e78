#include "app/core/station.h"

#include "app/core/com_thread_link.h"
#include "app/core/identity.h"
#include "engines/constante.h"
#include "link/com_thread.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace vz {

namespace {

namespace fs = std::filesystem;

// A port's name as part of a file name: "/dev/serial/by-id/usb-FTDI_x-if00-port0" is
// "usb-FTDI_x-if00-port0", "\\.\COM12" is "COM12".
std::string FileLabel(const std::string& port) {
    const std::size_t cut = port.find_last_of("/\\");
    std::string label = port.substr(cut == std::string::npos ? 0 : cut + 1);
    for (char& c : label)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') c = '_';
    return label.empty() ? "port" : label;
}

// Each port's label in file names, different for ports whose names end alike ("a/tty", "b/tty").
std::vector<std::string> FileLabels(const std::vector<TStationPort>& ports) {
    std::vector<std::string> labels;
    for (const TStationPort& port : ports)
        labels.push_back(FileLabel(port.label.empty() ? port.name : port.label));
    // Ports whose names end alike are told apart by their place on the command line.
    std::vector<std::string> alike = labels;
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (std::count(alike.begin(), alike.end(), alike[i]) > 1) labels[i] += "-" + std::to_string(i + 1);
    return labels;
}

std::string FileTime(std::time_t when) {
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", std::localtime(&when));
    return text;
}

TDeviceResult ResultOf(TRunEndReason reason) {
    switch (reason) {
    case TRunEndReason::Completed:
        return TDeviceResult::Completed;
    case TRunEndReason::Stopped:
        return TDeviceResult::Stopped;
    case TRunEndReason::Failed:
    case TRunEndReason::PortFailed:
        break;
    }
    return TDeviceResult::Failed;
}

} // namespace

// One port: its own driver, core and link, running one device after another. It is
// the driver's face and host at once.
class TStation::PortRun : private TMainFace, private TRunHost {
public:
    PortRun(TStation& station, std::size_t index);
    ~PortRun() override { driver_.reset(); }

    void Start();
    // The heartbeat: notices a port that opened.
    void Look();
    void Stop(const std::string& why);

    bool Done() const {
        return status_.state == TPortState::Finished || status_.state == TPortState::Unusable;
    }
    const TPortStatus& Status() const { return status_; }

private:
    // TMainFace: what the core shows.
    void MemoLineAdded(const std::string& line) override {
        log_.Note("status", line);
        station_.events_.StatusLine(index_, line);
    }
    void Advise(const std::string& text) override {
        log_.Note("advice", text);
        station_.events_.Advice(index_, text);
    }
    void DeviceIdentified(const TDeviceIdentity& identity) override;
    void ProgressChanged() override;
    void ControlsChanged() override {}
    void Repaint() override {}
    void ShowErrorBox(const std::string&) override {}
    RunChoices Choices() override { return settings_.choices; }
    void CloseWindow() override {}

    // TRunHost: the face's thread, and the run's end.
    void ArmTimer(int milliseconds) override { timer_->Arm(milliseconds); }
    void StopTimer() override { timer_->Stop(); }
    void Post(std::function<void()> work) override { station_.Post(std::move(work)); }
    void AskLinkFailure(const std::string&, const std::string&) override {}
    void NoteLinkFailure(const std::string&) override {}
    void StepDone() override;
    void RunEnded(const TRunEnd& end) override;
    void LatencyTimerRead(const std::string& port, int milliseconds) override {
        log_.Note("head", LatencyTimerNote(port, milliseconds));
    }

    void Changed() { station_.events_.PortChanged(index_); }
    void SetState(TPortState state) {
        if (status_.state == state) return;
        status_.state = state;
        Changed();
    }
    // The port is open: an adapter that was gone is back.
    void NoteOpen();
    void Record(const TRunEnd& end);
    void OpenLog();
    // The transcript gets its final name once the device is known; none is kept for
    // a run where no device called.
    std::string CloseLog(bool keep);

    TStation& station_;
    std::size_t index_;
    const TStationPort& settings_;
    TRunLog log_;
    std::unique_ptr<TStationLoop::TTimer> timer_;
    std::unique_ptr<TStationLoop::TTimer> reopen_;
    const TCountingLink* counter_ = nullptr;
    ComThread* thread_ = nullptr;
    std::unique_ptr<TRunDriver> driver_;

    TPortStatus status_;
    bool stopped_ = false;
    bool deviceSeen_ = false;
    std::time_t started_ = 0;
    std::chrono::steady_clock::time_point startedAt_;
    std::uint64_t sentAtStart_ = 0;
    std::string logPath_;
};

TStation::PortRun::PortRun(TStation& station, std::size_t index)
    : station_(station), index_(index), settings_(station.settings_.ports[index]), log_(station.time_) {
    timer_ = station_.loop_.NewTimer([this] { driver_->TimerFired(); });
    reopen_ = station_.loop_.NewTimer([this] { Start(); });
    const TStationSettings& all = station_.settings_;
    std::unique_ptr<TLinkControl> link;
    if (all.newLink)
        link = all.newLink(index_, [this] { Post([this] { driver_->DataReceived(); }); });
    else
        link = std::make_unique<TComThreadLink>();
    if (!all.logDir.empty()) link = std::make_unique<TLoggingLink>(std::move(link), log_);
    auto counting = std::make_unique<TCountingLink>(std::move(link));
    counter_ = counting.get();
    thread_ = counting->LinkThread();
    TMainFace& face = *this;
    TRunHost& host = *this;
    driver_ = std::make_unique<TRunDriver>(face, host, std::move(counting), all.clock);

    TWaitPolicy wait;
    // A station waits for the next device as long as it takes; once a device has
    // called, its silence is limited.
    wait.silenceSeconds = all.silenceSeconds;
    driver_->SetWaitPolicy(wait);
    driver_->SetUnattended(true);
    driver_->Core().SetSilenceAdvice(false);
    driver_->FormCreate();
    if (all.preparePort) all.preparePort(*driver_);
}

void TStation::PortRun::OpenLog() {
    const std::string& dir = station_.settings_.logDir;
    if (dir.empty()) return;
    // Named for the port and the time until the device is known; never over another file.
    const std::string stem = station_.labels_[index_] + "-" + FileTime(station_.time_.wall()) + "-waiting";
    for (int n = 1; n < 100 && logPath_.empty(); ++n) {
        const fs::path path = fs::path(dir) / (stem + (n > 1 ? "-" + std::to_string(n) : "") + ".log");
        const TRecordFile::Outcome outcome = log_.CreateNew(path.string());
        if (outcome == TRecordFile::Outcome::Opened) logPath_ = path.string();
        if (outcome != TRecordFile::Outcome::Exists && outcome != TRecordFile::Outcome::Opened) {
            station_.events_.TranscriptFailed(index_, path.string() + ": " + log_.Reason());
            return;
        }
    }
    if (logPath_.empty()) return;
    if (station_.settings_.writeLogHeader) station_.settings_.writeLogHeader(log_, settings_);
}

std::string TStation::PortRun::CloseLog(bool keep) {
    log_.Close();
    if (logPath_.empty()) return {};
    const fs::path waiting = logPath_;
    logPath_.clear();
    std::error_code ec;
    if (!keep) {
        fs::remove(waiting, ec);
        return {};
    }
    char id[16] = "unknown";
    if (status_.device)
        std::snprintf(id, sizeof id, "%04X", static_cast<unsigned>(status_.device->deviceId) & 0xFFFFu);
    const std::string stem = station_.labels_[index_] + "-" + FileTime(started_) + "-" + id;
    for (int n = 1; n < 100; ++n) {
        const fs::path target =
            waiting.parent_path() / (stem + (n > 1 ? "-" + std::to_string(n) : "") + ".log");
        if (RenameNoReplace(waiting.string(), target.string())) return target.string();
    }
    return waiting.string();
}

void TStation::PortRun::Start() {
    if (Done() || stopped_) return;
    deviceSeen_ = false;
    status_.device.reset();
    status_.percent = 0;
    sentAtStart_ = counter_->Sent();
    // While the adapter is away, a transcript waits for it to be back.
    if (status_.state != TPortState::Gone) {
        OpenLog();
        SetState(TPortState::Opening);
    }
    driver_->StartClick();
}

void TStation::PortRun::DeviceIdentified(const TDeviceIdentity& identity) {
    status_.device = identity;
    station_.events_.DeviceIdentified(index_, identity);
    Changed();
    const std::uint8_t locked = station_.settings_.lockedModel;
    // Variants are the same product: a KRA350's 256 variant is a KRA350.
    if (locked == 0 || ModelName(identity.model) == ModelName(locked)) return;
    const std::string expected(ModelName(locked));
    driver_->Core().ShowError(TErrorCode::wrong_model, "Wrong model: " + ModelKey(identity.model) +
                                                           ", where this station updates " + expected);
    Advise("This station updates " + expected + " devices only (--device " + expected + "): set this " +
           ModelKey(identity.model) + " aside, or start the station with the right --device");
}

void TStation::PortRun::NoteOpen() {
    status_.everOpened = true;
    if (status_.state == TPortState::Opening) SetState(TPortState::Waiting);
    if (status_.state == TPortState::Gone) {
        SetState(TPortState::Waiting);
        OpenLog();
        station_.events_.AdapterBack(index_);
    }
}

void TStation::PortRun::Look() {
    // A port lost again before this look is reported through the run's end instead.
    if (thread_ != nullptr && thread_->IsPortOpen()) NoteOpen();
}

void TStation::PortRun::Stop(const std::string& why) {
    stopped_ = true;
    log_.Note("--", why);
    reopen_->Stop();
    if (driver_->Core().RunInProgress()) {
        driver_->StopRun();
        return; // the run's end finishes the port
    }
    if (!Done()) SetState(TPortState::Finished);
}

void TStation::PortRun::ProgressChanged() {
    if (status_.state != TPortState::Updating) return;
    const TProgressBar& bar = driver_->Core().ProgressBar2();
    const int percent = bar.Max > 0 ? static_cast<int>(100LL * bar.Position / bar.Max) : 0;
    status_.percent = std::clamp(percent, 0, 100);
}

void TStation::PortRun::StepDone() {
    const TUpdaterCore& core = driver_->Core();
    // A link without a thread is open once its device has spoken.
    if (thread_ == nullptr && core.DeviceAnswered()) NoteOpen();
    if (deviceSeen_ || !core.DeviceAnswered()) return;
    NoteOpen(); // a device may call before the next look has seen the port open
    deviceSeen_ = true;
    started_ = station_.time_.wall();
    startedAt_ = station_.time_.steady();
    SetState(TPortState::Updating);
}

void TStation::PortRun::RunEnded(const TRunEnd& end) {
    // A station refused at its start takes no device: one that called in the moment
    // before, and was not written to, leaves no record.
    const TRunRecord& done = driver_->Core().RunRecord();
    const bool untouched = done.programmed.empty() && !done.inProgress;
    if (deviceSeen_ && !(station_.refused_ && untouched))
        Record(end);
    else
        CloseLog(false);
    const long count = station_.settings_.count;
    const long stopAfter = station_.settings_.stopAfter;
    const bool gaveUp = deviceSeen_ && stopAfter > 0 && status_.failedInARow >= stopAfter;
    if (stopped_ || station_.reportFailed_ || gaveUp || (count > 0 && status_.Attempted() >= count)) {
        SetState(TPortState::Finished);
        if (gaveUp && !stopped_) station_.events_.PortGaveUp(index_, status_.failedInARow);
        return;
    }
    // A link that could not even be told to run is a port that cannot be opened too.
    if (end.reason == TRunEndReason::PortFailed || end.code == TErrorCode::port_unusable) {
        if (end.lost) status_.everOpened = true;
        if (!status_.everOpened) {
            SetState(TPortState::Unusable);
            station_.events_.PortUnusable(index_, end);
            // A station one socket short would pass for a whole one: none starts.
            station_.Post([station = &station_] { station->Refuse(); });
            return;
        }
        if (status_.state != TPortState::Gone) {
            SetState(TPortState::Gone);
            station_.events_.AdapterGone(index_, end);
        }
        reopen_->Arm(kReopenMs);
        return;
    }
    SetState(TPortState::Opening);
    // The next device's run starts once the driver is done with this one's end.
    Post([this] { Start(); });
}

void TStation::PortRun::Record(const TRunEnd& end) {
    const TUpdaterCore& core = driver_->Core();
    TDeviceRecord record;
    record.port = settings_.name;
    record.label = settings_.label;
    record.result = ResultOf(end.reason);
    record.identity = core.Identified();
    record.started = started_;
    record.ended = station_.time_.wall();
    record.seconds = std::chrono::duration<double>(station_.time_.steady() - startedAt_).count();
    if (end.reason == TRunEndReason::Failed || end.reason == TRunEndReason::PortFailed) {
        record.error = end.error;
        record.errorCode = end.code;
    }
    record.stage = end.stage;
    record.programmed = core.RunRecord().programmed;
    record.skipped = core.RunRecord().skipped;
    record.versions = core.RunRecord().versions;
    record.versionsBefore = core.RunRecord().versionsBefore;
    record.versionsAfter = core.RunRecord().versionsAfter;
    record.resends = core.RunRecord().resends;
    record.bytesSent = counter_->Sent() - sentAtStart_;
    if (!core.ScriptArgument().empty())
        record.script = core.ScriptArgument();
    else if (!core.ScriptDir().empty())
        record.script = (fs::path(core.ScriptDir()) / (core.ReadIdMode() ? "readid.ini" : "script.ini"))
                            .lexically_normal()
                            .string();
    record.version = station_.settings_.version;
    // The memo's error is in the transcript already; a lost port's is not.
    if (end.reason == TRunEndReason::PortFailed) log_.Note("error", end.error);
    log_.Note("exit", ResultKey(record.result));
    record.log = CloseLog(true);
    station_.Record(record);

    switch (record.result) {
    case TDeviceResult::Completed:
        ++status_.completed;
        status_.failedInARow = 0;
        break;
    case TDeviceResult::Failed:
        ++status_.failed;
        ++status_.failedInARow;
        break;
    case TDeviceResult::Stopped:
        ++status_.stopped;
        break;
    }
    Changed();
    station_.events_.DeviceEnded(index_, record, end);
}

TStation::TStation(TStationSettings settings, TStationLoop& loop, TStationEvents& events, TTimeSource time)
    : settings_(std::move(settings)), loop_(loop), events_(events), time_(std::move(time)) {
    heartbeat_ = loop_.NewTimer([this] {
        for (auto& port : ports_)
            port->Look();
        events_.Heartbeat();
        if (!Done()) heartbeat_->Arm(kHeartbeatMs);
    });
    labels_ = FileLabels(settings_.ports);
    for (std::size_t i = 0; i < settings_.ports.size(); ++i)
        ports_.push_back(std::make_unique<PortRun>(*this, i));
}

TStation::~TStation() {
    ports_.clear(); // each driver closes its link
}

bool TStation::OpenReport() {
    return settings_.report.empty() || report_.Open(settings_.report);
}

void TStation::Start() {
    for (auto& port : ports_)
        port->Start();
    heartbeat_->Arm(0);
}

void TStation::Refuse() {
    if (refused_) return;
    refused_ = true;
    for (auto& port : ports_)
        port->Stop("stopped: another port of the station cannot be opened");
}

void TStation::StopAll(const std::string& why) {
    stopped_ = true;
    for (auto& port : ports_)
        port->Stop(why);
}

bool TStation::Done() const {
    return std::all_of(ports_.begin(), ports_.end(), [](const auto& port) { return port->Done(); });
}

std::size_t TStation::PortCount() const {
    return ports_.size();
}

const TStationPort& TStation::PortSettings(std::size_t port) const {
    return settings_.ports.at(port);
}

const TPortStatus& TStation::Port(std::size_t port) const {
    return ports_.at(port)->Status();
}

void TStation::Record(TDeviceRecord& record) {
    record.seq = ++recorded_;
    if (!report_.IsOpen() || report_.Append(settings_.session, record) || reportFailed_) return;
    reportFailed_ = true;
    events_.ReportFailed(report_.Reason());
    // No device may be programmed without its record: ports waiting end now, ports
    // updating once their device is done.
    for (auto& port : ports_)
        if (port->Status().state != TPortState::Updating) port->Stop("stopped: the report cannot be written");
}

} // namespace vz

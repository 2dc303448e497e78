#include "app/cli/station_command.h"

#include "app/cli/cli_platform.h"
#include "app/cli/command_line.h"
#include "app/cli/counting_link.h"
#include "app/cli/event_loop.h"
#include "app/cli/logging_link.h"
#include "app/cli/station_report.h"
#include "app/cli/station_screen.h"
#include "app/core/com_thread_link.h"
#include "app/core/identity.h"
#include "app/core/latency_watch.h"
#include "formats/printable_text.h"
#include "link/com_thread.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>

namespace vz::cli {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// How often a port whose adapter went away tries to open it again.
constexpr int kReopenMs = 1000;
// How often the ports' lines are looked at and drawn again.
constexpr int kRefreshMs = 200;

// A port's name as part of a file name: "/dev/serial/by-id/usb-FTDI_x-if00-port0" is
// "usb-FTDI_x-if00-port0", "\\.\COM12" is "COM12".
std::string FileLabel(const std::string& port) {
    std::string label =
        port.substr(port.find_last_of("/\\") == std::string::npos ? 0 : port.find_last_of("/\\") + 1);
    for (char& c : label)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') c = '_';
    return label.empty() ? "port" : label;
}

std::string FileTime(std::time_t when) {
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", std::localtime(&when));
    return text;
}

// The command line's face for one port of the station: what the core shows becomes
// the port's events, and its transcript.
class StationFace : public TMainFace {
public:
    StationFace(RunChoices choices, RunLog& log) : choices_(std::move(choices)), log_(log) {}

    void Attach(const TUpdaterCore& core) { core_ = &core; }
    std::function<void(const std::string&)> onLine;
    std::function<void(const std::string&)> onAdvice;

    void MemoLineAdded(const std::string& line) override {
        log_.Note("status", line);
        // The idle line asks for START, which the station presses by itself.
        if (core_ && core_->State() == TSequencerState::Idle) return;
        if (onLine) onLine(PrintableText(line));
    }
    void Advise(const std::string& text) override {
        log_.Note("advice", text);
        if (onAdvice) onAdvice(PrintableText(text));
    }
    void ProgressChanged() override {}
    void ControlsChanged() override {}
    void Repaint() override {}
    void ShowErrorBox(const std::string&) override {}
    RunChoices Choices() override { return choices_; }
    void CloseWindow() override {}

private:
    RunChoices choices_;
    RunLog& log_;
    const TUpdaterCore* core_ = nullptr;
};

class Station;

// One port: its own core, link thread and driver, running one device after another.
class StationPort {
public:
    enum class State { Opening, Waiting, Updating, Gone, Finished, Unusable };

    StationPort(Station& station, std::size_t index, RunOptions options, RunChoices choices);

    void Start();
    // The refresh tick: notices an adapter that is back, and draws the port's line.
    void Tick();
    // Ctrl-C: a run going on is stopped as STOP does.
    void Interrupt();

    bool Done() const { return state_ == State::Finished || state_ == State::Unusable; }
    bool EverOpened() const { return everOpened_; }
    int Attempted() const { return attempted_; }
    int Completed() const { return completed_; }

private:
    // The port is open: an adapter that was gone is back.
    void NoteOpen();
    void OnStepDone();
    void OnRunEnded(const TRunEnd& end);
    void Record(const TRunEnd& end);
    std::string Identity() const;
    std::string RowText() const;
    void OpenLog();
    // The transcript gets its final name once the device is known; none is kept
    // for a run where no device called.
    std::string CloseLog(bool keep);

    Station& station_;
    std::size_t index_;
    RunOptions options_;
    RunLog log_;
    StationFace face_;
    LoopRunHost host_;
    const CountingLink* counter_ = nullptr;
    ComThread* thread_ = nullptr;
    std::unique_ptr<TRunDriver> driver_;
    EventLoop::Timer reopen_;

    State state_ = State::Opening;
    bool everOpened_ = false;
    bool interrupted_ = false;
    bool deviceSeen_ = false;
    bool identityShown_ = false;
    std::time_t started_ = 0;
    Clock::time_point startedAt_;
    std::uint64_t sentAtStart_ = 0;
    std::string logPath_;
    int attempted_ = 0;
    int completed_ = 0;
    int failed_ = 0;
    std::string lastResult_;
};

class Station {
public:
    Station(const StationOptions& options, std::ostream& out, std::ostream& err)
        : options_(options), err_(err), screen_(out, StationScreen::StyleFor(stdout, options.run.quiet),
                                                TerminalColumns(stdout), options.ports) {
        loop_.Add(refresh_);
    }

    const StationOptions& Options() const { return options_; }
    EventLoop& Loop() { return loop_; }
    StationScreen& Screen() { return screen_; }

    bool OpenReport() { return options_.report.empty() || report_.Open(options_.report); }
    void Record(const DeviceRecord& record) {
        if (report_.IsOpen() && !report_.Append(record) && !reportFailed_) {
            reportFailed_ = true;
            err_ << "Cannot write the report " << options_.report << ": devices are no longer recorded\n";
        }
    }

    int Run(const std::vector<RunChoices>& choices) {
        for (std::size_t i = 0; i < options_.ports.size(); ++i) {
            RunOptions port = options_.run;
            port.port = options_.ports[i];
            ports_.push_back(std::make_unique<StationPort>(*this, i, port, choices[i]));
        }
        refresh_.fire = [this] {
            for (auto& port : ports_)
                port->Tick();
            screen_.Refresh();
            refresh_.armed = true;
            refresh_.due = EventLoop::Clock::now() + std::chrono::milliseconds(kRefreshMs);
        };
        for (auto& port : ports_)
            port->Start();
        refresh_.fire();
        bool interrupted = false;
        loop_.Run(
            [this] {
                return std::all_of(ports_.begin(), ports_.end(), [](auto& port) { return port->Done(); });
            },
            [] { return g_interrupted.load(); },
            [&] {
                interrupted = true;
                for (auto& port : ports_)
                    port->Interrupt();
            });
        for (auto& port : ports_)
            port->Tick();
        screen_.Finish();
        const bool anyOpened =
            std::any_of(ports_.begin(), ports_.end(), [](auto& port) { return port->EverOpened(); });
        const bool allCompleted = std::all_of(
            ports_.begin(), ports_.end(), [](auto& port) { return port->Completed() == port->Attempted(); });
        ports_.clear(); // each driver closes its link
        if (interrupted) return kInterrupted;
        if (!anyOpened) return kPortFailed;
        return allCompleted ? kCompleted : kRunFailed;
    }

private:
    const StationOptions& options_;
    std::ostream& err_;
    EventLoop loop_;
    EventLoop::Timer refresh_;
    StationScreen screen_;
    ReportFile report_;
    bool reportFailed_ = false;
    std::vector<std::unique_ptr<StationPort>> ports_;
};

StationPort::StationPort(Station& station, std::size_t index, RunOptions options, RunChoices choices)
    : station_(station), index_(index), options_(std::move(options)), face_(choices, log_),
      host_(station.Loop()) {
    std::unique_ptr<TLinkControl> link = std::make_unique<TComThreadLink>();
    if (!station_.Options().logDir.empty()) link = std::make_unique<LoggingLink>(std::move(link), log_);
    auto counting = std::make_unique<CountingLink>(std::move(link));
    counter_ = counting.get();
    thread_ = counting->LinkThread();
    driver_ = std::make_unique<TRunDriver>(face_, host_, std::move(counting));
    host_.SetDriver(*driver_);
    face_.Attach(driver_->Core());
    face_.onLine = [this](const std::string& line) { station_.Screen().Event(index_, line); };
    face_.onAdvice = [this](const std::string& line) { station_.Screen().Event(index_, line); };
    host_.onStepDone = [this] { OnStepDone(); };
    host_.onRunEnded = [this](const TRunEnd& end) { OnRunEnded(end); };
    host_.onLatencyTimer = [this](const std::string& port, int ms) {
        log_.Note("head", LatencyTimerNote(port, ms));
    };
    station_.Loop().Add(reopen_);
    reopen_.fire = [this] { Start(); };

    TWaitPolicy wait;
    // A station waits for the next device as long as it takes; once a device has
    // called, its silence is limited.
    wait.silenceSeconds = options_.timeout >= 0 ? options_.timeout : kSilenceAfterAnswer;
    driver_->SetWaitPolicy(wait);
    driver_->SetUnattended(true);
    driver_->FormCreate();
    UseRunPackage(*driver_, options_);
}

void StationPort::OpenLog() {
    if (station_.Options().logDir.empty()) return;
    // Named for the port until the device is known.
    logPath_ =
        (fs::path(station_.Options().logDir) / ("." + FileLabel(options_.port) + ".waiting.log")).string();
    if (!log_.Reopen(logPath_)) {
        station_.Screen().Event(index_, "Cannot write the log file " + PrintableText(logPath_));
        logPath_.clear();
        return;
    }
    WriteLogHeader(log_, options_, face_.Choices());
}

std::string StationPort::CloseLog(bool keep) {
    log_.Close();
    if (logPath_.empty()) return {};
    const fs::path waiting = logPath_;
    logPath_.clear();
    std::error_code ec;
    if (!keep) {
        fs::remove(waiting, ec);
        return {};
    }
    const TUpdaterCore& core = driver_->Core();
    char id[16];
    std::snprintf(id, sizeof id, "%04X", static_cast<unsigned>(core.DeviceId()) & 0xFFFFu);
    const std::string stem = FileLabel(options_.port) + "-" + FileTime(started_) + "-" +
                             (core.DeviceId() != 0 ? std::string(id) : std::string("unknown"));
    fs::path target = waiting.parent_path() / (stem + ".log");
    for (int n = 2; fs::exists(target, ec) && n < 100; ++n)
        target = waiting.parent_path() / (stem + "-" + std::to_string(n) + ".log");
    fs::rename(waiting, target, ec);
    return ec ? waiting.string() : target.string();
}

void StationPort::Start() {
    if (Done() || interrupted_) return;
    deviceSeen_ = identityShown_ = false;
    sentAtStart_ = counter_->Sent();
    OpenLog();
    if (state_ != State::Gone) state_ = State::Opening;
    driver_->StartClick();
}

void StationPort::NoteOpen() {
    everOpened_ = true;
    if (state_ == State::Opening) state_ = State::Waiting;
    if (state_ == State::Gone) {
        state_ = State::Waiting;
        station_.Screen().Event(index_, "The adapter is back: waiting for a device");
    }
}

void StationPort::Tick() {
    // Opened is a fact of the link thread; a port lost again before this tick is
    // reported through the run's end instead.
    if (thread_ != nullptr && thread_->IsPortOpen()) NoteOpen();
    station_.Screen().SetRow(index_, RowText());
}

void StationPort::Interrupt() {
    interrupted_ = true;
    reopen_.armed = false;
    if (driver_->Core().RunInProgress()) {
        driver_->StopRun();
        return; // the run's end finishes the port
    }
    if (!Done()) state_ = State::Finished;
}

std::string StationPort::Identity() const {
    const TUpdaterCore& core = driver_->Core();
    if (core.ModelCode() == 0) return {};
    std::string text = ModelText(core.ModelCode());
    if (const std::string option = OptionText(core.Options()); !option.empty()) text += "  " + option;
    return text + "  " + IdText(core.DeviceId());
}

void StationPort::OnStepDone() {
    TUpdaterCore& core = driver_->Core();
    if (!deviceSeen_ && core.DeviceAnswered()) {
        NoteOpen(); // a device may call before the next tick has seen the port open
        deviceSeen_ = true;
        state_ = State::Updating;
        started_ = std::time(nullptr);
        startedAt_ = Clock::now();
    }
    // Identified once the boot loader engine is done with the call.
    if (deviceSeen_ && !identityShown_ && core.ModelCode() != 0 && !core.BootEngine().Busy()) {
        identityShown_ = true;
        station_.Screen().Event(index_, "Device " + Identity());
    }
}

void StationPort::OnRunEnded(const TRunEnd& end) {
    if (deviceSeen_)
        Record(end);
    else
        CloseLog(false);
    const long count = station_.Options().count;
    if (interrupted_ || (count > 0 && attempted_ >= count)) {
        state_ = State::Finished;
        return;
    }
    if (end.reason == TRunEndReason::PortFailed) {
        if (end.lost) everOpened_ = true;
        if (!everOpened_) {
            state_ = State::Unusable;
            station_.Screen().Result(index_, PortFailureMessage(end));
            return;
        }
        if (state_ != State::Gone) {
            state_ = State::Gone;
            station_.Screen().Event(index_,
                                    PortFailureMessage(end) + ": waiting for the adapter to come back");
        }
        reopen_.armed = true;
        reopen_.due = EventLoop::Clock::now() + std::chrono::milliseconds(kReopenMs);
        return;
    }
    state_ = State::Opening;
    // The next device's run starts once the driver is done with this one's end.
    station_.Loop().Post([this] { Start(); });
}

void StationPort::Record(const TRunEnd& end) {
    const TUpdaterCore& core = driver_->Core();
    DeviceRecord record;
    record.port = options_.port;
    record.result = end.reason == TRunEndReason::Completed ? "completed"
                    : end.reason == TRunEndReason::Stopped ? "stopped"
                                                           : "failed";
    if (core.ModelCode() != 0) {
        record.model = ModelText(core.ModelCode());
        record.options = core.Options();
    }
    if (core.DeviceId() != 0) record.deviceId = core.DeviceId();
    record.started = started_;
    record.ended = std::time(nullptr);
    record.seconds = std::chrono::duration<double>(Clock::now() - startedAt_).count();
    if (end.reason == TRunEndReason::Failed || end.reason == TRunEndReason::PortFailed)
        record.error = end.error;
    record.programmed = core.RunRecord().programmed;
    record.skipped = core.RunRecord().skipped;
    record.versions = core.RunRecord().versions;
    record.bytesSent = counter_->Sent() - sentAtStart_;
    if (!core.ScriptArgument().empty())
        record.script = core.ScriptArgument();
    else if (!core.ScriptDir().empty())
        record.script = (fs::path(core.ScriptDir()) / (core.ReadIdMode() ? "readid.ini" : "script.ini"))
                            .lexically_normal()
                            .string();
    record.version = ProgramVersion();
    log_.Note("exit", record.result);
    record.log = CloseLog(true);
    station_.Record(record);

    ++attempted_;
    std::string identity = Identity();
    if (identity.empty()) identity = "Unidentified device";
    if (end.reason == TRunEndReason::Completed) {
        ++completed_;
        lastResult_ = identity + " completed";
        station_.Screen().Result(index_, "Completed: " + identity + "; programmed " +
                                             ProgrammedText(record.programmed) + "; " +
                                             DurationText(Clock::now() - startedAt_));
    } else {
        ++failed_;
        lastResult_ = identity + (end.reason == TRunEndReason::Stopped ? " stopped" : " failed");
        std::string text = (end.reason == TRunEndReason::Stopped ? "Stopped: " : "Failed: ") + identity;
        if (record.error)
            text += ": " + PrintableText(end.reason == TRunEndReason::PortFailed ? PortFailureMessage(end)
                                                                                 : *record.error);
        station_.Screen().Result(index_, text);
    }
}

std::string StationPort::RowText() const {
    std::string text;
    switch (state_) {
    case State::Opening:
        text = "opening";
        break;
    case State::Waiting:
        text = "waiting for a device";
        break;
    case State::Updating: {
        const TProgressBar& bar = driver_->Core().ProgressBar2();
        const std::string identity = Identity();
        const int percent = bar.Max > 0 ? static_cast<int>(100LL * bar.Position / bar.Max) : 0;
        text = "updating " + (identity.empty() ? std::string("a device calling") : identity) + "  " +
               std::to_string(std::clamp(percent, 0, 100)) + " %";
        break;
    }
    case State::Gone:
        text = "adapter gone";
        break;
    case State::Finished:
        text = "finished";
        break;
    case State::Unusable:
        text = "cannot be opened";
        break;
    }
    text += "  (" + std::to_string(completed_) + " completed, " + std::to_string(failed_) + " failed)";
    if (!lastResult_.empty() && state_ != State::Updating) text += "  last: " + lastResult_;
    return text;
}

} // namespace

int RunStation(const StationOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<RunChoices> choices;
    std::set<std::string> seen;
    for (const std::string& port : options.ports) {
        RunOptions one = options.run;
        one.port = port;
        const std::optional<RunChoices> chosen = ChoicesFor(one, err);
        if (!chosen) return kBadArguments;
        const std::string name = chosen->portPath.empty() ? std::to_string(chosen->port) : chosen->portPath;
        if (!seen.insert(name).second) {
            err << "The port " << port << " is given twice\n";
            return kBadArguments;
        }
        choices.push_back(*chosen);
    }
    if (options.ports.empty()) {
        err << "Give at least one --port\n";
        return kBadArguments;
    }
    std::error_code ec;
    if (!options.logDir.empty() && !fs::is_directory(options.logDir, ec)) {
        err << "The log directory " << options.logDir << " does not exist\n";
        return kBadArguments;
    }
    Station station(options, out, err);
    if (!station.OpenReport()) {
        err << "Cannot write the report " << options.report << "\n";
        return kBadArguments;
    }
    return station.Run(choices);
}

} // namespace vz::cli

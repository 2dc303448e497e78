#include "app/cli/station_command.h"

#include "app/cli/cli_platform.h"
#include "app/cli/command_line.h"
#include "app/cli/event_loop.h"
#include "app/cli/station_screen.h"
#include "app/core/identity.h"
#include "app/core/memory_text.h"
#include "app/core/station.h"
#include "app/core/station_setup.h"
#include "formats/printable_text.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

namespace vz::cli {

namespace {

// A label names a socket on the line: "A1=/dev/ttyUSB0". A name with a separator
// before its "=" is a path.
constexpr std::size_t kLabelMost = 24;

std::pair<std::string, std::string> SplitLabel(const std::string& given) {
    const std::size_t equals = given.find('=');
    if (equals == std::string::npos || equals == 0 || given.find_first_of("/\\") < equals) return {"", given};
    return {given.substr(0, equals), given.substr(equals + 1)};
}

// "KRA350  Option Logo  Id : 1001".
std::string IdentityText(const std::optional<TDeviceIdentity>& identity) {
    if (!identity) return {};
    std::string text = ModelText(identity->model);
    if (const std::string option = OptionText(identity->options); !option.empty()) text += "  " + option;
    return text + "  " + IdText(identity->deviceId);
}

// The command line's face of the station: its events become the screen's lines.
class StationFace : public TStationEvents {
public:
    StationFace(const StationOptions& options, const std::vector<std::string>& names, std::ostream& out,
                std::ostream& err)
        : options_(options), out_(out), err_(err),
          screen_(out, StationScreen::StyleFor(stdout, options.run.quiet), TerminalColumns(stdout), names),
          lastResult_(names.size()), advice_(names.size()), started_(std::chrono::steady_clock::now()) {}

    void Attach(const TStation& station) { station_ = &station; }
    StationScreen& Screen() { return screen_; }

    void StatusLine(std::size_t port, const std::string& line) override {
        screen_.Event(port, PrintableText(line));
    }
    void Advice(std::size_t port, const std::string& text) override {
        advice_[port] = PrintableText(text);
        screen_.Event(port, advice_[port]);
    }
    void DeviceIdentified(std::size_t port, const TDeviceIdentity& identity) override {
        lastResult_[port].clear();
        screen_.Event(port, "Device " + IdentityText(identity));
    }
    void DeviceEnded(std::size_t port, const TDeviceRecord& record, const TRunEnd& end) override;
    void PortUnusable(std::size_t port, const TRunEnd& end) override {
        screen_.Result(port, PortFailureText(end));
    }
    void AdapterGone(std::size_t port, const TRunEnd& end) override {
        screen_.Event(port, PortFailureText(end) + ": waiting for the adapter to come back");
    }
    void PortGaveUp(std::size_t port, long failures) override {
        screen_.Result(port, std::to_string(failures) + " devices in a row failed on " +
                                 PrintableText(station_->PortSettings(port).name) +
                                 ": check the fixture and the cable");
    }
    void AdapterBack(std::size_t port) override {
        screen_.Event(port, "The adapter is back: waiting for a device");
    }
    void TranscriptFailed(std::size_t port, const std::string& path) override {
        screen_.Event(port, "Cannot write the log file " + PrintableText(path));
    }
    void ReportFailed(const std::string& reason) override {
        const std::string text = "Cannot write the report " + PrintableText(options_.report) + ": " +
                                 PrintableText(reason) + ": no further device is taken";
        err_ << text << "\n";
        err_.flush();
    }
    void Heartbeat() override { Draw(); }

    void Draw() {
        for (std::size_t port = 0; station_ && port < station_->PortCount(); ++port)
            screen_.SetRow(port, RowText(port));
        screen_.SetTotals("all  " + CountsText(Totals()));
        screen_.Refresh();
    }
    // Per port and in all: counts, yield, elapsed time and the report, in every style.
    void PrintSummary();

private:
    std::string RowText(std::size_t port) const;
    TPortStatus Totals() const;
    static std::string CountsText(const TPortStatus& status);

    const StationOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    StationScreen screen_;
    const TStation* station_ = nullptr;
    std::vector<std::string> lastResult_; // with its reason, until the next device is identified
    std::vector<std::string> advice_;     // the last advice a port's device got
    std::chrono::steady_clock::time_point started_;
};

TPortStatus StationFace::Totals() const {
    TPortStatus all;
    for (std::size_t port = 0; station_ && port < station_->PortCount(); ++port) {
        all.completed += station_->Port(port).completed;
        all.failed += station_->Port(port).failed;
        all.stopped += station_->Port(port).stopped;
    }
    return all;
}

// "3 completed, 1 failed, 0 stopped, yield 75 %": the yield over devices that ran to an end.
std::string StationFace::CountsText(const TPortStatus& status) {
    std::string text = std::to_string(status.completed) + " completed, " + std::to_string(status.failed) +
                       " failed, " + std::to_string(status.stopped) + " stopped";
    if (const int ended = status.completed + status.failed; ended > 0)
        text += ", yield " + std::to_string((200 * status.completed + ended) / (2 * ended)) + " %";
    return text;
}

void StationFace::PrintSummary() {
    for (std::size_t port = 0; station_ && port < station_->PortCount(); ++port)
        out_ << "Summary " << screen_.Name(port) << ": " << CountsText(station_->Port(port)) << "\n";
    out_ << "Summary all: " << CountsText(Totals()) << "; "
         << DurationText(std::chrono::steady_clock::now() - started_) << "; report "
         << (options_.report.empty() ? std::string("none") : PrintableText(options_.report)) << "\n";
    out_.flush();
}

void StationFace::DeviceEnded(std::size_t port, const TDeviceRecord& record, const TRunEnd& end) {
    std::string identity = IdentityText(record.identity);
    if (identity.empty()) identity = "Unidentified device";
    const auto elapsed = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(record.seconds));
    switch (record.result) {
    case TDeviceResult::Completed:
        lastResult_[port] = "completed " + identity;
        screen_.Result(port, "Completed: " + identity + "; programmed " + ProgrammedText(record.programmed) +
                                 "; " + DurationText(elapsed));
        return;
    case TDeviceResult::Stopped:
    case TDeviceResult::Failed:
        break;
    }
    const bool stopped = record.result == TDeviceResult::Stopped;
    std::string reason;
    if (record.error)
        reason =
            PrintableText(end.reason == TRunEndReason::PortFailed ? PortFailureText(end) : *record.error);
    lastResult_[port] = (stopped ? "stopped " : "failed ") + identity + (reason.empty() ? "" : ": " + reason);
    std::string text =
        (stopped ? "Stopped: " : "Failed: ") + identity + (reason.empty() ? "" : ": " + reason);
    // What the operator must act on stays on the device's one line, --quiet or not.
    if (!advice_[port].empty() && options_.run.quiet) text += " -- " + advice_[port];
    advice_[port].clear();
    screen_.Result(port, text);
}

std::string StationFace::RowText(std::size_t port) const {
    const TPortStatus& status = station_->Port(port);
    std::string text;
    switch (status.state) {
    case TPortState::Opening:
        text = "opening";
        break;
    case TPortState::Waiting:
        text = "waiting for a device";
        break;
    case TPortState::Updating: {
        const std::string identity = IdentityText(status.device);
        text = "updating " + (identity.empty() ? std::string("a device calling") : identity) + "  " +
               std::to_string(status.percent) + " %";
        break;
    }
    case TPortState::Gone:
        text = "adapter gone";
        break;
    case TPortState::Finished:
        text = "finished";
        break;
    case TPortState::Unusable:
        text = "cannot be opened";
        break;
    }
    text += "  " + std::to_string(status.completed) + "/" + std::to_string(status.failed) + "/" +
            std::to_string(status.stopped);
    // The last result and its reason stay until the next device is identified.
    if (!lastResult_[port].empty()) text += "  last " + lastResult_[port];
    return text;
}

} // namespace

int RunStation(const StationOptions& options, std::ostream& out, std::ostream& err) {
    TStationAsk ask;
    std::vector<std::string> names; // as the screen shows each port
    for (const std::string& given : options.ports) {
        const auto [label, port] = SplitLabel(given);
        if (label.size() > kLabelMost || PrintableText(label) != label) {
            err << "--port " << PrintableText(given) << ": a label is at most " << kLabelMost
                << " printable characters\n";
            return kBadArguments;
        }
        ask.ports.push_back({label, port});
        names.push_back(label.empty() ? ShortName(PrintableText(port)) : label);
    }
    ask.run = RunWords(options.run);
    ask.root = options.run.root.empty() ? FindDefaultRoot().dir : options.run.root;
    ask.script = options.run.script;
    ask.logDir = options.logDir;
    ask.report = options.report;
    ask.count = options.count;
    ask.stopAfter = options.stopAfter;
    ask.stationName = options.station;
    ask.hostName = HostName();
    ask.operatorName = options.operatorName;
    ask.version = ProgramVersion();
    TStationSettings settings;
    if (const std::optional<std::string> problem = SetUpStation(ask, settings)) {
        // Ports as given, names and faults from the package: each line made printable on its own.
        for (std::size_t start = 0; start <= problem->size();) {
            const std::size_t end = std::min(problem->find('\n', start), problem->size());
            err << PrintableText(problem->substr(start, end - start)) << "\n";
            start = end + 1;
        }
        return kBadArguments;
    }
    settings.silenceSeconds = options.run.timeout >= 0 ? options.run.timeout : kSilenceAfterAnswer;
    settings.preparePort = [&options](TRunDriver& driver) { UseRunPackage(driver, options.run); };
    settings.writeLogHeader = [&options](TRunLog& log, const TStationPort& port) {
        RunOptions one = options.run;
        one.port = port.name;
        WriteLogHeader(log, one, port.choices);
    };

    EventLoop loop;
    StationFace face(options, names, out, err);
    TStation station(std::move(settings), loop, face);
    face.Attach(station);
    if (!station.OpenReport()) {
        err << "Cannot write the report " << options.report << ": " << PrintableText(station.ReportReason())
            << "\n";
        return kBadArguments;
    }
    station.Start();
    loop.Run([&station] { return station.Done(); }, [] { return g_interrupted.load(); },
             [&station] { station.StopAll(StopCauseText(static_cast<StopCause>(g_stopCause.load()))); });
    face.Draw();
    face.Screen().Finish();
    face.PrintSummary();
    bool anyOpened = false;
    bool allCompleted = true;
    for (std::size_t port = 0; port < station.PortCount(); ++port) {
        const TPortStatus& status = station.Port(port);
        anyOpened = anyOpened || status.everOpened;
        allCompleted = allCompleted && status.completed == status.Attempted();
    }
    if (station.Refused()) return kPortFailed;
    if (station.ReportFailed()) return kUnrecorded;
    if (station.Stopped()) return kInterrupted;
    if (!anyOpened) return kPortFailed;
    return allCompleted ? kCompleted : kRunFailed;
}

} // namespace vz::cli

#include "app/face_data/station_board.h"

#include "app/core/identity.h"
#include "formats/printable_text.h"

#include <algorithm>

namespace vz::face {

namespace {

// "KRA350  Option Logo  Id : 1001".
std::string IdentityText(const std::optional<TDeviceIdentity>& identity) {
    if (!identity) return {};
    std::string text = ModelText(identity->model);
    if (const std::string option = OptionText(identity->options); !option.empty()) text += "  " + option;
    return PrintableText(text + "  " + IdText(identity->deviceId));
}

// Several lines (a package's faults), each made printable on its own.
std::string PrintableLines(const std::string& text) {
    std::string lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines += (start == 0 ? "" : "\n") + PrintableText(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

StationBoard::StationBoard(StationArguments arguments, StationContext context, StationBoardFace& face)
    : arguments_(std::move(arguments)), context_(std::move(context)), face_(face),
      views_(arguments_.ports.size()) {}

StationBoard::~StationBoard() = default;

void StationBoard::SetPorts(std::vector<StationPortArgument> ports) {
    station_.reset();
    arguments_.ports = std::move(ports);
    views_.assign(arguments_.ports.size(), PortView{});
}

std::optional<std::string> StationBoard::Start(TStationLoop& loop) {
    if (Running()) return std::nullopt;
    station_.reset();
    TStationSettings settings;
    if (const auto problem = FillStationSettings(arguments_, context_, settings))
        return PrintableLines(*problem);
    if (context_.adjust) context_.adjust(settings);
    session_ = settings.session;
    views_.assign(arguments_.ports.size(), PortView{});
    refusalShown_ = false;
    TStationEvents& events = *this;
    station_ = std::make_unique<TStation>(std::move(settings), loop, events, context_.time);
    if (!station_->OpenReport()) {
        const std::string reason =
            PrintableText("Cannot write the report " + arguments_.report + ": " + station_->ReportReason());
        station_.reset();
        return reason;
    }
    started_ = context_.time.steady();
    elapsedSeconds_ = 0;
    station_->Start();
    face_.DrawButtons();
    for (std::size_t port = 0; port < PortCount(); ++port)
        face_.DrawTile(port);
    face_.DrawHeader();
    return std::nullopt;
}

bool StationBoard::AnyUpdating() const {
    if (!station_) return false;
    for (std::size_t port = 0; port < station_->PortCount(); ++port)
        if (station_->Port(port).state == TPortState::Updating) return true;
    return false;
}

void StationBoard::StopAll(const std::string& why) {
    if (Running()) station_->StopAll(why);
}

HeaderView StationBoard::Header() const {
    HeaderView header;
    header.package = PrintableText(PackageLine(
        session_.packageRoot.empty() ? PackageRoot(arguments_, context_.places) : session_.packageRoot,
        session_.packageSha256));
    header.people = PrintableText(
        PeopleLine(session_.station.empty()
                       ? (arguments_.stationName.empty() ? context_.hostName : arguments_.stationName)
                       : session_.station,
                   arguments_.operatorName));
    long completed = 0, failed = 0, stopped = 0;
    for (std::size_t port = 0; station_ && port < station_->PortCount(); ++port) {
        completed += station_->Port(port).completed;
        failed += station_->Port(port).failed;
        stopped += station_->Port(port).stopped;
    }
    header.totals = TotalsLine(completed, failed, stopped);
    header.elapsed = ElapsedLine(elapsedSeconds_);
    header.report = PrintableText(ReportLine(arguments_.report));
    return header;
}

TileView StationBoard::Tile(std::size_t port) const {
    TileView tile;
    tile.title = PrintableText(PortTitle(arguments_.ports[port]));
    const PortView& view = views_[port];
    std::string detail;
    if (station_) {
        const TPortStatus& status = station_->Port(port);
        switch (status.state) {
        case TPortState::Opening:
            // Between two devices the port is reopened: it waits, as far as the operator is concerned.
            tile.look = status.everOpened ? TileLook::Waiting : TileLook::Opening;
            break;
        case TPortState::Waiting:
            tile.look = TileLook::Waiting;
            break;
        case TPortState::Updating:
            tile.look = TileLook::Updating;
            detail = IdentityText(status.device);
            if (detail.empty()) detail = "a device calling";
            break;
        case TPortState::Gone:
            tile.look = TileLook::Gone;
            break;
        case TPortState::Finished: {
            // A port that took its count tells how its last device ended; one the operator
            // stopped earlier says so.
            const bool counted = arguments_.count > 0 && status.Attempted() >= arguments_.count;
            tile.look = !counted && (station_->Stopped() || station_->Refused()) ? TileLook::Stopped
                        : view.last.empty()                                      ? TileLook::Finished
                                                                                 : view.lastLook;
            break;
        }
        case TPortState::Unusable:
            tile.look = TileLook::Unusable;
            break;
        }
        tile.percent = status.state == TPortState::Updating                         ? status.percent
                       : view.lastLook == TileLook::Completed && !view.last.empty() ? 100
                                                                                    : 0;
        tile.counts = TileCounts(status.completed, status.failed, status.stopped);
    } else {
        tile.counts = TileCounts(0, 0, 0);
    }
    tile.state = StyleOf(tile.look).words;
    if (!detail.empty()) tile.state += "  " + detail;
    tile.activity = view.activity;
    if (!view.last.empty()) tile.last = "Last: " + view.last;
    tile.lastLook = view.lastLook;
    return tile;
}

void StationBoard::Redraw(std::size_t port) {
    face_.DrawTile(port);
}

void StationBoard::PortChanged(std::size_t port) {
    face_.DrawTile(port);
    face_.DrawHeader();
    face_.DrawButtons();
}

void StationBoard::StatusLine(std::size_t port, const std::string& line) {
    views_[port].activity = PrintableText(line);
    Redraw(port);
}

void StationBoard::Advice(std::size_t port, const std::string& text) {
    PortView& view = views_[port];
    const std::string advice = PrintableText(text);
    // Advice after the device's end belongs to its result.
    if (station_ && station_->Port(port).state != TPortState::Updating && !view.last.empty())
        view.last += "\nAdvice: " + advice;
    else
        view.advice += (view.advice.empty() ? "" : "\n") + advice;
    Redraw(port);
}

void StationBoard::DeviceIdentified(std::size_t port, const TDeviceIdentity& /*identity*/) {
    // The last result stays until the next device is known.
    views_[port].last.clear();
    views_[port].lastLook = TileLook::Idle;
    Redraw(port);
}

void StationBoard::DeviceEnded(std::size_t port, const TDeviceRecord& record, const TRunEnd& end) {
    PortView& view = views_[port];
    std::string identity = IdentityText(record.identity);
    if (identity.empty()) identity = "Unidentified device";
    switch (record.result) {
    case TDeviceResult::Completed:
        view.lastLook = TileLook::Completed;
        view.last =
            "completed " + identity + " in " + std::to_string(static_cast<long>(record.seconds)) + " s";
        break;
    case TDeviceResult::Failed:
    case TDeviceResult::Stopped: {
        const bool stopped = record.result == TDeviceResult::Stopped;
        view.lastLook = stopped ? TileLook::Stopped : TileLook::Failed;
        view.last = (stopped ? "stopped " : "failed ") + identity;
        if (end.reason == TRunEndReason::PortFailed)
            view.last += "\nReason: " + PrintableText(PortFailureText(end));
        else if (record.error)
            view.last += "\nReason: " + PrintableText(*record.error);
        break;
    }
    }
    if (!view.advice.empty()) view.last += "\nAdvice: " + view.advice;
    view.advice.clear();
    view.activity.clear();
    Redraw(port);
    face_.DrawHeader();
}

void StationBoard::PortUnusable(std::size_t port, const TRunEnd& end) {
    views_[port].last = PrintableText(PortFailureText(end));
    views_[port].lastLook = TileLook::Unusable;
    views_[port].activity.clear();
    Redraw(port);
    if (refusalShown_) return;
    refusalShown_ = true;
    face_.ShowBoxLater("The station stopped: a port cannot be opened.\n" + views_[port].last,
                       kStationRefusedTitle);
}

void StationBoard::AdapterGone(std::size_t port, const TRunEnd& end) {
    views_[port].activity = PrintableText(PortFailureText(end)) + ": waiting for the adapter";
    Redraw(port);
}

void StationBoard::AdapterBack(std::size_t port) {
    views_[port].activity = "The adapter is back: waiting for a device";
    Redraw(port);
}

void StationBoard::PortGaveUp(std::size_t port, long failures) {
    views_[port].activity =
        std::to_string(failures) + " devices in a row failed: check the fixture and the cable";
    Redraw(port);
}

void StationBoard::TranscriptFailed(std::size_t port, const std::string& path) {
    views_[port].activity = "Cannot write the log file " + PrintableText(path);
    Redraw(port);
}

void StationBoard::ReportFailed(const std::string& reason) {
    face_.ShowBoxLater(PrintableText("Cannot write the report " + arguments_.report + ": " + reason +
                                     ": no further device is taken"),
                       kStationReportTitle);
}

void StationBoard::Heartbeat() {
    if (Running())
        elapsedSeconds_ = static_cast<long>(
            std::chrono::duration_cast<std::chrono::seconds>(context_.time.steady() - started_).count());
    for (std::size_t port = 0; port < PortCount(); ++port)
        face_.DrawTile(port);
    face_.DrawHeader();
    face_.DrawButtons();
}

} // namespace vz::face

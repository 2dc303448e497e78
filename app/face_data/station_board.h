// What a station window shows, for every window face: it starts and stops the
// station, hears its events, and keeps for each port the words and colours of its
// tile, and the header's lines. A face draws what it reads here and asks its
// operator; it decides nothing about the station itself.
#pragma once

#include "app/core/station.h"
#include "app/face_data/station_arguments.h"
#include "app/face_data/station_description.h"
#include "app/face_data/station_setup.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vz::face {

// A port's tile; every text printable UTF-8.
struct TileView {
    std::string title;
    TileLook look = TileLook::Idle;
    std::string state; // the look's words, then the device being updated
    int percent = 0;
    std::string activity; // the run's latest line, or what the port waits for
    std::string counts;
    // How the last device ended ("Last: completed ..."), its reason and advice, until
    // the next device is identified; empty: none yet.
    std::string last;
    TileLook lastLook = TileLook::Idle;
};

struct HeaderView {
    std::string package;
    std::string people;
    std::string totals;
    std::string elapsed;
    std::string report;
};

// What the board asks of the window it is drawn in.
class StationBoardFace {
public:
    virtual ~StationBoardFace() = default;
    virtual void DrawTile(std::size_t port) = 0;
    virtual void DrawHeader() = 0;
    // Start and Stop: whether the station runs changed.
    virtual void DrawButtons() = 0;
    // A box for the operator, shown after the station's call returns.
    virtual void ShowBoxLater(const std::string& text, const char* title) = 0;
};

class StationBoard : private TStationEvents {
public:
    StationBoard(StationArguments arguments, StationContext context, StationBoardFace& face);
    ~StationBoard() override;
    StationBoard(const StationBoard&) = delete;
    StationBoard& operator=(const StationBoard&) = delete;

    const StationArguments& Arguments() const { return arguments_; }
    std::size_t PortCount() const { return arguments_.ports.size(); }
    // The ports the operator chose, when none were given.
    void SetPorts(std::vector<StationPortArgument> ports);

    // Starts every port on `loop`; the reason, for a box, when the station cannot start.
    std::optional<std::string> Start(TStationLoop& loop);
    // Started and not yet done.
    bool Running() const { return station_ && !station_->Done(); }
    bool Done() const { return station_ && station_->Done(); }
    // A device is mid-update on some port: stopping or closing asks first.
    bool AnyUpdating() const;
    void StopAll(const std::string& why);
    // Ends the station's links before the window's loop goes.
    void Close() { station_.reset(); }

    TileView Tile(std::size_t port) const;
    HeaderView Header() const;

private:
    struct PortView {
        std::string last;
        TileLook lastLook = TileLook::Idle;
        std::string advice; // the current device's, until it ends
        std::string activity;
    };

    void Redraw(std::size_t port);

    void PortChanged(std::size_t port) override;
    void StatusLine(std::size_t port, const std::string& line) override;
    void Advice(std::size_t port, const std::string& text) override;
    void DeviceIdentified(std::size_t port, const TDeviceIdentity& identity) override;
    void DeviceEnded(std::size_t port, const TDeviceRecord& record, const TRunEnd& end) override;
    void PortUnusable(std::size_t port, const TRunEnd& end) override;
    void AdapterGone(std::size_t port, const TRunEnd& end) override;
    void AdapterBack(std::size_t port) override;
    void PortGaveUp(std::size_t port, long failures) override;
    void TranscriptFailed(std::size_t port, const std::string& path) override;
    void ReportFailed(const std::string& reason) override;
    void Heartbeat() override;

    StationArguments arguments_;
    StationContext context_;
    StationBoardFace& face_;
    std::unique_ptr<TStation> station_;
    std::vector<PortView> views_;
    TSessionRecord session_;
    std::chrono::steady_clock::time_point started_;
    long elapsedSeconds_ = 0;
    bool refusalShown_ = false;
};

} // namespace vz::face

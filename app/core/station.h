// A station: several ports at once, device after device on each, with a record of
// every device. Each port has its own run driver, core and link; the station owns
// their life (the next run when one ends, an adapter that went away and came back,
// the count of devices, stopping all) and tells its face through typed events. A face
// gives it a thread to run on (TStationLoop) and shows what it hears.
#pragma once

#include "app/core/counting_link.h"
#include "app/core/run_driver.h"
#include "app/core/run_log.h"
#include "app/core/station_report.h"
#include "app/core/time_source.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vz {

// The face's thread as the station uses it.
class TStationLoop {
public:
    class TTimer {
    public:
        virtual ~TTimer() = default;
        // Runs the timer's work once, `milliseconds` from now; arming again replaces
        // the earlier wait.
        virtual void Arm(int milliseconds) = 0;
        virtual void Stop() = 0;
    };

    virtual ~TStationLoop() = default;
    virtual std::unique_ptr<TTimer> NewTimer(std::function<void()> fire) = 0;
    // From any thread: `work` runs on the face's thread, later.
    virtual void Post(std::function<void()> work) = 0;
};

enum class TPortState {
    Opening,  // the port is being opened for the next device
    Waiting,  // open, waiting for a device to call
    Updating, // a device called; its run goes on
    Gone,     // the adapter went away; tried again every second
    Finished, // the count is reached, or the station was stopped
    Unusable, // could not be opened at the start
};

struct TPortStatus {
    TPortState state = TPortState::Opening;
    int completed = 0;
    int failed = 0;  // failed devices, a lost adapter's included
    int stopped = 0; // stopped by the operator
    long failedInARow = 0;
    bool everOpened = false;
    // The device being updated, once identified.
    std::optional<TDeviceIdentity> device;
    // The script's progress while updating, 0 to 100.
    int percent = 0;

    int Attempted() const { return completed + failed + stopped; }
};

// What the station tells its face, on the face's thread.
class TStationEvents {
public:
    virtual ~TStationEvents() = default;
    // A port's state or counts changed: read them with TStation::Port.
    virtual void PortChanged(std::size_t /*port*/) {}
    // A status line of a device's run (the memo's line).
    virtual void StatusLine(std::size_t /*port*/, const std::string& /*line*/) {}
    // Advice to the operator about the port's device.
    virtual void Advice(std::size_t /*port*/, const std::string& /*text*/) {}
    virtual void DeviceIdentified(std::size_t /*port*/, const TDeviceIdentity& /*identity*/) {}
    // A device's run ended; its record went to the report (when there is one).
    virtual void DeviceEnded(std::size_t /*port*/, const TDeviceRecord& /*record*/, const TRunEnd& /*end*/) {}
    // The port could not be opened at the start: the station stops every port.
    virtual void PortUnusable(std::size_t /*port*/, const TRunEnd& /*end*/) {}
    // The adapter went away: it is tried again every second under the same name.
    virtual void AdapterGone(std::size_t /*port*/, const TRunEnd& /*end*/) {}
    virtual void AdapterBack(std::size_t /*port*/) {}
    // `failures` devices in a row failed on the port: it ends (the fixture or the cable).
    virtual void PortGaveUp(std::size_t /*port*/, long /*failures*/) {}
    // A device's transcript could not be created at `path`.
    virtual void TranscriptFailed(std::size_t /*port*/, const std::string& /*path*/) {}
    // The report could not take a record (`reason` the system's words): the station
    // takes no further device.
    virtual void ReportFailed(const std::string& /*reason*/) {}
    // A few times a second while the station runs, for a face that redraws.
    virtual void Heartbeat() {}
};

struct TStationPort {
    std::string name;  // as the user gave it
    std::string label; // the socket's name on the line ("A1"); empty: none
    RunChoices choices;
};

struct TStationSettings {
    std::vector<TStationPort> ports;
    // Devices attempted on each port before it ends; 0: until stopped.
    long count = 0;
    // The one model the station updates (a model code; 0: any). Ports identify every
    // device; one of another model fails with wrong_model before anything is written.
    std::uint8_t lockedModel = 0;
    // A port ends after this many devices in a row failed on it; 0: never.
    long stopAfter = 0;
    std::string report; // JSON Lines, appended; empty: none
    std::string logDir; // one transcript a device; empty: none
    // Every wait after a device has called; before, the wait has no limit.
    double silenceSeconds = 60;
    std::string version;    // the updater's, for the record
    TSessionRecord session; // what every record of the session shares
    // Makes a port's driver ready to run: the package and the script.
    std::function<void(TRunDriver&)> preparePort;
    // The first lines of a device's transcript.
    std::function<void(TRunLog&, const TStationPort&)> writeLogHeader;
    // A port's link; the communication thread's when not given. A link without a
    // thread calls `received` when a chunk waits to be taken.
    std::function<std::unique_ptr<TLinkControl>(std::size_t port, std::function<void()> received)> newLink;
    // The drivers' clock (tests give a simulated one).
    EngineClock clock = EngineClock::System();
};

class TStation {
public:
    TStation(TStationSettings settings, TStationLoop& loop, TStationEvents& events,
             TTimeSource time = TTimeSource::System());
    ~TStation();
    TStation(const TStation&) = delete;
    TStation& operator=(const TStation&) = delete;

    // Opens the report for appending; false when it cannot be written.
    bool OpenReport();
    const std::string& ReportReason() const { return report_.Reason(); }
    // Every port starts its first run.
    void Start();
    // As STOP does on every port: a device mid-update is stopped and recorded. `why`
    // goes into every transcript open.
    void StopAll(const std::string& why = "stopped");
    // Every port has finished or could not be opened.
    bool Done() const;

    std::size_t PortCount() const;
    const TStationPort& PortSettings(std::size_t port) const;
    const TPortStatus& Port(std::size_t port) const;
    bool Stopped() const { return stopped_; }
    // A port could not be opened at the start: the station stopped at once.
    bool Refused() const { return refused_; }
    // A record could not be written: devices went unrecorded.
    bool ReportFailed() const { return reportFailed_; }

    // How often the ports are looked at, and a lost adapter tried again.
    static constexpr int kHeartbeatMs = 200;
    static constexpr int kReopenMs = 1000;

private:
    class PortRun;
    friend class PortRun;

    // Gives the record its place in the session and appends it to the report.
    void Record(TDeviceRecord& record);
    void Refuse();
    // Work handed to the face's thread runs only while the station lives: a face may
    // keep its loop after the station is gone.
    void Post(std::function<void()> work) {
        loop_.Post([alive = std::weak_ptr<int>(alive_), work = std::move(work)] {
            if (!alive.expired()) work();
        });
    }

    TStationSettings settings_;
    TStationLoop& loop_;
    TStationEvents& events_;
    TTimeSource time_;
    std::vector<std::string> labels_; // the ports' names in file names
    TReportFile report_;
    bool reportFailed_ = false;
    std::uint64_t recorded_ = 0; // devices recorded this session
    bool stopped_ = false;
    bool refused_ = false;
    std::unique_ptr<TStationLoop::TTimer> heartbeat_;
    std::vector<std::unique_ptr<PortRun>> ports_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace vz

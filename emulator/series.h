// Several devices on one line, one after another, as a station that updates
// device after device on one port meets them: each device lives until it has
// acknowledged "FI", a planned fault has ended it or the host has given up on
// it; after a quiet gap the next one powers up and calls. Like Device it has no
// clock of its own.
#pragma once

#include "emulator/device.h"
#include "emulator/verify_dump.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vz::emu {

// One entry of a fault cycle: the faults one device makes on top of those
// every device makes.
struct FaultEntry {
    std::string text; // as written, e.g. "clean" or "resend=30%+x=bank:5"
    std::optional<double> resendShare;
    std::optional<double> strayShare;
    std::optional<double> zeroShare;
    std::optional<long> silenceAfter;
    std::map<FaultKind, std::set<long>> refuseAt;
    bool refuseType = false;
};

FaultConfig WithEntry(FaultConfig faults, const FaultEntry& entry);

struct SeriesConfig {
    bool enabled = false; // false: one device that lives as long as the program
    long devices = 0;     // 0: without end
    Micros gap = 1000 * kMillisecond;
    std::vector<FaultEntry> cycle; // empty: every device as configured
};

enum class DeviceEnd { Finished, Fault, Abandoned };
std::string_view DeviceEndName(DeviceEnd end);

struct DeviceResult {
    long index = 0;
    std::uint16_t id = 0;
    DeviceEnd ended = DeviceEnd::Finished;
    std::optional<std::string> fault; // its cycle entry, when there is a cycle
    std::optional<bool> memoriesRight;
    Micros poweredAt = 0;
    Micros endedAt = 0;
};

// One JSON object on one line, without the line end.
std::string ResultLine(const DeviceResult& result);

class DeviceSeries {
public:
    // `expected` (may be null, must outlive the series): what each device's memories
    // are compared with when it ends.
    DeviceSeries(const DeviceConfig& config, const SeriesConfig& series, const DeviceMemory& memory,
                 const ExpectedMemories* expected, Micros now);

    Device& device() { return *device_; }
    const Device& device() const { return *device_; }
    long index() const { return index_; }
    // The device on the line has ended; the next one comes after the gap.
    bool ended() const { return ended_; }

    void receive(char byte, Micros now, int hostBaud = 0);
    void tick(Micros now);
    Micros nextDeadline() const;
    // The host has closed its port (no handle of it is left open).
    void hostClosed(Micros now);

    std::vector<Emission> takeOutput();
    std::vector<std::string> takeNotes();
    // True once after the memories of the device on the line changed (a new
    // device counts as a change).
    bool takeMemoryChanged();
    // Devices that ended since the last call.
    std::vector<DeviceResult> takeResults();
    // Every device has been played and the gap after the last has passed.
    bool over() const { return over_; }

private:
    DeviceConfig configFor(long index) const;
    void powerUp(Micros now);
    void checkEnd(Micros now);
    void end(DeviceEnd how, Micros now);
    void collect();

    DeviceConfig config_;
    SeriesConfig series_;
    DeviceMemory memory_; // what every device starts with
    const ExpectedMemories* expected_;
    std::unique_ptr<Device> device_;
    long index_ = -1;
    Micros poweredAt_ = 0;
    bool ended_ = false;
    Micros quietSince_ = 0; // the end, or the host's last byte after it
    bool over_ = false;
    bool newDevice_ = false;

    std::vector<Emission> output_;
    std::vector<std::string> notes_;
    std::vector<DeviceResult> results_;
};

} // namespace vz::emu

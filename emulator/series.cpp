#include "emulator/series.h"

#include "emulator/hex_text.h"
#include "emulator/models.h"

#include <algorithm>
#include <utility>

namespace vz::emu {

namespace {

std::string JsonText(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += "\\u00" + HexByte(static_cast<std::uint8_t>(c));
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

FaultConfig WithEntry(FaultConfig faults, const FaultEntry& entry) {
    if (entry.resendShare) faults.resendShare = *entry.resendShare;
    if (entry.strayShare) faults.strayShare = *entry.strayShare;
    if (entry.zeroShare) faults.zeroShare = *entry.zeroShare;
    if (entry.silenceAfter) faults.silenceAfter = *entry.silenceAfter;
    for (const auto& [kind, occurrences] : entry.refuseAt)
        faults.refuseAt[kind].insert(occurrences.begin(), occurrences.end());
    faults.refuseType = faults.refuseType || entry.refuseType;
    return faults;
}

std::string_view DeviceEndName(DeviceEnd end) {
    switch (end) {
    case DeviceEnd::Finished:
        return "finished";
    case DeviceEnd::Fault:
        return "fault";
    case DeviceEnd::Abandoned:
        return "abandoned";
    }
    return "?";
}

std::string ResultLine(const DeviceResult& r) {
    std::string line =
        "{\"device\":" + std::to_string(r.index) + ",\"id\":\"" + HexWord(r.id) + "\",\"ended\":\"" +
        std::string(DeviceEndName(r.ended)) + "\",\"fault\":" + (r.fault ? JsonText(*r.fault) : "null") +
        ",\"memories_right\":" + (r.memoriesRight ? (*r.memoriesRight ? "true" : "false") : "null") +
        ",\"powered_ms\":" + std::to_string(r.poweredAt / kMillisecond) +
        ",\"ended_ms\":" + std::to_string(r.endedAt / kMillisecond) + "}";
    return line;
}

DeviceSeries::DeviceSeries(const DeviceConfig& config, const SeriesConfig& series, const DeviceMemory& memory,
                           const ExpectedMemories* expected, Micros now)
    : config_(config), series_(series), memory_(memory), expected_(expected) {
    powerUp(now);
}

DeviceConfig DeviceSeries::configFor(long index) const {
    DeviceConfig c = config_;
    if (!series_.enabled) return c;
    // Device k is the k-th unit off the line: the next identifier, its own fault
    // choices, and it stays off after "FI" until it is taken away.
    const std::uint16_t base = config_.deviceId.value_or(DefaultDeviceId(config_.modelCode));
    c.deviceId = static_cast<std::uint16_t>(base + index);
    if (!series_.cycle.empty())
        c.faults = WithEntry(c.faults, series_.cycle[static_cast<std::size_t>(index) % series_.cycle.size()]);
    c.faults.seed = config_.faults.seed + static_cast<std::uint64_t>(index);
    c.restartAfterFinish = false;
    return c;
}

void DeviceSeries::powerUp(Micros now) {
    if (device_) collect();
    ++index_;
    device_ = std::make_unique<Device>(configFor(index_), memory_, now);
    poweredAt_ = now;
    ended_ = false;
    newDevice_ = index_ > 0;
    if (series_.enabled)
        notes_.push_back("device " + std::to_string(index_) + " powered up, identifier " +
                         HexWord(configFor(index_).deviceId.value_or(0)));
    checkEnd(now);
}

void DeviceSeries::collect() {
    for (auto& e : device_->takeOutput())
        output_.push_back(std::move(e));
    for (auto& n : device_->takeNotes())
        notes_.push_back(std::move(n));
}

void DeviceSeries::receive(char byte, Micros now, int hostBaud) {
    if (over_) return;
    if (ended_) quietSince_ = now;
    device_->receive(byte, now, hostBaud);
    checkEnd(now);
}

void DeviceSeries::tick(Micros now) {
    if (over_) return;
    device_->tick(now);
    checkEnd(now);
    if (!ended_ || now < quietSince_ + series_.gap) return;
    if (series_.devices > 0 && index_ + 1 >= series_.devices) {
        over_ = true;
        return;
    }
    powerUp(now);
}

Micros DeviceSeries::nextDeadline() const {
    if (over_) return kNever;
    Micros next = device_->nextDeadline();
    if (ended_) next = std::min(next, quietSince_ + series_.gap);
    return next;
}

void DeviceSeries::hostClosed(Micros now) {
    // The host keeps its port open for the whole of a run, so a close while a device
    // is connected means the run is over: nobody will finish this device.
    if (series_.enabled && !over_ && !ended_ && device_->mode() != Device::Mode::Calling)
        end(DeviceEnd::Abandoned, now);
}

void DeviceSeries::checkEnd(Micros now) {
    if (!series_.enabled || ended_) return;
    if (device_->finishAcknowledged()) {
        end(DeviceEnd::Finished, now);
    } else if (device_->faultStruck()) {
        end(DeviceEnd::Fault, now);
    }
}

void DeviceSeries::end(DeviceEnd how, Micros now) {
    ended_ = true;
    quietSince_ = now;
    DeviceResult r;
    r.index = index_;
    r.id = configFor(index_).deviceId.value_or(0);
    r.ended = how;
    if (!series_.cycle.empty())
        r.fault = series_.cycle[static_cast<std::size_t>(index_) % series_.cycle.size()].text;
    if (expected_) r.memoriesRight = MemoriesAsProgrammed(*expected_, device_->memory());
    r.poweredAt = poweredAt_;
    r.endedAt = now;
    notes_.push_back("device " + std::to_string(index_) + " ended: " + std::string(DeviceEndName(how)));
    results_.push_back(std::move(r));
}

std::vector<Emission> DeviceSeries::takeOutput() {
    collect();
    return std::exchange(output_, {});
}

std::vector<std::string> DeviceSeries::takeNotes() {
    collect();
    return std::exchange(notes_, {});
}

bool DeviceSeries::takeMemoryChanged() {
    bool changed = device_->takeMemoryChanged();
    return std::exchange(newDevice_, false) || changed;
}

std::vector<DeviceResult> DeviceSeries::takeResults() {
    return std::exchange(results_, {});
}

} // namespace vz::emu

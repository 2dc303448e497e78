// Emulated devices behind links without a thread, and a station loop on virtual time
// that serves posted work, then jumps to the next timer or deadline: a station's
// life in milliseconds, for the station's tests and its window's.
#pragma once

#include "app/core/station.h"
#include "emulator/models.h"
#include "emulator/package.h"
#include "emulator/series.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace vz::testing {

using emu::Micros;
inline constexpr Micros kSecond = 1000 * emu::kMillisecond;

// Devices one after another behind a port: the host's bytes reach them at once. It is
// in `live` while it exists, for the loop to tick.
class EmuLink : public TLinkControl {
public:
    EmuLink(emu::DeviceSeries& devices, const Micros& now, std::function<void()> received,
            std::vector<EmuLink*>& live)
        : devices_(devices), now_(now), received_(std::move(received)), live_(live) {
        live_.push_back(this);
    }
    ~EmuLink() override { std::erase(live_, this); }
    const emu::DeviceSeries& Devices() const { return devices_; }
    void SelectLinkPort(int) override {}
    void SelectLinkPath(const std::string&) override {}
    bool SetLinkRun(bool run) override {
        if (open_ && !run) devices_.hostClosed(now_);
        return open_ = run, true;
    }
    void PostTx(const std::string& text) override {
        for (char c : text)
            if (open_) devices_.receive(c, now_);
        Tick();
    }
    std::string TakeReceived() override { return std::exchange(rx_, {}); }
    void SetSpeedFast() override {}
    void SetSpeedSlow() override {}
    // What the device said is handed over; a closed port hears nothing.
    void Tick() {
        devices_.tick(now_);
        const bool waiting = !rx_.empty();
        for (const emu::Emission& e : devices_.takeOutput())
            if (open_) rx_ += e.bytes;
        if (!waiting && !rx_.empty()) received_();
    }

private:
    emu::DeviceSeries& devices_;
    const Micros& now_;
    std::function<void()> received_;
    std::vector<EmuLink*>& live_;
    std::string rx_;
    bool open_ = false;
};

class VirtualLoop : public TStationLoop {
public:
    struct Timer : TTimer {
        Timer(VirtualLoop& l, std::function<void()> f) : loop(l), fire(std::move(f)) {
            loop.timers_.push_back(this);
        }
        ~Timer() override { std::erase(loop.timers_, this); }
        void Arm(int ms) override { due = loop.now_ + ms * emu::kMillisecond; }
        void Stop() override { due = emu::kNever; }
        VirtualLoop& loop;
        std::function<void()> fire;
        Micros due = emu::kNever;
    };
    std::unique_ptr<TTimer> NewTimer(std::function<void()> fire) override {
        return std::make_unique<Timer>(*this, std::move(fire));
    }
    void Post(std::function<void()> work) override { work_.push_back(std::move(work)); }

    // False when `done` did not come within ten virtual minutes.
    bool RunUntil(const std::function<bool()>& done) {
        for (const Micros end = now_ + 600 * kSecond; !done();) {
            if (!work_.empty()) {
                for (auto& job : std::exchange(work_, {}))
                    job();
                continue;
            }
            Timer* next = nullptr;
            for (Timer* timer : timers_)
                if (!next || timer->due < next->due) next = timer;
            Micros at = next ? next->due : emu::kNever;
            // Devices behind no link have nothing to say to the station.
            for (const EmuLink* link : links_)
                at = std::min(at, link->Devices().nextDeadline());
            if (at > end) return false;
            now_ = std::max(now_, at);
            for (EmuLink* link : links_)
                link->Tick();
            if (work_.empty() && next && next->due <= now_) next->due = emu::kNever, next->fire();
        }
        return true;
    }

    // Devices one after another behind the next port, each with `fault`, checked against `expected`.
    void AddDevices(long devices, const emu::FaultEntry& fault, const emu::ExpectedMemories* expected) {
        emu::DeviceConfig config;
        config.deviceId = static_cast<std::uint16_t>(0x1001 + 0x100 * devices_.size());
        config.bootChecksum = static_cast<std::uint16_t>(0x2400 + devices_.size());
        devices_.push_back(std::make_unique<emu::DeviceSeries>(
            config, emu::SeriesConfig{true, devices, kSecond / 2, {fault}}, emu::DeviceMemory{}, expected,
            now_));
    }
    // The station's links and clock on this loop.
    void UseLoop(TStationSettings& settings) {
        settings.silenceSeconds = 2;
        settings.newLink = [this](std::size_t port, std::function<void()> received) {
            return std::make_unique<EmuLink>(*devices_[port], now_, std::move(received), links_);
        };
        settings.clock.Now = [this] { return static_cast<std::uint32_t>(now_ / emu::kMillisecond); };
    }
    TTimeSource Time() {
        return {[this] { return std::time_t{1'800'000'000} + now_ / kSecond; },
                [this] { return std::chrono::steady_clock::time_point(std::chrono::microseconds(now_)); }};
    }

    Micros now_ = kSecond;
    std::deque<std::function<void()>> work_;
    std::vector<Timer*> timers_;
    std::vector<std::unique_ptr<emu::DeviceSeries>> devices_;
    std::vector<EmuLink*> links_;
};

} // namespace vz::testing

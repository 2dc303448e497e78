// The station in the core on virtual time: emulated devices behind links without a
// thread, and a loop that serves posted work, then jumps to the next timer or deadline.
#include "app/core/station.h"
#include "emulator/models.h"
#include "emulator/package.h"
#include "emulator/series.h"
#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>

namespace vz {
namespace {

namespace fs = std::filesystem;
using emu::Micros;
constexpr Micros kSecond = 1000 * emu::kMillisecond;

// Devices one after another behind a port: the host's bytes reach them at once.
class EmuLink : public TLinkControl {
public:
    EmuLink(emu::DeviceSeries& devices, const Micros& now, std::function<void()> received)
        : devices_(devices), now_(now), received_(std::move(received)) {}
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
    std::string rx_;
    bool open_ = false;
};

// The test is the station's loop and its face.
class StationCore : public ::testing::Test, public TStationLoop, public TStationEvents {
protected:
    struct Timer : TTimer {
        Timer(StationCore& l, std::function<void()> f) : loop(l), fire(std::move(f)) {
            loop.timers_.push_back(this);
        }
        ~Timer() override { std::erase(loop.timers_, this); }
        void Arm(int ms) override { due = loop.now_ + ms * emu::kMillisecond; }
        void Stop() override { due = emu::kNever; }
        StationCore& loop;
        std::function<void()> fire;
        Micros due = emu::kNever;
    };
    std::unique_ptr<TTimer> NewTimer(std::function<void()> fire) override {
        return std::make_unique<Timer>(*this, std::move(fire));
    }
    void Post(std::function<void()> work) override { work_.push_back(std::move(work)); }

    // False when `done` did not come within ten virtual minutes.
    bool Run(const std::function<bool()>& done) {
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
            for (const auto& devices : devices_)
                at = std::min(at, devices->nextDeadline());
            if (at > end) return false;
            now_ = std::max(now_, at);
            for (EmuLink* link : links_)
                link->Tick();
            if (work_.empty() && next && next->due <= now_) next->due = emu::kNever, next->fire();
        }
        return true;
    }

    void PortChanged(std::size_t p) override {
        if (states_[p].empty() || states_[p].back() != station_->Port(p).state)
            states_[p].push_back(station_->Port(p).state);
    }
    void StatusLine(std::size_t p, const std::string& line) override { lines_[p].push_back(line); }
    void Advice(std::size_t p, const std::string& text) override { advice_[p].push_back(text); }
    void DeviceIdentified(std::size_t p, const TDeviceIdentity& id) override { identified_[p].push_back(id); }
    void DeviceEnded(std::size_t p, const TDeviceRecord& r, const TRunEnd&) override {
        records_[p].push_back(r);
    }

    void SetUp() override {
        emu::WritePackage((dir_ / "pkg").string(), true);
        expected_ = emu::ExpectedFromScript((dir_ / "pkg" / emu::ModelByCode(1).folder).string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A port whose devices come one after another, each with `fault`.
    void AddPort(long devices, const emu::FaultEntry& fault = {}) {
        emu::DeviceConfig config;
        config.deviceId = static_cast<std::uint16_t>(0x1001 + 0x100 * devices_.size());
        config.bootChecksum = static_cast<std::uint16_t>(0x2400 + devices_.size());
        devices_.push_back(std::make_unique<emu::DeviceSeries>(
            config, emu::SeriesConfig{true, devices, kSecond / 2, {fault}}, emu::DeviceMemory{}, &expected_,
            now_));
        settings_.ports.push_back({"hub-" + std::to_string(devices_.size()), "", {}});
    }
    TStation& Start(long count) {
        settings_.count = count;
        settings_.report = (dir_ / "report.jsonl").string();
        settings_.silenceSeconds = 2;
        settings_.preparePort = [this](TRunDriver& driver) {
            driver.UsePackageRoot((dir_ / "pkg").string(), "", "", "", "", false);
        };
        settings_.newLink = [this](std::size_t port, std::function<void()> received) {
            auto link = std::make_unique<EmuLink>(*devices_[port], now_, std::move(received));
            links_.push_back(link.get());
            return link;
        };
        settings_.clock.Now = [this] { return static_cast<std::uint32_t>(now_ / emu::kMillisecond); };
        const TTimeSource time{
            [this] { return std::time_t{1'800'000'000} + now_ / kSecond; },
            [this] { return std::chrono::steady_clock::time_point(std::chrono::microseconds(now_)); }};
        station_ = std::make_unique<TStation>(std::move(settings_), *this, *this, time);
        EXPECT_TRUE(station_->OpenReport());
        station_->Start();
        return *station_;
    }
    // The report's lines holding every one of `parts`.
    long ReportLines(const std::vector<std::string>& parts) {
        std::ifstream in(dir_ / "report.jsonl");
        long found = 0;
        for (std::string line; std::getline(in, line);)
            found +=
                std::all_of(parts.begin(), parts.end(), [&](auto& p) { return line.find(p) != line.npos; });
        return found;
    }

    Micros now_ = kSecond;
    std::deque<std::function<void()>> work_;
    std::vector<Timer*> timers_;
    fs::path dir_ = vz::testing::UniqueTempPath("vz_station_core");
    emu::ExpectedMemories expected_;
    std::vector<std::unique_ptr<emu::DeviceSeries>> devices_;
    std::vector<EmuLink*> links_;
    std::map<std::size_t, std::vector<TPortState>> states_;
    std::map<std::size_t, std::vector<std::string>> lines_, advice_;
    std::map<std::size_t, std::vector<TDeviceIdentity>> identified_;
    std::map<std::size_t, std::vector<TDeviceRecord>> records_;
    TStationSettings settings_;
    std::unique_ptr<TStation> station_;
};

TEST_F(StationCore, PortsUpdateDeviceAfterDeviceUntilTheirCount) {
    AddPort(2);
    AddPort(2);
    TStation& station = Start(2);
    ASSERT_TRUE(Run([&] { return station.Done(); }));
    std::vector<TMemory> every{{mkBootArea, 0}};
    for (int bank = 0; bank < 8; ++bank)
        every.push_back({mkKeyboardBank, bank});
    every.insert(every.end(), {{mkProm, 1}, {mkProm, 2}});
    using enum TPortState;
    for (std::size_t port = 0; port < 2; ++port) {
        EXPECT_EQ(station.Port(port).completed, 2);
        EXPECT_EQ(states_[port], (std::vector{Waiting, Updating, Opening, Waiting, Updating, Finished}));
        for (std::size_t n = 0; n < 2; ++n) {
            const TDeviceIdentity& identity = identified_[port].at(n);
            EXPECT_EQ(identity.model, 1);
            EXPECT_EQ(identity.deviceId, 0x1001 + 0x100 * port + n);
            EXPECT_EQ(identity.bootChecksum, 0x2400 + port);
            const TDeviceRecord& record = records_[port].at(n);
            EXPECT_EQ(record.result, TDeviceResult::Completed);
            EXPECT_EQ(record.identity->deviceId, identity.deviceId);
            EXPECT_EQ(record.programmed, every);
            EXPECT_GT(record.seconds, 1);
        }
        EXPECT_EQ(ReportLines({"\"port\": \"hub-" + std::to_string(port + 1), "\"result\": \"completed\""}),
                  2);
        const std::vector<emu::DeviceResult> devices = devices_[port]->takeResults();
        EXPECT_EQ(
            std::count_if(devices.begin(), devices.end(), [](auto& d) { return d.memoriesRight == true; }),
            2);
    }
    EXPECT_EQ(ReportLines({"\"result\": "}), 4);
}

TEST_F(StationCore, AFailingDeviceIsRecordedWithItsReasonWhileOtherPortsGoOn) {
    emu::FaultEntry refused, silent;
    refused.refuseAt[emu::FaultKind::Bank] = {3};
    silent.silenceAfter = 3000;
    AddPort(1, refused);
    AddPort(1, silent);
    AddPort(1);
    TStation& station = Start(1);
    ASSERT_TRUE(Run([&] { return station.Done(); }));
    const TDeviceRecord& writing = records_[0].at(0);
    EXPECT_EQ(writing.result, TDeviceResult::Failed);
    EXPECT_EQ(writing.error, "Error while writing!!!");
    EXPECT_EQ(writing.stage, (TMemory{mkKeyboardBank, 0}));
    EXPECT_EQ(writing.programmed, std::vector<TMemory>{TMemory{}});
    EXPECT_EQ(records_[1].at(0).error, "No answer from the device within 2 s");
    EXPECT_EQ(records_[2].at(0).result, TDeviceResult::Completed);
    EXPECT_EQ(station.Port(0).failed + station.Port(1).failed + station.Port(2).completed, 3);
    EXPECT_EQ(ReportLines({"\"hub-1\"", "\"error\": \"Error while writing!!!\"", "\"stage\": \"bank0\""}), 1);
    EXPECT_EQ(ReportLines({"\"hub-3\"", "\"error\": null"}), 1);
}

TEST_F(StationCore, StopAllEndsTheUpdateWithAdviceAndARecord) {
    AddPort(3);
    TStation& station = Start(0);
    // In the middle of the first keyboard bank.
    ASSERT_TRUE(Run([&] { return !lines_[0].empty() && lines_[0].back() == "Upload Bank0"; }));
    station.StopAll();
    ASSERT_TRUE(Run([&] { return station.Done(); }));
    ASSERT_EQ(records_[0].size(), 1u);
    const TDeviceRecord& record = records_[0][0];
    EXPECT_EQ(record.result, TDeviceResult::Stopped);
    EXPECT_EQ(record.stage, (TMemory{mkKeyboardBank, 0}));
    EXPECT_EQ(record.programmed, std::vector<TMemory>{TMemory{}});
    EXPECT_EQ(advice_[0],
              std::vector<std::string>{"The update stopped while programming keyboard bank 0: the "
                                       "device is partly updated; run the update again before it "
                                       "is used"});
    EXPECT_EQ(station.Port(0).state, TPortState::Finished);
    EXPECT_EQ(station.Port(0).stopped, 1);
    EXPECT_EQ(ReportLines({"\"result\": \"stopped\""}), 1);
}

} // namespace
} // namespace vz

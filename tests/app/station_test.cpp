// The station in the core on virtual time (virtual_station.h).
#include "tests/app/virtual_station.h"
#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace vz {
namespace {

namespace fs = std::filesystem;

using testing::kSecond;

// The test is the station's loop and its face.
class StationCore : public ::testing::Test, public testing::VirtualLoop, public TStationEvents {
protected:
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
        AddDevices(devices, fault, &expected_);
        settings_.ports.push_back({"hub-" + std::to_string(devices_.size()), "", {}});
    }
    TStation& Start(long count) {
        settings_.count = count;
        settings_.report = (dir_ / "report.jsonl").string();
        settings_.preparePort = [this](TRunDriver& driver) {
            driver.UsePackageRoot((dir_ / "pkg").string(), "", "", "", "", false);
        };
        UseLoop(settings_);
        station_ = std::make_unique<TStation>(std::move(settings_), *this, *this, Time());
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

    fs::path dir_ = vz::testing::UniqueTempPath("vz_station_core");
    emu::ExpectedMemories expected_;
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
    ASSERT_TRUE(RunUntil([&] { return station.Done(); }));
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
    ASSERT_TRUE(RunUntil([&] { return station.Done(); }));
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
    ASSERT_TRUE(RunUntil([&] { return !lines_[0].empty() && lines_[0].back() == "Upload Bank0"; }));
    station.StopAll();
    ASSERT_TRUE(RunUntil([&] { return station.Done(); }));
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

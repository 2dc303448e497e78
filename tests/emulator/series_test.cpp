// Several devices in a row on one line: how each ends, the gap, the next
// identifier, per-device faults and the results line.
#include "emulator/models.h"
#include "emulator/options.h"
#include "emulator/series.h"

#include <gtest/gtest.h>

namespace vz::emu {
namespace {

constexpr Micros kGap = 1500 * kMillisecond; // longer than the restart after "FI" of a lone device

SeriesConfig Devices(long n) {
    SeriesConfig series;
    series.devices = n;
    return series;
}

SeriesConfig Cycle(const std::string& plan) {
    SeriesConfig series;
    series.cycle = ParseCycle(plan);
    return series;
}

// Drives a series on a simulated clock, as Bench drives one device.
class Line {
public:
    explicit Line(SeriesConfig series, const ExpectedMemories* expected = nullptr, DeviceConfig config = {})
        : series_(config, InSeries(std::move(series)), DeviceMemory{}, expected, 0) {
        series_.tick(0);
        collect(); // the first call
    }
    DeviceSeries& series() { return series_; }
    Micros now() const { return now_; }
    std::string send(std::string_view bytes) {
        for (char c : bytes)
            series_.receive(c, now_);
        return collect();
    }
    std::string wait(Micros duration) {
        const Micros target = now_ + duration;
        std::string out;
        while (series_.nextDeadline() <= target) {
            now_ = std::max(now_, series_.nextDeadline());
            series_.tick(now_);
            out += collect();
        }
        now_ = target;
        series_.tick(now_);
        return out + collect();
    }
    // Sends the parts in turn; returns all the answers.
    std::string dialogue(std::initializer_list<std::string_view> parts) {
        std::string answers;
        for (auto part : parts)
            answers += send(part);
        return answers;
    }
    // Sync and type check; returns the identifier the device reports.
    std::string connect() {
        std::string answer = send("%");
        answer += send(std::to_string(ModelByCode(1).typeNumber));
        return answer.size() >= 10 ? answer.substr(6, 4) : answer;
    }

private:
    static SeriesConfig InSeries(SeriesConfig series) {
        series.enabled = true;
        series.gap = kGap;
        return series;
    }
    std::string collect() {
        std::string text;
        for (const auto& e : series_.takeOutput())
            text += e.bytes;
        return text;
    }
    Micros now_ = 0;
    DeviceSeries series_;
};

TEST(Series, FinishThenQuietGapThenTheNextIdentifierCalls) {
    Line line(Devices(2));
    EXPECT_EQ(line.connect(), "1001");
    EXPECT_EQ(line.send("FI"), ".");
    auto results = line.series().takeResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].ended, DeviceEnd::Finished);
    EXPECT_EQ(line.wait(kGap - 1), "") << "no call, no restart of the finished device during the gap";
    EXPECT_EQ(line.wait(1), "%");
    EXPECT_EQ(line.series().index(), 1);
    EXPECT_EQ(line.connect(), "1002");
    EXPECT_TRUE(line.series().takeResults().empty());
    line.send("FI");
    line.wait(kGap);
    EXPECT_TRUE(line.series().over()) << "two devices played";
    EXPECT_EQ(line.wait(kCallPeriod), "");
}

TEST(Series, PlannedFaultEndsItsDeviceOnlyAndCountsWithinIt) {
    Line line(Cycle("x=version:1,clean"));
    line.connect();
    EXPECT_EQ(line.dialogue({"V1", "0101"}), ".X");
    auto results = line.series().takeResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].ended, DeviceEnd::Fault);
    EXPECT_EQ(results[0].fault, "x=version:1");
    // The faulted device still answers while the host goes on; the gap waits for quiet.
    line.wait(kGap - kMillisecond);
    EXPECT_EQ(line.send("T1"), ".0000.");
    EXPECT_EQ(line.wait(kGap - kMillisecond), "");
    EXPECT_EQ(line.wait(kMillisecond), "%");

    line.connect();
    EXPECT_EQ(line.dialogue({"V1", "0101"}), "..") << "the clean device";
    line.send("FI");
    line.wait(kGap);
    line.connect();
    EXPECT_EQ(line.dialogue({"V1", "0101"}), ".X") << "the third device counts its own versions";
}

TEST(Series, VanishedDeviceEndsWhenItFallsSilent) {
    Line line(Cycle("vanish=4"));
    line.connect(); // three bytes
    EXPECT_EQ(line.send("NP"), "");
    auto results = line.series().takeResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].ended, DeviceEnd::Fault);
}

TEST(Series, HostClosingMidUpdateAbandonsButNotWhileCalling) {
    Line line({});
    line.series().hostClosed(line.now());
    EXPECT_TRUE(line.series().takeResults().empty()) << "a station closing between devices";
    line.connect();
    line.series().hostClosed(line.now());
    auto results = line.series().takeResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].ended, DeviceEnd::Abandoned);
    EXPECT_FALSE(results[0].fault) << "no cycle, no entry";
    EXPECT_EQ(line.wait(kGap), "%");
}

TEST(Series, MemoriesComparedWithWhatTheScriptPrograms) {
    ExpectedMemories expected;
    expected.banks[2] = Bytes(kBankSize, 0xFF);
    expected.banks[2]->front() = 0x00;
    Line line({}, &expected);
    line.connect();
    line.send("FI");
    EXPECT_EQ(line.series().takeResults().at(0).memoriesRight, false) << "bank 2 was never programmed";
    expected.banks[2]->front() = 0xFF;
    line.wait(kGap);
    line.connect();
    line.send("FI");
    EXPECT_EQ(line.series().takeResults().at(0).memoriesRight, true);
}

TEST(Series, ResultLine) {
    DeviceResult r;
    r.index = 7;
    r.id = 0x800D;
    r.ended = DeviceEnd::Fault;
    r.fault = "resend=30%+x=bank:5";
    r.memoriesRight = false;
    r.poweredAt = 1'500'000;
    r.endedAt = 9'250'999;
    EXPECT_EQ(ResultLine(r), R"({"device":7,"id":"800D","ended":"fault","fault":"resend=30%+x=bank:5",)"
                             R"("memories_right":false,"powered_ms":1500,"ended_ms":9250})");
    r.fault.reset();
    r.memoriesRight.reset();
    EXPECT_NE(ResultLine(r).find(R"("fault":null,"memories_right":null)"), std::string::npos);
}

TEST(Series, CyclePlanSyntax) {
    auto plan = ParseCycle("clean,resend=30%+x=bank:5+x=prom:2,vanish=20000,refuse-type");
    ASSERT_EQ(plan.size(), 4u);
    EXPECT_EQ(plan[0].text, "clean");
    FaultConfig base;
    base.strayShare = 0.5;
    FaultConfig second = WithEntry(base, plan[1]);
    EXPECT_DOUBLE_EQ(second.resendShare, 0.3);
    EXPECT_DOUBLE_EQ(second.strayShare, 0.5) << "faults of every device stay";
    EXPECT_EQ(second.refuseAt[FaultKind::Bank], std::set<long>{5});
    EXPECT_EQ(second.refuseAt[FaultKind::Prom], std::set<long>{2});
    EXPECT_EQ(WithEntry(base, plan[2]).silenceAfter, 20000);
    EXPECT_TRUE(WithEntry(base, plan[3]).refuseType);
    for (const char* bad : {"", "clean,", "resend=2", "x=flash:1", "fog=1", "clean+x=bank:1", "vanish"})
        EXPECT_THROW(ParseCycle(bad), std::invalid_argument) << bad;
    EXPECT_THROW(ParseOptions({"--cycle", "clean"}), std::invalid_argument) << "needs --devices";
    ProgramOptions o = ParseOptions({"--devices", "0", "--gap-ms", "250", "--results", "r.jsonl"});
    EXPECT_TRUE(o.runner.series.enabled);
    EXPECT_EQ(o.runner.series.devices, 0);
    EXPECT_EQ(o.runner.series.gap, 250 * kMillisecond);
}

} // namespace
} // namespace vz::emu

// The judgement of late answers on the run's clock, and the advice it gives.
#include "app/core/latency_watch.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

// 45 bytes out and one back take 8 ms at 57600 bit/s.
constexpr std::size_t kLine = 45;

// Feeds `count` lines whose answers take `trip(i)` ms; the verdicts given.
template <typename Trip>
std::vector<TLateAnswers> Feed(TLatencyWatch& watch, std::size_t count, Trip trip, std::uint32_t start = 0) {
    std::vector<TLateAnswers> verdicts;
    std::uint32_t now = start;
    for (std::size_t i = 0; i < count; ++i) {
        watch.Sent(kLine, now);
        now += trip(i);
        if (auto verdict = watch.Acknowledged(now)) verdicts.push_back(*verdict);
        now += 1;
    }
    return verdicts;
}

TEST(LatencyWatch, LateAnswersAreToldOnceWithTheHundredthLine) {
    TLatencyWatch watch;
    EXPECT_TRUE(Feed(watch, TLatencyWatch::kJudgedLines - 1, [](std::size_t) { return 16u; }).empty());
    EXPECT_FALSE(watch.Judged());
    // The clock wraps in between: only differences count.
    const auto verdicts = Feed(
        watch, 200, [](std::size_t) { return 16u; }, 0xFFFFFFF0u);
    ASSERT_EQ(verdicts.size(), 1u);
    EXPECT_NEAR(verdicts[0].lateMs, 16 - 46 * 10 * 1000.0 / 57600, 0.01);
    EXPECT_EQ(verdicts[0].lineMs, 16);

    // A new run is judged again.
    watch.Reset();
    EXPECT_EQ(Feed(watch, 100, [](std::size_t) { return 16u; }).size(), 1u);
}

TEST(LatencyWatch, PromptDeviceIsNeverToldAlsoWithSomeSlowSteps) {
    TLatencyWatch watch;
    // One answer in five held up by a busy machine.
    EXPECT_TRUE(Feed(watch, 500, [](std::size_t i) { return i % 5 == 0 ? 40u : 9u; }).empty());
    EXPECT_TRUE(watch.Judged());
    // At 19200 bit/s the same line needs 24 ms on the wire: 25 ms is in time.
    TLatencyWatch slow;
    slow.SetBitsPerSecond(19200);
    EXPECT_TRUE(Feed(slow, 100, [](std::size_t) { return 25u; }).empty());
    // Acknowledgements with nothing sent before them are not timed.
    TLatencyWatch idle;
    for (int i = 0; i < 200; ++i)
        EXPECT_FALSE(idle.Acknowledged(static_cast<std::uint32_t>(i) * 50));
    EXPECT_FALSE(idle.Judged());
}

TEST(LatencyWatch, AdviceSaysHowLateHowLongAndTheFix) {
    EXPECT_EQ(
        LateAnswersAdvice({8.0, 16.0}, 15000, "FIX"),
        "The device's answers come 8 ms late (a USB adapter holds them for its latency timer): the "
        "update's 15000 lines will take about 4 min 0 s instead of 2 min 0 s; set the adapter's latency "
        "timer to 1 ms: FIX");
    EXPECT_EQ(DurationText(59.4), "59 s");
    EXPECT_EQ(DurationText(-3), "0 s");
    EXPECT_EQ(LatencyTimerAdvice("COM3", 16, "FIX"),
              "The adapter of COM3 holds received bytes for 16 ms (its latency timer), which can make an "
              "update nearly twice as long; set it to 1 ms: FIX");
}

} // namespace
} // namespace vz

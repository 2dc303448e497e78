#include "app/core/com_thread_link.h"
#include "app/core/run_driver.h"
#include "link/port_sim.h"
#include "tests/app/recording_face.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>

namespace vz {
namespace {

using testing::RecordingFace;
using testing::ScriptedLink;

// A face's side of the driver by hand: the armed timer, the work handed over, the ends.
class FakeHost : public TRunHost {
public:
    std::vector<int> armed;
    bool timerOn = false;
    std::vector<TRunEnd> ends;
    std::vector<std::string> noted;
    std::vector<int> timers;
    int asked = 0;

    void ArmTimer(int milliseconds) override {
        armed.push_back(milliseconds);
        timerOn = true;
    }
    void StopTimer() override { timerOn = false; }
    void Post(std::function<void()> work) override {
        const std::lock_guard guard(lock_);
        posted_.push_back(std::move(work));
    }
    void AskLinkFailure(const std::string&, const std::string&) override { ++asked; }
    void NoteLinkFailure(const std::string& line) override { noted.push_back(line); }
    void RunEnded(const TRunEnd& end) override { ends.push_back(end); }
    void LatencyTimerRead(const std::string&, int milliseconds) override { timers.push_back(milliseconds); }

    // Runs what was handed over so far, on the test's thread.
    int RunPosted() {
        std::deque<std::function<void()>> work;
        {
            const std::lock_guard guard(lock_);
            work.swap(posted_);
        }
        for (auto& item : work)
            item();
        return static_cast<int>(work.size());
    }

private:
    std::mutex lock_;
    std::deque<std::function<void()>> posted_;
};

class RunDriverTest : public ::testing::Test {
protected:
    std::filesystem::path root_ = vz::testing::UniqueTempPath("vz_run_driver_test");
    RecordingFace face_;
    FakeHost host_;
    ScriptedLink* link_ = nullptr;
    std::uint32_t now_ = 1000;
    std::unique_ptr<TRunDriver> driver_;

    void SetUp() override {
        std::filesystem::create_directories(root_ / "KRA350");
        auto link = std::make_unique<ScriptedLink>();
        link_ = link.get();
        EngineClock clock{[this] { return now_; }};
        driver_ = std::make_unique<TRunDriver>(face_, host_, std::move(link), clock);
        face_.core = &driver_->Core();
        driver_->UsePackageRoot(root_.string(), "", "", "", "", false);
        driver_->FormCreate();
    }
    void TearDown() override {
        driver_.reset();
        std::filesystem::remove_all(root_);
    }
    void Script(const std::string& text) { std::ofstream(root_ / "KRA350" / "script.ini") << text; }
    void ExpectKra350Sync() {
        link_->onRun = "%";
        link_->script.push_back({"%", "."});
        link_->script.push_back({"21", "X"});
        link_->script.push_back({"18", ".ABCD8012000212."});
    }
    // The face's loop: the armed timer fires after its time, chunks are handed over.
    void Run(std::uint32_t forMs) {
        for (const std::uint32_t end = now_ + forMs; now_ < end && host_.timerOn;) {
            now_ += static_cast<std::uint32_t>(host_.armed.back());
            if (host_.armed.back() == 0) ++now_;
            driver_->TimerFired();
            link_->Tick();
            if (!link_->pendingRx.empty()) driver_->DataReceived();
            if (!driver_->Core().RunInProgress() && host_.armed.back() == 500) return;
        }
    }
};

TEST_F(RunDriverTest, TimerIdlesSlowRunsFastAndStepsAtOnceWhenTheRunMovesOn) {
    Script("prompt one\nprompt two\n");
    ExpectKra350Sync();
    link_->script.push_back({"FI", "."});
    EXPECT_EQ(host_.armed, std::vector<int>{500});
    driver_->StartClick();
    EXPECT_EQ(host_.armed.back(), 10);
    Run(60000);
    EXPECT_EQ(driver_->Core().Outcome(), TRunOutcome::Completed);
    EXPECT_EQ(host_.armed.back(), 500);
    const auto at = [&](int ms) { return std::count(host_.armed.begin(), host_.armed.end(), ms); };
    EXPECT_GT(at(0), 5);
    EXPECT_EQ(at(0) + at(10) + at(500), static_cast<long>(host_.armed.size()));
    // Attended: the window shows its own end.
    EXPECT_TRUE(host_.ends.empty());
}

TEST_F(RunDriverTest, WindowWaitsForTheDeviceUntilStopButALimitEndsTheWait) {
    driver_->StartClick();
    Run(10 * 60 * 1000);
    EXPECT_TRUE(driver_->Core().RunInProgress());
    EXPECT_TRUE(face_.errorBoxes.empty());

    driver_->StopRun();
    EXPECT_FALSE(driver_->Core().RunInProgress());
    TWaitPolicy policy;
    policy.timeoutSeconds = 5;
    driver_->SetWaitPolicy(policy);
    driver_->SetUnattended(true);
    driver_->StartClick();
    Run(6000);
    ASSERT_EQ(host_.ends.size(), 1u);
    EXPECT_EQ(host_.ends[0].reason, TRunEndReason::Failed);
    EXPECT_EQ(host_.ends[0].error, "No answer from the device within 5 s");
    EXPECT_EQ(driver_->Core().ErrorCode(), TErrorCode::no_answer);
    // Nobody is there to answer a box.
    EXPECT_TRUE(face_.errorBoxes.empty());
    EXPECT_TRUE(driver_->UnattendedFailed());
}

TEST_F(RunDriverTest, SilenceRuleStartsOnlyOnceTheDeviceHasCalled) {
    Script("RS\n");
    ExpectKra350Sync();
    TWaitPolicy policy;
    policy.silenceSeconds = 60;
    driver_->SetWaitPolicy(policy);
    driver_->SetUnattended(true);
    driver_->StartClick();
    // Nothing calls for two minutes: no limit yet.
    const std::string call = std::exchange(link_->onRun, "");
    Run(120000);
    EXPECT_TRUE(host_.ends.empty());
    link_->onRun = call;
    // "RS" is never answered.
    Run(59000);
    EXPECT_TRUE(host_.ends.empty());
    Run(2000);
    ASSERT_EQ(host_.ends.size(), 1u);
    EXPECT_EQ(host_.ends[0].error, "No answer from the device within 60 s");
}

TEST_F(RunDriverTest, NoiseBeforeAnAnswerIsReportedNotSkipped) {
    Script("RS\n");
    ExpectKra350Sync();
    link_->script.push_back({"RS", "Z."});
    // The window waits on, and says once what the port receives instead.
    driver_->StartClick();
    Run(30000);
    EXPECT_TRUE(driver_->Core().RunInProgress());
    const std::string advice = "Waiting for the device on Com 1: the port receives data that is not the "
                               "device's: \"Z.\": is it the right port?";
    EXPECT_EQ(std::count(face_.advice.begin(), face_.advice.end(), advice), 1) << face_.advice.back();

    driver_->StopRun();
    ExpectKra350Sync();
    link_->sent.clear();
    link_->script.push_back({"RS", "Z."});
    TWaitPolicy policy;
    policy.timeoutSeconds = 5;
    driver_->SetWaitPolicy(policy);
    driver_->SetUnattended(true);
    driver_->StartClick();
    Run(6000);
    ASSERT_EQ(host_.ends.size(), 1u);
    EXPECT_EQ(host_.ends[0].error,
              "No answer from the device within 5 s; the port received 2 bytes that are no answer: \"Z.\"");
}

TEST_F(RunDriverTest, DeviceThatCallsAgainMidRunIsSaidToHaveRestarted) {
    Script("RS\n");
    ExpectKra350Sync();
    // Restarted after synchronising: its boot loader calls instead of answering "RS".
    link_->script.push_back({"RS", "%%%%"});
    driver_->SetUnattended(true);
    driver_->StartClick();
    Run(12000);
    ASSERT_EQ(host_.ends.size(), 1u);
    EXPECT_EQ(host_.ends[0].code, TErrorCode::restarted);
    EXPECT_EQ(host_.ends[0].error,
              "The device on Com 1 restarted during the run: its boot loader calls again");
    EXPECT_TRUE(face_.advice.empty()); // never "is it the right port?"
}

TEST_F(RunDriverTest, AdapterLatencyTimerIsReadOnceARunAndAdvisedOnlyWhenHigh) {
    Script("prompt one\n");
    int timer = 16;
    int probes = 0;
    driver_->SetLatencyTimerProbe([&](const std::string&) {
        ++probes;
        return std::optional<int>(timer);
    });
    for (const int setting : {16, 2}) {
        timer = setting;
        link_->sent.clear();
        ExpectKra350Sync();
        link_->script.push_back({"FI", "."});
        driver_->StartClick();
        Run(60000);
        EXPECT_EQ(driver_->Core().Outcome(), TRunOutcome::Completed);
    }
    EXPECT_EQ(probes, 2);
    EXPECT_EQ(host_.timers, (std::vector<int>{16, 2}));
    ASSERT_EQ(face_.advice.size(), 1u);
    EXPECT_TRUE(face_.advice[0].starts_with(
        "The adapter of Com 1 holds received bytes for 16 ms (its latency "
        "timer), which can make an update nearly twice as long; set it to 1 ms: "))
        << face_.advice[0];
}

TEST(RunDriverLinkTest, LinkFailureIsNotedOnceAndEndsAnUnattendedRun) {
    for (const bool unattended : {false, true}) {
        RecordingFace face;
        FakeHost host;
        auto port = std::make_unique<SimPort>();
        port->FailOpens("no such port", false);
        TRunDriver driver(face, host, std::make_unique<TComThreadLink>(std::move(port)));
        face.core = &driver.Core();
        driver.SetUnattended(unattended);
        driver.FormCreate();
        driver.StartClick();
        // The link thread tries to open the port and reports it; an attended box is
        // answered at once, so the thread tries again.
        for (int i = 0; i < 400 && (unattended ? host.ends.empty() : host.asked < 3); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            host.RunPosted();
        }
        ASSERT_EQ(host.noted.size(), 1u) << unattended;
        EXPECT_NE(host.noted[0].find("no such port"), std::string::npos);
        if (unattended) {
            ASSERT_EQ(host.ends.size(), 1u);
            EXPECT_EQ(host.ends[0].reason, TRunEndReason::PortFailed);
            EXPECT_EQ(host.ends[0].portReason, "no such port");
            EXPECT_FALSE(driver.Core().RunInProgress());
        } else {
            EXPECT_GE(host.asked, 3);
            EXPECT_TRUE(host.ends.empty());
            EXPECT_TRUE(driver.Core().RunInProgress());
        }
        driver.FormClose();
        host.RunPosted();
    }
}

} // namespace
} // namespace vz

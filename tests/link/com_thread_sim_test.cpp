// The communication thread on the simulated port, driven from the test's thread.
#include "link/com_thread.h"
#include "link/port_sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vz::test {
namespace {

bool Eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class ComThreadSimTest : public ::testing::Test {
protected:
    ComThreadSimTest() {
        auto port = std::make_unique<SimPort>();
        sim = port.get();
        link = std::make_unique<ComThread>(std::move(port));
        link->SetOnChunkReceived([this](ComThread& sender) {
            std::lock_guard lock(mutex);
            received += sender.TakeReceived();
        });
        auto record = [this](std::vector<LinkFailure>& into) {
            return [this, &into](ComThread&, const LinkFailure& failure) {
                std::lock_guard lock(mutex);
                into.push_back(failure);
            };
        };
        link->SetOnOpenFailed(record(openFailures));
        link->SetOnPortLost(record(losses));
    }

    std::string Received() {
        std::lock_guard lock(mutex);
        return received;
    }
    std::size_t Count(const std::vector<LinkFailure>& list) {
        std::lock_guard lock(mutex);
        return list.size();
    }
    int Opens() {
        const auto log = sim->Log();
        return static_cast<int>(std::count_if(
            log.begin(), log.end(), [](const std::string& step) { return step.rfind("open", 0) == 0; }));
    }

    SimPort* sim = nullptr; // owned by the thread's driver
    std::unique_ptr<ComThread> link;
    std::mutex mutex;
    std::string received;
    std::vector<LinkFailure> openFailures;
    std::vector<LinkFailure> losses;
};

TEST_F(ComThreadSimTest, ConfiguresTheLineAndExchangesText) {
    link->SelectLinkPort(10);
    link->SetLinkRun(true);
    ASSERT_TRUE(Eventually([&] { return link->IsPortOpen(); }));
    EXPECT_EQ(sim->Log().front(), "open \\\\.\\COM10");
    const LineSettings line = *sim->AppliedSettings();
    EXPECT_EQ(line.baud, 57600u);
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.parity, LineParity::None);
    EXPECT_EQ(line.stopBits, LineStopBits::One);
    EXPECT_TRUE(line.rtsOn);
    EXPECT_TRUE(line.dtrOn);
    EXPECT_FALSE(line.rtsCtsFlow || line.xonXoff);

    sim->PushInput("%.");
    ASSERT_TRUE(Eventually([&] { return Received() == "%."; }));
    link->PostTx("PB");
    ASSERT_TRUE(Eventually([&] { return sim->Output() == "PB"; }));

    link->SetSpeedSlow();
    ASSERT_TRUE(Eventually([&] { return sim->AppliedSettings()->baud == 19200u; }));
    link->SetLinkRun(false);
    ASSERT_TRUE(Eventually([&] { return !sim->IsOpen(); }));
}

TEST_F(ComThreadSimTest, NothingOfAStoppedRunReachesTheNextOne) {
    link->SetLinkRun(true);
    ASSERT_TRUE(Eventually([&] { return link->IsPortOpen(); }));
    link->SetLinkRun(false);
    ASSERT_TRUE(Eventually([&] { return !sim->IsOpen(); }));
    link->PostTx("P3");
    link->SetLinkRun(true);
    ASSERT_TRUE(Eventually([&] { return link->IsPortOpen(); }));
    link->PostTx("%");
    ASSERT_TRUE(Eventually([&] { return sim->Output() == "%"; }));
}

TEST_F(ComThreadSimTest, OpenFailureCarriesTheNameReasonAndAccessFlag) {
    sim->FailOpens("Access is denied", true);
    link->SetLinkRun(true);
    ASSERT_TRUE(Eventually([&] { return Count(openFailures) >= 1; }));
    link->SetLinkRun(false);
    std::lock_guard lock(mutex);
    EXPECT_EQ(openFailures[0].portName, "\\\\.\\COM1");
    EXPECT_EQ(openFailures[0].reason, "Access is denied");
    EXPECT_TRUE(openFailures[0].accessDenied);
}

TEST_F(ComThreadSimTest, LostPortIsReopenedOnlyByANewRun) {
    link->SetLinkRun(true);
    ASSERT_TRUE(Eventually([&] { return link->IsPortOpen(); }));
    sim->HangUp("The device was removed");
    ASSERT_TRUE(Eventually([&] { return Count(losses) == 1; }));
    EXPECT_FALSE(link->IsPortOpen());
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(losses[0].reason, "The device was removed");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Opens(), 1);

    link->SetLinkRun(false);
    link->SetLinkRun(true);
    ASSERT_TRUE(Eventually([&] { return link->IsPortOpen(); }));
    EXPECT_EQ(Opens(), 2);
    sim->PushInput("ok");
    EXPECT_TRUE(Eventually([&] { return Received() == "ok"; }));
}

TEST_F(ComThreadSimTest, TextTheLineCannotTakeIsReportedAsALostPort) {
    link->SetLinkRun(true);
    ASSERT_TRUE(Eventually([&] { return link->IsPortOpen(); }));
    sim->SetWriteBudget(2);
    link->PostTx("PB\r\n");
    ASSERT_TRUE(Eventually([&] { return Count(losses) == 1; }));
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_EQ(sim->Output(), "PB");
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(losses[0].reason, "The port took no output for 500 ms (2 of 4 bytes written)");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Opens(), 1);
}

TEST_F(ComThreadSimTest, StopAndStartAtOnceReopensForTheNewRunOnly) {
    link->SetLinkRun(true);
    ASSERT_TRUE(Eventually([&] { return link->IsPortOpen(); }));
    // Nobody takes this chunk: the bytes behind it belong to the stopped run.
    link->SetOnChunkReceived([](ComThread&) {});
    sim->PushInput("A");
    ASSERT_TRUE(Eventually([&] { return link->HasReceived(); }));
    sim->PushInput("old");
    link->SetLinkRun(false);
    link->SetLinkRun(true);
    link->PostTx("new");
    ASSERT_TRUE(Eventually([&] { return Opens() == 2 && sim->Output() == "new"; }));
    const auto log = sim->Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "close"), 1);
    EXPECT_FALSE(link->HasReceived());
}

} // namespace
} // namespace vz::test

// The communication thread on a pseudo-terminal: the test plays the device on
// the master side.
#include "link/com_thread.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace vz::test {
namespace {

using namespace std::chrono_literals;

TEST(ComThreadPorts, SelectLinkPortMapsOutOfRangeToCom1) {
    ComThread link;
    const std::pair<int, TComPortNumber> cases[] = {{1, pnCOM1}, {0, pnCOM1}, {17, pnCOM1}, {-3, pnCOM1},
                                                    {2, pnCOM2}, {9, pnCOM9}, {16, pnCOM16}};
    for (const auto& [n, expected] : cases) {
        link.SelectLinkPort(5); // none of the expected ports
        link.SelectLinkPort(n);
        EXPECT_EQ(link.LinkPort(), expected) << n;
    }
    EXPECT_FALSE(link.IsLinkRun());
    EXPECT_FALSE(link.IsPortOpen());
}

// Collects every chunk as the main window would: take it and append it.
class ChunkCollector {
public:
    void Attach(ComThread& link) {
        link.SetOnChunkReceived([this](ComThread& sender) {
            std::string chunk = sender.TakeReceived();
            std::lock_guard lock(mutex_);
            chunks_.push_back(std::move(chunk));
        });
    }
    std::string Text() {
        std::lock_guard lock(mutex_);
        std::string all;
        for (const auto& chunk : chunks_)
            all += chunk;
        return all;
    }
    std::vector<std::string> Chunks() {
        std::lock_guard lock(mutex_);
        return chunks_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> chunks_;
};

// Holds the thread inside its chunk handler until released, which pauses
// its loop at a known point.
class HandlerGate {
public:
    void Attach(ComThread& link) {
        link.SetOnChunkReceived([this](ComThread& sender) {
            std::unique_lock lock(mutex_);
            entered_ = true;
            passAtEntry_ = sender.PassCount();
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
            released_ = false;
            entered_ = false;
        });
    }
    bool WaitEntered() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return entered_; });
    }
    std::uint64_t PassAtEntry() {
        std::lock_guard lock(mutex_);
        return passAtEntry_;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool released_ = false;
    std::uint64_t passAtEntry_ = 0;
};

class ComThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()) << "no pseudo-terminals on this system"; }

    void OpenLink() {
        link.SelectLinkPath(pty.Path());
        link.SetLinkRun(true);
        ASSERT_TRUE(WaitUntil([&] { return link.IsPortOpen(); }));
    }

    PtyPair pty;
    ComThread link;
};

TEST_F(ComThreadTest, OpensAndClosesOnRequest) {
    OpenLink();
    EXPECT_TRUE(link.IsLinkRun());
    link.SetLinkRun(false);
    ASSERT_TRUE(WaitUntil([&] { return !link.IsPortOpen(); }));
    // Closed for real: another user can have the port now.
    TCommPortDriver other;
    other.SetComPortPath(pty.Path());
    EXPECT_TRUE(other.OpenPort()) << other.LastError();
}

TEST_F(ComThreadTest, PortNumberUsesTheEnvironmentPath) {
    ::setenv("VZ_COM4", pty.Path().c_str(), 1);
    link.SelectLinkPort(4);
    link.SetLinkRun(true);
    const bool opened = WaitUntil([&] { return link.IsPortOpen(); });
    link.SetLinkRun(false);
    ASSERT_TRUE(WaitUntil([&] { return !link.IsPortOpen(); }));
    ::unsetenv("VZ_COM4");
    EXPECT_TRUE(opened);
}

TEST_F(ComThreadTest, PostedTextGoesOutUnframed) {
    OpenLink();
    link.PostTx("PB");
    EXPECT_EQ(pty.ReadMaster(2, 5s), "PB");
    link.PostTx(":0300000001\r\n");
    EXPECT_EQ(pty.ReadMaster(13, 5s), ":0300000001\r\n");
    EXPECT_EQ(pty.ReadMaster(1, 100ms), "");
}

TEST_F(ComThreadTest, BurstArrivesWholeInChunksOfAtMost100) {
    ChunkCollector collector;
    collector.Attach(link);
    OpenLink();
    std::string burst;
    for (int i = 0; i < 250; ++i)
        burst.push_back(static_cast<char>(' ' + i % 90));
    pty.WriteMaster(burst);
    ASSERT_TRUE(WaitUntil([&] { return collector.Text().size() >= burst.size(); }));
    EXPECT_EQ(collector.Text(), burst);
    for (const auto& chunk : collector.Chunks()) {
        EXPECT_FALSE(chunk.empty());
        EXPECT_LE(chunk.size(), 100u);
    }
    EXPECT_GE(collector.Chunks().size(), 3u);
}

TEST_F(ComThreadTest, OnlyTheLastOfTwoPostedTextsIsSent) {
    HandlerGate gate;
    gate.Attach(link);
    OpenLink();
    pty.WriteMaster("%");
    ASSERT_TRUE(gate.WaitEntered());
    // The thread is inside its pass, past its write: both land before the next.
    link.PostTx("first");
    link.PostTx("second");
    EXPECT_EQ(link.TakeReceived(), "%");
    gate.Release();
    EXPECT_EQ(pty.ReadMaster(6, 5s), "second");
    EXPECT_EQ(pty.ReadMaster(1, 200ms), "");
}

TEST_F(ComThreadTest, ZeroByteIsDroppedAndTheRestOfTheChunkKept) {
    ChunkCollector collector;
    collector.Attach(link);
    OpenLink();
    pty.WriteMaster(std::string("AB\0CD\0", 6));
    ASSERT_TRUE(WaitUntil([&] { return collector.Text().size() >= 4; }));
    EXPECT_EQ(collector.Text(), "ABCD");
    // A chunk of zero bytes alone raises nothing, and reading goes on.
    pty.WriteMaster(std::string("\0", 1));
    ASSERT_TRUE(WaitUntil([&] { return pty.InputQueued() == 0; }));
    pty.WriteMaster(".");
    ASSERT_TRUE(WaitUntil([&] { return collector.Text().size() >= 5; }));
    EXPECT_EQ(collector.Text(), "ABCD.");
    for (const auto& chunk : collector.Chunks())
        EXPECT_FALSE(chunk.empty());
}

TEST_F(ComThreadTest, NoNewChunkIsReadUntilTheLastIsTaken) {
    std::atomic<int> raised{0};
    link.SetOnChunkReceived([&](ComThread&) { ++raised; });
    OpenLink();
    pty.WriteMaster("A");
    ASSERT_TRUE(WaitUntil([&] { return raised == 1; }));
    pty.WriteMaster("B");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(pty.InputQueued(), 1); // still waiting in the system's queue
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(link.TakeReceived(), "A");
    ASSERT_TRUE(WaitUntil([&] { return raised == 2; }));
    EXPECT_EQ(link.TakeReceived(), "B");
    EXPECT_EQ(link.TakeReceived(), "");
}

TEST_F(ComThreadTest, WithoutAHandlerNothingMoreIsReadAfterTheFirstChunk) {
    OpenLink();
    pty.WriteMaster("A");
    ASSERT_TRUE(WaitUntil([&] { return link.HasReceived(); }));
    pty.WriteMaster("BC");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(pty.InputQueued(), 2);
    EXPECT_EQ(link.TakeReceived(), "A");
    std::string rest;
    ASSERT_TRUE(WaitUntil([&] {
        rest += link.TakeReceived();
        return rest.size() >= 2;
    }));
    EXPECT_EQ(rest, "BC");
}

TEST_F(ComThreadTest, SpeedChangesAreKeptAcrossCloseAndReopen) {
    OpenLink();
    EXPECT_EQ(pty.OutputSpeed(), B57600);
    link.SetSpeedSlow();
    ASSERT_TRUE(WaitUntil([&] { return pty.OutputSpeed() == B19200; }));

    link.SetLinkRun(false);
    ASSERT_TRUE(WaitUntil([&] { return !link.IsPortOpen(); }));
    EXPECT_EQ(pty.OutputSpeed(), B38400); // the terminal's own setting is back
    link.SetLinkRun(true);
    ASSERT_TRUE(WaitUntil([&] { return link.IsPortOpen(); }));
    EXPECT_EQ(pty.OutputSpeed(), B19200);

    link.SetSpeedFast();
    ASSERT_TRUE(WaitUntil([&] { return pty.OutputSpeed() == B57600; }));
    // The link still works at the new speed.
    link.PostTx("ok");
    EXPECT_EQ(pty.ReadMaster(2, 5s), "ok");
}

TEST_F(ComThreadTest, SpeedChosenWhileClosedIsUsedAtTheNextOpen) {
    link.SetSpeedSlow();
    OpenLink();
    EXPECT_EQ(pty.OutputSpeed(), B19200);
}

TEST_F(ComThreadTest, StopClosesThePortWithinOnePass) {
    HandlerGate gate;
    gate.Attach(link);
    OpenLink();
    pty.WriteMaster("x");
    ASSERT_TRUE(gate.WaitEntered());
    const std::uint64_t pass = gate.PassAtEntry();
    link.SetLinkRun(false);
    link.TakeReceived();
    gate.Release();
    // The pass that raised the handler ends, and the next one closes.
    ASSERT_TRUE(WaitUntil([&] { return link.PassCount() >= pass + 2; }));
    EXPECT_FALSE(link.IsPortOpen());
}

TEST_F(ComThreadTest, OpenFailureIsReportedWithTheReasonAndRetried) {
    std::mutex mutex;
    std::vector<LinkFailure> failures;
    link.SetOnOpenFailed([&](ComThread&, const LinkFailure& failure) {
        std::lock_guard lock(mutex);
        failures.push_back(failure);
    });
    link.SelectLinkPath("/nonexistent/vz-tty");
    link.SetLinkRun(true);
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(mutex);
        return failures.size() >= 2;
    }));
    link.SetLinkRun(false);
    std::lock_guard lock(mutex);
    EXPECT_EQ(failures[0].portName, "/nonexistent/vz-tty");
    EXPECT_EQ(failures[0].reason, std::strerror(ENOENT));
    EXPECT_FALSE(failures[0].accessDenied);
    EXPECT_FALSE(link.IsPortOpen());
}

TEST_F(ComThreadTest, NoRetryOnceTheRunIsStoppedFromTheHandler) {
    std::atomic<int> failures{0};
    link.SetOnOpenFailed([&](ComThread& sender, const LinkFailure&) {
        ++failures;
        // The operator answers the message by stopping the run.
        std::this_thread::sleep_for(50ms);
        sender.SetLinkRun(false);
    });
    link.SelectLinkPath("/nonexistent/vz-tty");
    link.SetLinkRun(true);
    ASSERT_TRUE(WaitUntil([&] { return failures == 1; }));
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(failures, 1);
}

TEST_F(ComThreadTest, HangUpClosesThePortAndWaitsForANewRun) {
    std::mutex mutex;
    std::vector<LinkFailure> lost;
    std::atomic<int> openFailures{0};
    link.SetOnPortLost([&](ComThread&, const LinkFailure& failure) {
        std::lock_guard lock(mutex);
        lost.push_back(failure);
    });
    link.SetOnOpenFailed([&](ComThread&, const LinkFailure&) { ++openFailures; });
    OpenLink();
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(mutex);
        return !lost.empty();
    }));
    EXPECT_FALSE(link.IsPortOpen());
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(lost[0].portName, pty.Path());
        EXPECT_FALSE(lost[0].reason.empty());
    }
    // No spinning and no attempt to reopen while the run goes on: at most the
    // pass that raised the handler and the one that starts waiting.
    const std::uint64_t passes = link.PassCount();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(link.PassCount(), passes + 2);
    EXPECT_EQ(openFailures, 0);

    // A new run tries again (the device is gone for good here).
    link.SetLinkRun(false);
    link.SetLinkRun(true);
    ASSERT_TRUE(WaitUntil([&] { return openFailures >= 1 || link.IsPortOpen(); }));
    link.SetLinkRun(false);
}

TEST_F(ComThreadTest, IdleLinkDoesNotSpin) {
    // Closed.
    std::this_thread::sleep_for(50ms);
    std::uint64_t passes = link.PassCount();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(link.PassCount(), passes + 1);

    // Open, nothing on the line: a spinning loop would make a pass per tick.
    OpenLink();
    std::this_thread::sleep_for(50ms);
    passes = link.PassCount();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(link.PassCount(), passes + 5);

    // Open with a chunk nobody takes: the data waiting must not wake the loop.
    link.SetOnChunkReceived(nullptr);
    pty.WriteMaster("A");
    ASSERT_TRUE(WaitUntil([&] { return link.HasReceived(); }));
    pty.WriteMaster("B");
    std::this_thread::sleep_for(50ms);
    passes = link.PassCount();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(link.PassCount(), passes + 5);
    EXPECT_EQ(link.TakeReceived(), "A");
}

} // namespace
} // namespace vz::test

// The write and read loops of the port driver and their time-outs, on the
// simulated port's clock.
#include "sim_driver_fixture.h"

namespace vz::test {
namespace {

TEST_F(SimDriverTest, WriteTextSendsEverythingInRoomSizedPieces) {
    OpenFresh();
    EXPECT_TRUE(driver->WriteText(""));
    EXPECT_EQ(sim->WriteCalls(), 0);

    EXPECT_TRUE(driver->WriteText("hello"));
    EXPECT_EQ(sim->TakeOutput(), "hello");

    sim->SetWriteLimit(2);
    EXPECT_TRUE(driver->WriteText("abcde"));
    EXPECT_EQ(sim->TakeOutput(), "abcde");
    EXPECT_EQ(sim->WriteCalls(), 4);
}

TEST_F(SimDriverTest, WriteNeverAsksMoreThanTheRoomLeft) {
    OpenFresh();
    sim->SetOutputQueued(2045);
    const std::string text(10, 'x');
    EXPECT_EQ(driver->WriteBytes(text.data(), 10, 500), 10u);
    EXPECT_EQ(sim->LargestWriteRequest(), 3u);
    EXPECT_EQ(sim->NowTick(), 0u);
}

TEST_F(SimDriverTest, WriteGivesUpJustAfterTheTimeoutWithoutRoom) {
    OpenFresh();
    sim->SetNow(1000);
    sim->SetOutputQueued(2048);
    EXPECT_EQ(driver->WriteBytes("abc", 3, 500), 0u);
    EXPECT_EQ(sim->NowTick(), 1501u);
    EXPECT_EQ(sim->WriteCalls(), 0);
    EXPECT_FALSE(driver->WriteText("abc"));
}

TEST_F(SimDriverTest, WriteGivesUpWhenTheSystemTakesNothing) {
    OpenFresh();
    sim->SetWriteLimit(0);
    EXPECT_EQ(driver->WriteBytes("abc", 3, 200), 0u);
    EXPECT_EQ(sim->NowTick(), 201u);
}

TEST_F(SimDriverTest, WriteTimeoutRestartsWithEachProgress) {
    OpenFresh();
    sim->SetWriteBudget(0);
    sim->At(400, [this] { sim->SetWriteBudget(1); });
    EXPECT_EQ(driver->WriteBytes("abc", 3, 500), 1u);
    EXPECT_EQ(sim->Output(), "a");
    EXPECT_EQ(sim->NowTick(), 901u);

    // Room that comes back in time lets the whole text through.
    sim->TakeOutput();
    sim->SetWriteBudget(SIZE_MAX);
    sim->SetOutputQueued(2048);
    sim->At(1200, [this] { sim->SetOutputQueued(0); });
    EXPECT_TRUE(driver->WriteText("xyz"));
    EXPECT_EQ(sim->Output(), "xyz");
    EXPECT_EQ(sim->NowTick(), 1200u);
}

TEST_F(SimDriverTest, WriteTimeoutAcrossTheTickWrap) {
    OpenFresh();
    sim->SetNow(0xFFFFFF00u);
    sim->SetOutputQueued(2048);
    EXPECT_EQ(driver->WriteBytes("abc", 3, 500), 0u);
    EXPECT_EQ(sim->NowTick(), 0xFFFFFF00u + 501u);
}

TEST_F(SimDriverTest, CheckLineStatusRefusesWritesWithoutModemLines) {
    OpenFresh();
    driver->SetCheckLineStatus(true);
    sim->SetModemLines(0);
    EXPECT_FALSE(driver->WriteText("abc"));
    sim->SetModemLines(std::nullopt);
    EXPECT_FALSE(driver->WriteText("abc"));
    EXPECT_EQ(sim->WriteCalls(), 0);
    EXPECT_EQ(sim->NowTick(), 0u); // refused at once, not after the time-out

    sim->SetModemLines(mlDSR);
    EXPECT_TRUE(driver->WriteText("abc"));
    EXPECT_EQ(sim->Output(), "abc");

    driver->SetCheckLineStatus(false);
    sim->SetModemLines(0);
    EXPECT_TRUE(driver->WriteText("d"));
}

TEST_F(SimDriverTest, WriteStopsWhenThePortGoesAway) {
    OpenFresh();
    sim->SetWriteLimit(0);
    sim->At(100, [this] { sim->HangUp("gone"); });
    EXPECT_EQ(driver->WriteBytes("abc", 3, 500), 0u);
    EXPECT_EQ(sim->NowTick(), 100u);
    EXPECT_TRUE(driver->PortFailed());
    EXPECT_EQ(driver->LostReason(), "gone");
}

TEST_F(SimDriverTest, ReadWithNothingArrivingEndsJustAfterTheTimeout) {
    OpenFresh();
    EXPECT_EQ(ReadAll(0), "");
    EXPECT_EQ(sim->NowTick(), 0u);

    sim->SetNow(5000);
    EXPECT_EQ(ReadAll(10), "");
    EXPECT_EQ(sim->NowTick(), 5201u);
    EXPECT_EQ(driver->PollingPauseCount(), 0);

    driver->SetInputTimeout(0);
    EXPECT_EQ(ReadAll(10), "");
    EXPECT_EQ(sim->NowTick(), 5202u);
}

TEST_F(SimDriverTest, EmptyReadGivesWayToWorkForThePort) {
    OpenFresh();
    sim->SetNow(100);
    driver->Interrupt();
    EXPECT_EQ(ReadAll(10), "");
    EXPECT_EQ(sim->NowTick(), 100u);
    // Bytes already read still end at the gap: an interrupt does not cut a chunk short.
    sim->PushInput("A");
    sim->At(150, [this] { sim->PushInput("B"); });
    driver->Interrupt();
    EXPECT_EQ(ReadAll(10), "AB");
}

TEST_F(SimDriverTest, ReadEndsAtAGapLongerThanTheInputTimeout) {
    OpenFresh();
    sim->At(50, [this] { sim->PushInput("A"); });
    sim->At(150, [this] { sim->PushInput("BC"); });
    sim->At(400, [this] { sim->PushInput("D"); });
    EXPECT_EQ(ReadAll(10), "ABC");
    EXPECT_EQ(sim->NowTick(), 351u);
    EXPECT_EQ(ReadAll(10), "D");
}

TEST_F(SimDriverTest, ReadStopsWhenTheBufferIsFull) {
    OpenFresh();
    const std::string burst(150, 'q');
    sim->PushInput(burst);
    EXPECT_EQ(ReadAll(100), std::string(100, 'q'));
    EXPECT_EQ(sim->NowTick(), 0u);
    EXPECT_EQ(sim->InputLeft(), 50u);
}

TEST_F(SimDriverTest, ReadWithZeroTimeoutEndsWhenNothingMoreIsWaiting) {
    OpenFresh();
    driver->SetInputTimeout(0);
    sim->PushInput("ab");
    sim->At(1, [this] { sim->PushInput("c"); });
    sim->At(3, [this] { sim->PushInput("de"); });
    // No wait for the tick once a byte came: the read ends with the bytes waiting.
    EXPECT_EQ(ReadAll(100), "ab");
    EXPECT_EQ(sim->NowTick(), 0u);
    // With nothing waiting it lasts one tick and takes what arrives within it.
    EXPECT_EQ(ReadAll(100), "c");
    EXPECT_EQ(sim->NowTick(), 1u);
    EXPECT_EQ(ReadAll(100), "");
    EXPECT_EQ(sim->NowTick(), 2u);
    sim->Advance(1);
    EXPECT_EQ(ReadAll(1), "d");
    EXPECT_EQ(ReadAll(100), "e");
}

TEST_F(SimDriverTest, ReadTimeoutAcrossTheTickWrap) {
    OpenFresh();
    sim->SetNow(0xFFFFFFF0u);
    sim->At(0xFFFFFFF0u + 100, [this] { sim->PushInput("x"); });
    EXPECT_EQ(ReadAll(10), "x");
    EXPECT_EQ(sim->NowTick(), 0xFFFFFFF0u + 301u);
}

TEST_F(SimDriverTest, ReadStopsWhenThePortGoesAway) {
    OpenFresh();
    sim->PushInput("ab");
    sim->At(20, [this] { sim->HangUp("The device hung up"); });
    EXPECT_EQ(ReadAll(10), "ab");
    EXPECT_EQ(sim->NowTick(), 20u);
    EXPECT_TRUE(driver->PortFailed());
    EXPECT_EQ(driver->LostReason(), "The device hung up");
    EXPECT_EQ(driver->PollingPauseCount(), 0);
}

} // namespace
} // namespace vz::test

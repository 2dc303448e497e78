// The periodic delivery of received bytes, raw and as packets.
#include "sim_driver_fixture.h"

#include <vector>

namespace vz::test {
namespace {

class PollingTest : public SimDriverTest {
protected:
    void Record() {
        driver->SetOnReceiveData([this](TCommPortDriver& sender, const void* data, std::uint32_t size) {
            EXPECT_EQ(&sender, driver.get());
            raw.emplace_back(static_cast<const char*>(data), size);
        });
        driver->SetOnReceivePacket([this](TCommPortDriver& sender, const void* data, std::uint32_t size) {
            EXPECT_EQ(&sender, driver.get());
            packets.emplace_back(static_cast<const char*>(data), size);
        });
    }

    // Packets of `size` with the given flush time-out, timed from tick 0.
    void StartPackets(std::int16_t size, std::int32_t timeout, TComPortBaudRate speed = br9600) {
        Record();
        driver->SetComPortSpeed(speed);
        driver->SetPacketSize(size);
        driver->SetPacketTimeout(timeout);
        OpenFresh();
    }

    std::vector<std::string> raw;
    std::vector<std::string> packets;
};

TEST_F(PollingTest, NothingWhileClosedOrSuspended) {
    Record();
    driver->PollOnce();
    OpenFresh();
    sim->PushInput("abc");
    driver->SuspendPolling();
    driver->PollOnce();
    EXPECT_TRUE(raw.empty());
    EXPECT_EQ(sim->InputLeft(), 3u);
    driver->ResumePolling();
    driver->PollOnce();
    EXPECT_EQ(raw, (std::vector<std::string>{"abc"}));
}

TEST_F(PollingTest, RawDeliveryTakesWhatIsWaiting) {
    Record();
    OpenFresh();
    driver->PollOnce();
    EXPECT_TRUE(raw.empty());
    sim->PushInput("hello");
    driver->PollOnce();
    EXPECT_EQ(raw, (std::vector<std::string>{"hello"}));

    // Without a handler the bytes are read all the same.
    driver->SetOnReceiveData(nullptr);
    sim->PushInput("lost");
    driver->PollOnce();
    EXPECT_EQ(sim->InputLeft(), 0u);
}

TEST_F(PollingTest, RawDeliveryNeverOverrunsTheWorkBuffer) {
    Record();
    driver->SetComPortInBufSize(16);
    OpenFresh();
    const std::string burst = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    sim->PushInput(burst);
    driver->PollOnce();
    driver->PollOnce();
    driver->PollOnce();
    EXPECT_EQ(raw, (std::vector<std::string>{burst.substr(0, 16), burst.substr(16, 16), burst.substr(32)}));
}

TEST_F(PollingTest, FullPacketsAreDeliveredAndTheRestWaits) {
    StartPackets(4, 300);
    sim->PushInput("abcdefghij");
    driver->PollOnce();
    EXPECT_EQ(packets, (std::vector<std::string>{"abcd", "efgh"}));
    EXPECT_EQ(sim->InputLeft(), 2u);
    EXPECT_TRUE(raw.empty());
}

TEST_F(PollingTest, IncompletePacketIsDiscardedAfterTheTimeout) {
    StartPackets(4, 300);
    sim->PushInput("ij");
    driver->PollOnce(); // start time 0
    sim->Advance(300);
    driver->PollOnce();
    EXPECT_EQ(sim->InputLeft(), 2u);
    sim->Advance(1);
    driver->PollOnce();
    EXPECT_EQ(sim->InputLeft(), 0u);
    EXPECT_TRUE(packets.empty());

    // Without a time-out an incomplete packet waits for ever.
    driver->SetPacketTimeout(-1);
    sim->PushInput("kl");
    driver->PollOnce();
    sim->Advance(1000000);
    driver->PollOnce();
    EXPECT_EQ(sim->InputLeft(), 2u);
}

TEST_F(PollingTest, IncompletePacketIsPassedAfterTheTimeoutInPassMode) {
    StartPackets(4, 300);
    driver->SetPacketMode(pmPass);
    sim->PushInput("ij");
    driver->PollOnce();
    sim->Advance(301);
    driver->PollOnce();
    EXPECT_EQ(packets, (std::vector<std::string>{"ij"}));

    // The start time was cleared: the next piece is timed from its own arrival.
    sim->PushInput("k");
    driver->PollOnce();
    sim->Advance(300);
    driver->PollOnce();
    EXPECT_EQ(packets.size(), 1u);
}

TEST_F(PollingTest, DeliveringEverythingClearsTheStartTime) {
    StartPackets(4, 300);
    driver->SetPacketMode(pmPass);
    sim->PushInput("ab");
    driver->PollOnce(); // start time 0
    sim->Advance(100);
    sim->PushInput("cdefgh");
    driver->PollOnce(); // two packets, nothing left
    EXPECT_EQ(packets.size(), 2u);
    sim->Advance(100);
    sim->PushInput("xy");
    driver->PollOnce(); // start time 200
    sim->Advance(250);
    driver->PollOnce(); // 450 since the first bytes, 250 since these
    EXPECT_EQ(packets.size(), 2u);
    sim->Advance(51);
    driver->PollOnce();
    EXPECT_EQ(packets.back(), "xy");
}

TEST_F(PollingTest, EachPacketMovesTheStartOnByItsTransmissionTime) {
    // 10 bytes at 600 bit/s: 166.67 ms, rounded to 167.
    StartPackets(10, 1000, br600);
    driver->SetPacketMode(pmPass);
    sim->PushInput("01234");
    driver->PollOnce(); // start time 0
    sim->Advance(50);
    sim->PushInput("56789abcdefg");
    driver->PollOnce();
    EXPECT_EQ(packets, (std::vector<std::string>{"0123456789"}));
    sim->Advance(1167 - 50);
    driver->PollOnce();
    EXPECT_EQ(packets.size(), 1u);
    sim->Advance(1);
    driver->PollOnce();
    EXPECT_EQ(packets.back(), "abcdefg");
}

TEST_F(PollingTest, PurgeClearsTheStartTime) {
    StartPackets(8, 300);
    driver->SetPacketMode(pmPass);
    sim->PushInput("ab");
    driver->PollOnce(); // start time 0
    sim->Advance(200);
    driver->Purge(false, true);
    sim->Advance(50);
    sim->PushInput("cd");
    driver->PollOnce(); // start time 250
    sim->Advance(150);
    driver->PollOnce();
    EXPECT_TRUE(packets.empty());
    sim->Advance(151);
    driver->PollOnce();
    EXPECT_EQ(packets, (std::vector<std::string>{"abcd"}));
}

TEST_F(PollingTest, PacketLargerThanTheBufferWhileOpenStillFits) {
    Record();
    OpenFresh();
    driver->SetPacketSize(3000);
    EXPECT_EQ(driver->ComPortInBufSize(), 6000);
    const std::string big(3000, 'p');
    sim->PushInput(big);
    driver->PollOnce();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], big);
}

} // namespace
} // namespace vz::test

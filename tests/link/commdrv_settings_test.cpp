// Property rules of the port driver and how they reach the line.
#include "sim_driver_fixture.h"

#include <vector>

namespace vz::test {
namespace {

using Log = std::vector<std::string>;

TEST(CommDrvTypes, SpeedOfEachRate) {
    const std::uint32_t speeds[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                    14400, 19200, 38400, 56000, 57600, 115200};
    for (int rate = br110; rate <= br115200; ++rate)
        EXPECT_EQ(BaudRateBitsPerSecond(static_cast<TComPortBaudRate>(rate)), speeds[rate]) << rate;
}

TEST_F(SimDriverTest, InitialValues) {
    EXPECT_EQ(driver->ComPort(), pnCOM2);
    EXPECT_EQ(driver->ComPortSpeed(), br9600);
    EXPECT_EQ(driver->ComPortDataBits(), db8BITS);
    EXPECT_EQ(driver->ComPortStopBits(), sb1BITS);
    EXPECT_EQ(driver->ComPortParity(), ptNONE);
    EXPECT_EQ(driver->ComPortHwHandshaking(), hhNONERTSON);
    EXPECT_EQ(driver->ComPortSwHandshaking(), shNONE);
    EXPECT_EQ(driver->ComPortInBufSize(), 2048);
    EXPECT_EQ(driver->ComPortOutBufSize(), 2048);
    EXPECT_EQ(driver->PacketSize(), -1);
    EXPECT_EQ(driver->PacketTimeout(), -1);
    EXPECT_EQ(driver->PacketMode(), pmDiscard);
    EXPECT_EQ(driver->ComPortPollingDelay(), 100);
    EXPECT_EQ(driver->OutputTimeout(), 500);
    EXPECT_EQ(driver->InputTimeout(), 200u);
    EXPECT_TRUE(driver->EnableDTROnOpen());
    EXPECT_FALSE(driver->CheckLineStatus());
    EXPECT_EQ(driver->PollingPauseCount(), 0);
    EXPECT_FALSE(driver->IsOpen());
}

TEST_F(SimDriverTest, OpenSequenceAndDeviceNames) {
    driver->SetComPort(pnCOM10);
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_EQ(sim->Log(), (Log{"open \\\\.\\COM10", "apply", "purge 1 1", "queues 2048 2048"}));
    EXPECT_EQ(driver->PortName(), "\\\\.\\COM10");
    EXPECT_TRUE(driver->PollingActive());

    // Already open: nothing is done again.
    sim->ClearLog();
    EXPECT_TRUE(driver->OpenPort());
    EXPECT_TRUE(sim->Log().empty());

    driver->ClosePort();
    EXPECT_FALSE(driver->IsOpen());
    EXPECT_FALSE(driver->PollingActive());
    driver->SetComPort(pnCOM1);
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_EQ(sim->Log().back(), "queues 2048 2048");
    EXPECT_EQ(driver->PortName(), "\\\\.\\COM1");
}

TEST_F(SimDriverTest, PortNumberAndPathIgnoredWhileOpen) {
    OpenFresh(); // COM2
    driver->SetComPort(pnCOM5);
    driver->SetComPortPath("/dev/other");
    EXPECT_EQ(driver->ComPort(), pnCOM2);
    EXPECT_TRUE(driver->ComPortPath().empty());
    driver->ClosePort();
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_EQ(driver->PortName(), "\\\\.\\COM2");

    driver->ClosePort();
    driver->SetComPortPath("/dev/ttyUSB3");
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_EQ(driver->PortName(), "/dev/ttyUSB3");
    driver->ClosePort();
    driver->SetComPortPath("");
    driver->SetComPort(pnCOM5);
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_EQ(driver->PortName(), "\\\\.\\COM5");
}

TEST_F(SimDriverTest, OpenFailureKeepsTheReason) {
    sim->FailOpens("Access is denied", true);
    EXPECT_FALSE(driver->OpenPort());
    EXPECT_FALSE(driver->IsOpen());
    EXPECT_EQ(driver->LastError(), "Access is denied");
    EXPECT_TRUE(driver->LastErrorAccessDenied());
    EXPECT_EQ(sim->Log(), (Log{"open \\\\.\\COM2"}));

    sim->FailOpens("The system cannot find the file specified", false);
    EXPECT_FALSE(driver->OpenPort());
    EXPECT_FALSE(driver->LastErrorAccessDenied());

    sim->AllowOpens();
    EXPECT_TRUE(driver->OpenPort());
    EXPECT_TRUE(driver->LastError().empty());
}

TEST_F(SimDriverTest, RefusedSettingsLeaveThePortClosed) {
    sim->RefuseBaud(14400);
    driver->SetComPortSpeed(br14400);
    EXPECT_FALSE(driver->OpenPort());
    EXPECT_FALSE(driver->IsOpen());
    EXPECT_NE(driver->LastError().find("14400"), std::string::npos);
    EXPECT_EQ(sim->Log(), (Log{"open \\\\.\\COM2", "apply", "close"}));

    // Refused while open: the port stays open with the settings it had.
    driver->SetComPortSpeed(br57600);
    ASSERT_TRUE(driver->OpenPort());
    sim->ClearLog();
    driver->SetComPortSpeed(br14400);
    EXPECT_TRUE(driver->IsOpen());
    EXPECT_EQ(sim->AppliedSettings()->baud, 57600u);
    EXPECT_EQ(sim->Log(), (Log{"apply"}));
}

TEST_F(SimDriverTest, SpeedChangeWhileOpenReprogramsAndPurges) {
    OpenFresh();
    sim->PushInput("stale input");
    sim->SetOutputQueued(100);
    driver->SetComPortSpeed(br19200);
    EXPECT_EQ(sim->Log(), (Log{"apply", "purge 1 1", "queues 2048 2048"}));
    EXPECT_EQ(sim->AppliedSettings()->baud, 19200u);
    EXPECT_EQ(sim->InputLeft(), 0u);
    EXPECT_EQ(driver->OutputRoom(), 2048u);

    // While closed the value is only stored, and used at the next open.
    driver->ClosePort();
    sim->ClearLog();
    driver->SetComPortSpeed(br57600);
    EXPECT_EQ(sim->Log(), (Log{}));
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_EQ(sim->AppliedSettings()->baud, 57600u);
}

TEST_F(SimDriverTest, LineSettersMapToTheLine) {
    OpenFresh();
    const LineSettings initial = *sim->AppliedSettings();
    EXPECT_EQ(initial.dataBits, 8);
    EXPECT_EQ(initial.parity, LineParity::None);
    EXPECT_EQ(initial.stopBits, LineStopBits::One);
    EXPECT_TRUE(initial.rtsOn);
    EXPECT_FALSE(initial.rtsCtsFlow);
    EXPECT_TRUE(initial.dtrOn);
    EXPECT_FALSE(initial.xonXoff);
    EXPECT_EQ(initial.xonChar, 17);
    EXPECT_EQ(initial.xoffChar, 19);

    driver->SetComPortDataBits(db5BITS);
    EXPECT_EQ(sim->AppliedSettings()->dataBits, 5);
    driver->SetComPortDataBits(db7BITS);
    EXPECT_EQ(sim->AppliedSettings()->dataBits, 7);
    driver->SetComPortParity(ptMARK);
    EXPECT_EQ(sim->AppliedSettings()->parity, LineParity::Mark);
    driver->SetComPortParity(ptODD);
    EXPECT_EQ(sim->AppliedSettings()->parity, LineParity::Odd);
    driver->SetComPortStopBits(sb1HALFBITS);
    EXPECT_EQ(sim->AppliedSettings()->stopBits, LineStopBits::OneAndHalf);
    driver->SetComPortHwHandshaking(hhRTSCTS);
    EXPECT_TRUE(sim->AppliedSettings()->rtsCtsFlow);
    EXPECT_FALSE(sim->AppliedSettings()->rtsOn);
    driver->SetComPortHwHandshaking(hhNONE);
    EXPECT_FALSE(sim->AppliedSettings()->rtsCtsFlow);
    EXPECT_FALSE(sim->AppliedSettings()->rtsOn);
    driver->SetComPortSwHandshaking(shXONXOFF);
    EXPECT_TRUE(sim->AppliedSettings()->xonXoff);
    // Each of the six setters reprogrammed the line and purged both queues.
    int applies = 0, purges = 0;
    for (const auto& step : sim->Log()) {
        applies += step == "apply";
        purges += step == "purge 1 1";
    }
    EXPECT_EQ(applies, 8);
    EXPECT_EQ(purges, 8);

    driver->ClosePort();
    driver->SetEnableDTROnOpen(false);
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_FALSE(sim->AppliedSettings()->dtrOn);
}

TEST_F(SimDriverTest, QueueSizesChangeOnlyWhileClosed) {
    driver->SetComPortInBufSize(4096);
    driver->SetComPortOutBufSize(1024);
    OpenFresh();
    driver->SetComPortInBufSize(100);
    driver->SetComPortOutBufSize(100);
    EXPECT_EQ(driver->ComPortInBufSize(), 4096);
    EXPECT_EQ(driver->ComPortOutBufSize(), 1024);
    driver->ApplyLineSettings();
    EXPECT_EQ(sim->Log().back(), "queues 4096 1024");
}

TEST_F(SimDriverTest, PacketSizeRules) {
    driver->SetPacketSize(0);
    EXPECT_EQ(driver->PacketSize(), -1);
    driver->SetPacketSize(-7);
    EXPECT_EQ(driver->PacketSize(), -1);
    driver->SetPacketSize(100);
    EXPECT_EQ(driver->PacketSize(), 100);
    EXPECT_EQ(driver->ComPortInBufSize(), 2048);
    driver->SetPacketSize(3000);
    EXPECT_EQ(driver->PacketSize(), 3000);
    EXPECT_EQ(driver->ComPortInBufSize(), 6000);

    // A smaller input buffer is grown again to fit the packet.
    driver->SetComPortInBufSize(1000);
    EXPECT_EQ(driver->ComPortInBufSize(), 6000);
    driver->SetPacketSize(-1);
    driver->SetComPortInBufSize(1000);
    EXPECT_EQ(driver->ComPortInBufSize(), 1000);
}

TEST_F(SimDriverTest, PacketTimeoutRules) {
    driver->SetPacketTimeout(50);
    EXPECT_EQ(driver->PacketTimeout(), 250);
    driver->SetPacketTimeout(0);
    EXPECT_EQ(driver->PacketTimeout(), -1);
    driver->SetPacketTimeout(-3);
    EXPECT_EQ(driver->PacketTimeout(), -1);
    driver->SetPacketTimeout(100);
    EXPECT_EQ(driver->PacketTimeout(), 100);
    driver->SetPacketTimeout(99);
    EXPECT_EQ(driver->PacketTimeout(), 250);

    // A new polling delay checks the time-out again.
    driver->SetPacketTimeout(120);
    driver->SetComPortPollingDelay(200);
    EXPECT_EQ(driver->ComPortPollingDelay(), 200);
    EXPECT_EQ(driver->PacketTimeout(), 350);
    driver->SetPacketTimeout(-1);
    driver->SetComPortPollingDelay(65535);
    EXPECT_EQ(driver->PacketTimeout(), -1);
    driver->SetPacketTimeout(1000);
    EXPECT_EQ(driver->PacketTimeout(), 65685);
}

struct XonCase {
    const char* platform;
    int major;
    std::uint16_t inBufSize;
    std::uint16_t limit;
};

class XonXoffLimits : public SimDriverTest, public ::testing::WithParamInterface<XonCase> {};

TEST_P(XonXoffLimits, QuarterOfTheInputBufferCappedOnNt4) {
    const XonCase c = GetParam();
    sim->SetPlatform(c.platform, c.major);
    driver->SetComPortInBufSize(c.inBufSize);
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_EQ(sim->AppliedSettings()->xonLimit, c.limit);
    EXPECT_EQ(sim->AppliedSettings()->xoffLimit, c.limit);
}

INSTANTIATE_TEST_SUITE_P(Platforms, XonXoffLimits,
                         ::testing::Values(XonCase{"WNT", 5, 65535, 4096}, XonCase{"WNT", 4, 65535, 4096},
                                           XonCase{"WNT", 3, 65535, 16383}, XonCase{"W95", 4, 65535, 16383},
                                           XonCase{"??", 0, 65535, 16383}, XonCase{"Linux", 6, 65535, 16383},
                                           XonCase{"WNT", 5, 2048, 512}, XonCase{"W95", 4, 2048, 512}));

TEST_F(SimDriverTest, ClosedPortGivesNeutralResults) {
    char buffer[8];
    EXPECT_EQ(driver->BytesWaiting(), 65535u);
    EXPECT_EQ(driver->OutputRoom(), 65535u);
    EXPECT_EQ(driver->ModemLines(), 0);
    EXPECT_EQ(driver->ReadBytes(buffer, sizeof buffer), 0u);
    EXPECT_EQ(driver->WriteBytes("abc", 3, 500), 0u);
    EXPECT_FALSE(driver->WriteText("abc"));
    EXPECT_FALSE(driver->ApplyLineSettings());
    driver->Purge(true, true);
    EXPECT_TRUE(sim->Log().empty());
    EXPECT_EQ(sim->WriteCalls(), 0);
    EXPECT_EQ(sim->NowTick(), 0u); // nothing waited
}

TEST_F(SimDriverTest, QueueCountsPurgeAndModemLines) {
    OpenFresh();
    sim->PushInput("12345");
    EXPECT_EQ(driver->BytesWaiting(), 5u);
    sim->SetOutputQueued(2000);
    EXPECT_EQ(driver->OutputRoom(), 48u);
    sim->SetOutputQueued(3000); // more than our own limit
    EXPECT_EQ(driver->OutputRoom(), 0u);

    driver->Purge(true, false);
    EXPECT_EQ(driver->BytesWaiting(), 0u);
    EXPECT_EQ(driver->OutputRoom(), 0u);
    driver->Purge(false, true);
    EXPECT_EQ(driver->OutputRoom(), 2048u);
    EXPECT_EQ(sim->Log(), (Log{"purge 1 0", "purge 0 1"}));

    sim->SetModemLines(mlCTS | mlDCD);
    EXPECT_EQ(driver->ModemLines(), mlCTS | mlDCD);
    sim->SetModemLines(std::nullopt);
    EXPECT_EQ(driver->ModemLines(), 0);
}

} // namespace
} // namespace vz::test

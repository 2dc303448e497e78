// The port driver on this system's serial ports, tried on pseudo-terminals.
#include "link/commdrv.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace vz::test {
namespace {

using namespace std::chrono_literals;

class PosixPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok()) << "no pseudo-terminals on this system";
        driver.SetComPortPath(pty.Path());
    }

    std::string Read(std::uint32_t capacity) {
        std::string buffer(capacity, '\0');
        buffer.resize(driver.ReadBytes(buffer.data(), capacity));
        return buffer;
    }

    PtyPair pty;
    TCommPortDriver driver;
};

TEST_F(PosixPortTest, OpensByPathAndMovesBytesBothWays) {
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    EXPECT_EQ(driver.PortName(), pty.Path());
    EXPECT_TRUE(driver.WriteText("PB\r\n"));
    EXPECT_EQ(pty.ReadMaster(4, 5s), "PB\r\n");

    driver.SetInputTimeout(100);
    pty.WriteMaster(std::string("%.\x01\x00X", 5));
    EXPECT_EQ(Read(100), std::string("%.\x01\x00X", 5));
    driver.ClosePort();
    EXPECT_FALSE(driver.IsOpen());
}

TEST_F(PosixPortTest, PortNumberFollowsTheEnvironment) {
    ::setenv("VZ_COM7", pty.Path().c_str(), 1);
    TCommPortDriver numbered;
    numbered.SetComPort(pnCOM7);
    const bool opened = numbered.OpenPort();
    ::unsetenv("VZ_COM7");
    ASSERT_TRUE(opened) << numbered.LastError();
    EXPECT_EQ(numbered.PortName(), pty.Path());
}

TEST_F(PosixPortTest, MissingDeviceReportsTheSystemReason) {
    driver.ClosePort();
    driver.SetComPortPath("/nonexistent/vz-tty");
    EXPECT_FALSE(driver.OpenPort());
    EXPECT_EQ(driver.LastError(), std::strerror(ENOENT));
    EXPECT_FALSE(driver.LastErrorAccessDenied());
    EXPECT_EQ(driver.PortName(), "/nonexistent/vz-tty");
}

TEST_F(PosixPortTest, SecondOpenerIsRefusedUntilTheFirstCloses) {
    ASSERT_TRUE(driver.OpenPort());
    TCommPortDriver second;
    second.SetComPortPath(pty.Path());
    EXPECT_FALSE(second.OpenPort());
    EXPECT_EQ(second.LastError(), std::strerror(EBUSY));
    driver.ClosePort();
    EXPECT_TRUE(second.OpenPort()) << second.LastError();
}

TEST_F(PosixPortTest, LineSettingsReachTheTerminal) {
    driver.SetComPortSpeed(br57600);
    ASSERT_TRUE(driver.OpenPort());
    termios t = pty.Settings();
    EXPECT_EQ(::cfgetospeed(&t), B57600);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);

    // Each setter reprograms the open line at once.
    driver.SetComPortSpeed(br19200);
    driver.SetComPortStopBits(sb2BITS);
    driver.SetComPortHwHandshaking(hhRTSCTS);
    driver.SetComPortSwHandshaking(shXONXOFF);
    t = pty.Settings();
    EXPECT_EQ(::cfgetospeed(&t), B19200);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
}

TEST_F(PosixPortTest, SpeedTheSystemLacksIsRefusedCleanly) {
#ifdef B14400
    GTEST_SKIP() << "this system has 14400 bit/s";
#else
    driver.SetComPortSpeed(br14400);
    EXPECT_FALSE(driver.OpenPort());
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_NE(driver.LastError().find("14400"), std::string::npos) << driver.LastError();

    // Nothing was left behind: the port opens at a speed it has.
    driver.SetComPortSpeed(br57600);
    EXPECT_TRUE(driver.OpenPort()) << driver.LastError();
    driver.SetComPortSpeed(br56000);
    EXPECT_TRUE(driver.IsOpen());
    EXPECT_EQ(pty.OutputSpeed(), B57600);
    EXPECT_NE(driver.LastError().find("56000"), std::string::npos);
#endif
}

TEST_F(PosixPortTest, OriginalSettingsComeBackOnClose) {
    ASSERT_EQ(pty.OutputSpeed(), B38400);
    driver.SetComPortSpeed(br57600);
    ASSERT_TRUE(driver.OpenPort());
    EXPECT_EQ(pty.OutputSpeed(), B57600);
    driver.ClosePort();
    EXPECT_EQ(pty.OutputSpeed(), B38400);
}

TEST_F(PosixPortTest, QueueCountsAndPurge) {
    ASSERT_TRUE(driver.OpenPort());
    EXPECT_EQ(driver.OutputRoom(), 2048u);
    pty.WriteMaster("abcdef");
    ASSERT_TRUE(WaitUntil([&] { return driver.BytesWaiting() == 6; }));
    driver.Purge(true, false);
    EXPECT_EQ(driver.BytesWaiting(), 0u);
    EXPECT_EQ(pty.InputQueued(), 0);
}

TEST_F(PosixPortTest, ZeroTimeoutReadTakesABurstUpToTheCapacity) {
    driver.SetInputTimeout(0);
    ASSERT_TRUE(driver.OpenPort());
    std::string burst;
    for (int i = 0; i < 250; ++i)
        burst.push_back(static_cast<char>('A' + i % 26));
    pty.WriteMaster(burst);
    ASSERT_TRUE(WaitUntil([&] { return pty.InputQueued() == 250; }));
    EXPECT_EQ(Read(100), burst.substr(0, 100));
    EXPECT_EQ(Read(100), burst.substr(100, 100));
    EXPECT_EQ(Read(100), burst.substr(200));
    EXPECT_EQ(Read(100), "");
}

TEST_F(PosixPortTest, WriteToAStalledLineGivesUp) {
    driver.SetOutputTimeout(100);
    ASSERT_TRUE(driver.OpenPort());
    // Nobody reads the master side: the pseudo-terminal's buffers fill up.
    const std::string flood(4 * 1024 * 1024, 'f');
    const std::uint32_t written =
        driver.WriteBytes(flood.data(), static_cast<std::uint32_t>(flood.size()), 100);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, flood.size());
}

TEST_F(PosixPortTest, HangUpIsReportedInsteadOfSpinning) {
    ASSERT_TRUE(driver.OpenPort());
    EXPECT_FALSE(driver.PortFailed());
    pty.CloseMaster();
    EXPECT_EQ(driver.WaitForEvent(5000, true), WaitResult::Failed);
    EXPECT_TRUE(driver.PortFailed());
    EXPECT_FALSE(driver.LostReason().empty());
    char buffer[4];
    EXPECT_EQ(driver.ReadBytes(buffer, sizeof buffer), 0u);
    EXPECT_FALSE(driver.WriteText("x"));
    driver.ClosePort();
    EXPECT_FALSE(driver.IsOpen());
}

TEST_F(PosixPortTest, WaitEndsOnInterruptFromAnotherThread) {
    ASSERT_TRUE(driver.OpenPort());
    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);
        driver.Interrupt();
    });
    EXPECT_EQ(driver.WaitForEvent(-1, true), WaitResult::Woken);
    waker.join();
    pty.WriteMaster("d");
    EXPECT_EQ(driver.WaitForEvent(5000, true), WaitResult::Ready);
    // Data is not looked at when not asked for.
    EXPECT_EQ(driver.WaitForEvent(30, false), WaitResult::TimedOut);
}

TEST_F(PosixPortTest, NoWakeUpPipeFailsTheOpen) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Room for the device's descriptor only: the pipe's two cannot be made.
    const int lowest = ::dup(0);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowest) + 1;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    TCommPortDriver starved;
    starved.SetComPortPath(pty.Path());
    const bool opened = starved.OpenPort();
    const std::string reason = starved.LastError();
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_FALSE(opened);
    EXPECT_EQ(reason, std::string("Cannot make the link thread's wake-up pipe: ") + std::strerror(EMFILE));
    // Once descriptors are to be had again, the same driver opens.
    EXPECT_TRUE(starved.OpenPort()) << starved.LastError();
}

} // namespace
} // namespace vz::test

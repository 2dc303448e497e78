// The port driver and the link thread on a real Windows serial port, talking to
// the device's boot loader at the other end. The port number comes from
// VZ_WIN32_PEER_COM; the device must reject bytes sent at a speed other than
// 57600 bit/s and restart its boot loader whenever the port is opened.
#include "link/com_thread.h"
#include "link/commdrv.h"

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vz::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The boot loader of a KRA350: type number 18, identifier 0x1001, no options,
// nothing programmed yet (boot checksum E000), type byte 0x12.
constexpr const char* kTypeNumber = "18";
constexpr const char* kIdentification = "E000"
                                        "1001"
                                        "0000"
                                        "12";

// Wine's ntdll exports its version; Windows' does not.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int PeerPort() {
    const char* text = std::getenv("VZ_WIN32_PEER_COM");
    return text != nullptr ? std::atoi(text) : 0;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class Win32PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = PeerPort();
        if (port_ < 1 || port_ > 16) GTEST_SKIP() << "no device on a COM port: set VZ_WIN32_PEER_COM";
        driver.SetComPort(static_cast<TComPortNumber>(port_ - 1));
        driver.SetComPortSpeed(br57600);
        driver.SetInputTimeout(50);
    }

    std::string Read() {
        std::string buffer(2048, '\0');
        buffer.resize(driver.ReadBytes(buffer.data(), static_cast<std::uint32_t>(buffer.size())));
        return buffer;
    }

    // Reads until `wanted` has come, or for at most `limit`; returns all read.
    std::string ReadUntil(const std::string& wanted, std::chrono::milliseconds limit = 3s) {
        std::string text;
        const auto deadline = Clock::now() + limit;
        while (text.find(wanted) == std::string::npos && Clock::now() < deadline)
            text += Read();
        return text;
    }

    // The boot loader's "%" call answered: "." comes back. The "%" is sent
    // again now and then, since the device restarts when it sees the port open
    // and may miss the first.
    bool Synchronise() {
        const auto deadline = Clock::now() + 5s;
        while (Clock::now() < deadline) {
            if (ReadUntil("%", 1s).find('%') == std::string::npos) continue;
            driver.Purge(true, false);
            if (!driver.WriteText("%")) return false;
            if (ReadUntil(".", 300ms).find('.') != std::string::npos) return true;
        }
        return false;
    }

    int port_ = 0;
    TCommPortDriver driver;
};

TEST_F(Win32PortTest, MissingDeviceReportsTheSystemReason) {
    driver.SetComPortPath("\\\\.\\VZNOSUCHPORT");
    EXPECT_FALSE(driver.OpenPort());
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(driver.PortName(), "\\\\.\\VZNOSUCHPORT");
    EXPECT_FALSE(driver.LastError().empty());
    EXPECT_FALSE(driver.LastErrorAccessDenied());
    EXPECT_EQ(driver.BytesWaiting(), 65535u);
}

TEST_F(Win32PortTest, OpensTheNumberedPortOnTheNtPlatform) {
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    EXPECT_EQ(driver.PortName(), "\\\\.\\COM" + std::to_string(port_));
    EXPECT_EQ(driver.PlatformName(), "WNT");
    EXPECT_EQ(driver.OutputRoom(), 2048u);
    EXPECT_TRUE(driver.OpenPort()); // already open
    driver.ClosePort();
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(driver.OutputRoom(), 65535u);
}

TEST_F(Win32PortTest, SecondOpenerIsRefusedUntilTheFirstCloses) {
    // Wine lets any number of handles open a serial device.
    if (UnderWine()) GTEST_SKIP() << "Wine does not hold COM ports exclusively";
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    TCommPortDriver second;
    second.SetComPort(driver.ComPort());
    EXPECT_FALSE(second.OpenPort());
    EXPECT_TRUE(second.LastErrorAccessDenied()) << second.LastError();
    driver.ClosePort();
    EXPECT_TRUE(second.OpenPort()) << second.LastError();
}

TEST_F(Win32PortTest, DialogueWithTheBootLoaderMovesEveryByte) {
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    ASSERT_TRUE(Synchronise());
    ASSERT_TRUE(driver.WriteText(kTypeNumber));
    // ".", the identification, ".": sixteen characters in one burst.
    const std::string reply = ReadUntil(std::string(kIdentification) + ".");
    EXPECT_EQ(reply, std::string(".") + kIdentification + ".");
}

TEST_F(Win32PortTest, SpeedChangeReachesTheLine) {
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    ASSERT_TRUE(Synchronise());
    // A "%" sent at 19200 bit/s is lost to the 57600 bit/s device, so the
    // type number that follows is taken as a number without its call.
    driver.SetComPortSpeed(br19200);
    ASSERT_TRUE(driver.WriteText("%"));
    std::this_thread::sleep_for(200ms);
    driver.SetComPortSpeed(br57600);
    ASSERT_TRUE(driver.WriteText(kTypeNumber));
    EXPECT_EQ(ReadUntil(std::string(kIdentification) + "."), std::string(".") + kIdentification + ".");

    // And the other way round: once the line is back at 57600 a call answered
    // at 19200 gets no "." (the device goes on calling).
    driver.ClosePort();
    ASSERT_TRUE(driver.OpenPort());
    ASSERT_NE(ReadUntil("%").find('%'), std::string::npos);
    driver.SetComPortSpeed(br19200);
    ASSERT_TRUE(driver.WriteText("%"));
    // The device looks at the speed when it takes the byte: let it take it.
    std::this_thread::sleep_for(200ms);
    driver.SetComPortSpeed(br57600);
    EXPECT_EQ(ReadUntil(".", 500ms).find('.'), std::string::npos);
}

TEST_F(Win32PortTest, QueueCountAndPurge) {
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    // The device calls every 100 ms: two calls wait after a while.
    ASSERT_TRUE(WaitUntil([&] { return driver.BytesWaiting() >= 2; }));
    driver.Purge(true, false);
    EXPECT_LT(driver.BytesWaiting(), 2u);
}

TEST_F(Win32PortTest, WriteLargerThanTheQueueGoesThroughWhole) {
    driver.SetOutputTimeout(2000);
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    // The calling boot loader ignores anything but "%".
    const std::string block(6000, 'Z');
    EXPECT_EQ(driver.WriteBytes(block.data(), static_cast<std::uint32_t>(block.size()), 2000), block.size());
    EXPECT_TRUE(Synchronise());
}

TEST_F(Win32PortTest, ReadWithZeroTimeoutEndsWhenTheLineIsQuiet) {
    driver.SetInputTimeout(0);
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    ASSERT_TRUE(Synchronise());
    // Nothing comes after the "." until the host speaks: the read returns
    // empty instead of waiting for data.
    const auto start = Clock::now();
    EXPECT_EQ(Read(), "");
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST_F(Win32PortTest, WaitEndsForDataAndForInterrupt) {
    ASSERT_TRUE(driver.OpenPort()) << driver.LastError();
    EXPECT_EQ(driver.WaitForEvent(5000, true), WaitResult::Ready);
    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);
        driver.Interrupt();
    });
    EXPECT_EQ(driver.WaitForEvent(-1, false), WaitResult::Woken);
    waker.join();
}

TEST_F(Win32PortTest, LinkThreadExchangesWithTheDevice) {
    ComThread link;
    std::mutex mutex;
    std::string received;
    link.SetOnChunkReceived([&](ComThread& sender) {
        const std::lock_guard guard(mutex);
        received += sender.TakeReceived();
    });
    const auto text = [&] {
        const std::lock_guard guard(mutex);
        return received;
    };
    link.SelectLinkPort(port_);
    link.SetLinkRun(true);
    ASSERT_TRUE(WaitUntil([&] { return link.IsPortOpen(); })) << "the link thread could not open the port";

    bool answered = false;
    for (int attempt = 0; attempt < 10 && !answered; ++attempt) {
        ASSERT_TRUE(WaitUntil([&] { return text().find('%') != std::string::npos; }));
        link.PostTx("%");
        answered = WaitUntil([&] { return text().find('.') != std::string::npos; }, 500ms);
    }
    ASSERT_TRUE(answered) << text();
    {
        const std::lock_guard guard(mutex);
        received.clear();
    }
    link.PostTx(kTypeNumber);
    EXPECT_TRUE(WaitUntil([&] { return text().size() >= 16; }));
    EXPECT_EQ(text(), std::string(".") + kIdentification + ".");

    link.SetLinkRun(false);
    EXPECT_TRUE(WaitUntil([&] { return !link.IsPortOpen(); }));
}

} // namespace
} // namespace vz::test

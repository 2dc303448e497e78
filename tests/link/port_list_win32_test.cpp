// Windows port names: what --port takes and what the serial map lists.
#include "link/port_list.h"
#include "link/port_list_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace vz {
namespace {

TEST(PortListWin32, ComNamesOpenThroughTheDevicePrefixOtherNamesAsGiven) {
    EXPECT_EQ(PortOpenName("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(PortOpenName("com3"), "\\\\.\\COM3");
    EXPECT_EQ(PortOpenName("COM"), "COM");
    EXPECT_EQ(PortOpenName("COM1X"), "COM1X");
    EXPECT_EQ(PortOpenName("\\\\.\\COM4"), "\\\\.\\COM4");
}

TEST(PortListWin32, SerialMapPortsComeInNumberOrder) {
    const std::vector<PortInfo> ports = ListPorts();
    // COM10 after COM9, as the map holds them in no order of its own.
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return a.name.size() != b.name.size() ? a.name.size() < b.name.size() : a.name < b.name;
    }));
    for (const PortInfo& port : ports)
        EXPECT_TRUE(port.name.starts_with("COM")) << port.name;
}

// The FTDI driver's keys laid out below the test's own key, as the driver lays
// them out below Enum\FTDIBUS.
class FtdiRegistry : public ::testing::Test {
protected:
    const std::string bus_ = "Software\\vz_test_ftdibus_" + std::to_string(GetCurrentProcessId());

    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, bus_.c_str()); }

    void Adapter(const std::string& id, const char* port, const DWORD* timer) {
        HKEY key = nullptr;
        const std::string path = bus_ + "\\" + id + "\\0000\\Device Parameters";
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        if (port)
            RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(port),
                           static_cast<DWORD>(std::strlen(port) + 1));
        if (timer)
            RegSetValueExA(key, "LatencyTimer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(timer),
                           sizeof *timer);
        RegCloseKey(key);
    }
};

TEST_F(FtdiRegistry, LatencyTimersByPortName) {
    const DWORD sixteen = 16, two = 2, wild = 100000;
    Adapter("VID_0403+PID_6001+A50285BIA", "COM3", &sixteen);
    Adapter("VID_0403+PID_6015+DN05ABCDA", "com12", &two);
    Adapter("VID_0403+PID_6001+NOPORT", nullptr, &sixteen);
    Adapter("VID_0403+PID_6001+NOTIMER", "COM4", nullptr);
    Adapter("VID_0403+PID_6001+WILD", "COM5", &wild);
    const std::map<std::string, int> timers = FtdiLatencyTimers(HKEY_CURRENT_USER, bus_);
    EXPECT_EQ(timers, (std::map<std::string, int>{{"COM3", 16}, {"COM12", 2}}));
    EXPECT_TRUE(FtdiLatencyTimers(HKEY_CURRENT_USER, bus_ + "\\absent").empty());
    EXPECT_NE(LatencyTimerFix("\\\\.\\COM3").find("> COM3 > "), std::string::npos) << LatencyTimerFix("COM3");
}

} // namespace
} // namespace vz

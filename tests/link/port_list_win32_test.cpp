// Windows port names: what --port takes and what the serial map lists.
#include "link/port_list.h"

#include <gtest/gtest.h>

#include <algorithm>

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

} // namespace
} // namespace vz

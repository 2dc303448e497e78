// Device names formed from port numbers.
#include "link/port_names.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vz::test {
namespace {

TEST(PortNames, WindowsNamesUseTheDevicePrefixForEveryNumber) {
    EXPECT_EQ(WindowsComDeviceName(1), "\\\\.\\COM1");
    EXPECT_EQ(WindowsComDeviceName(9), "\\\\.\\COM9");
    EXPECT_EQ(WindowsComDeviceName(10), "\\\\.\\COM10");
    EXPECT_EQ(WindowsComDeviceName(16), "\\\\.\\COM16");
}

#ifndef _WIN32
TEST(PortNames, PosixNamesComeFromTheEnvironmentOrTheSerialDevices) {
    ::unsetenv("VZ_COM3");
    EXPECT_EQ(PosixComDeviceName(1), "/dev/ttyS0");
    EXPECT_EQ(PosixComDeviceName(3), "/dev/ttyS2");
    EXPECT_EQ(PosixComDeviceName(12), "/dev/ttyS11");

    ::setenv("VZ_COM3", "/tmp/vz-device", 1);
    EXPECT_EQ(PosixComDeviceName(3), "/tmp/vz-device");
    EXPECT_EQ(PosixComDeviceName(4), "/dev/ttyS3");
    ::setenv("VZ_COM3", "", 1);
    EXPECT_EQ(PosixComDeviceName(3), "/dev/ttyS2");
    ::unsetenv("VZ_COM3");
}
#endif

} // namespace
} // namespace vz::test

// How a port number becomes a device name on each platform.
#pragma once

#include <string>

namespace vz {

// "\\.\COM" followed by the number in decimal, no leading zeros: the form that
// also reaches ports above 9.
std::string WindowsComDeviceName(int comNumber);

// The path in the environment variable VZ_COM<n> when it is set and not empty,
// otherwise /dev/ttyS<n-1>.
std::string PosixComDeviceName(int comNumber);

// The name this platform's port backend opens for COM n.
std::string PlatformComDeviceName(int comNumber);

} // namespace vz

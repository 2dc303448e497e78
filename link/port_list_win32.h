// The FTDI driver's settings in the registry, read from a given key so that a
// test can lay out its own.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <map>
#include <string>

namespace vz {

// Where the FTDI driver keeps one key per adapter it has seen.
inline constexpr char kFtdiBusKey[] = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS";

// The LatencyTimer of every adapter below ROOT\BUS (BUS\<adapter>\0000\Device
// Parameters), by its PortName in upper case ("COM3"); the first adapter that
// names a port keeps it.
std::map<std::string, int> FtdiLatencyTimers(HKEY root, const std::string& bus);

} // namespace vz

// The Linux port list read from a given root, so that a fake sysfs tree can
// stand in for the machine's.
#pragma once

#include "link/port_list.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vz {

// Reads ROOT/sys/class/tty, ROOT/dev/serial/by-id, ROOT/proc/*/fd and
// ROOT/var/lock; names are given as on the machine (/dev/...).
std::vector<PortInfo> ListPortsUnder(const std::filesystem::path& root);

// The latency timer of the adapter behind `portName` as ROOT/sys shows it
// (usb-serial devices have one; ports of other kinds have none).
std::optional<int> PortLatencyTimerUnder(const std::filesystem::path& root, const std::string& portName);
// The commands that set it to 1 ms, for the adapter's tty when it is a usb-serial one.
std::string LatencyTimerFixUnder(const std::filesystem::path& root, const std::string& portName);

// The advice for a device whose group is `group` (gid `gid`), for a user who is
// (or is not yet) in that group.
std::string AccessAdviceFor(const std::string& deviceName, const std::string& group, unsigned gid,
                            bool userInGroup);

} // namespace vz

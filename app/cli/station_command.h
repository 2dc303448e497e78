// `vzflash station`: several ports at once, device after device on each, and a
// record of every device.
#pragma once

#include "app/cli/run_command.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace vz::cli {

struct StationOptions {
    std::vector<std::string> ports;
    // The choices every port runs with (its port and log are not used).
    RunOptions run;
    // Devices attempted on each port before it ends; 0: until Ctrl-C.
    long count = 0;
    // A port ends after this many devices in a row failed on it; 0: never.
    long stopAfter = 0;
    std::string report;       // JSON Lines, appended
    std::string logDir;       // one transcript a device
    std::string station;      // empty: the host's name
    std::string operatorName; // empty: none recorded
};

int RunStation(const StationOptions& options, std::ostream& out, std::ostream& err);

} // namespace vz::cli

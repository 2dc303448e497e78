// Runs the device on a pseudo-terminal until it is stopped: the loop that
// moves bytes between the terminal and the device logic, with the line timing,
// the transcript, the state file and the dump.
#pragma once

#include "emulator/device_config.h"
#include "emulator/options.h"

#include <ostream>

namespace vz::emu {

// Prints the terminal path as the first line of `out`. Returns the exit code;
// throws std::runtime_error or std::system_error with context on a failure.
int RunDevice(const DeviceConfig& config, const RunnerOptions& options, std::ostream& out);

} // namespace vz::emu

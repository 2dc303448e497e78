// The few things the command line asks of the operating system, one
// implementation per platform.
#pragma once

#include <string>

namespace vz::cli {

// The running program's own file (empty when the system cannot tell).
std::string ProgramFilePath();

} // namespace vz::cli

// The few things the command line asks of the operating system, one
// implementation per platform.
#pragma once

#include <string>

namespace vz::cli {

// The running program's own file (empty when the system cannot tell).
std::string ProgramFilePath();

// What the operator can do when the system refused the port with "access
// denied", as a parenthesis to append to the message.
std::string AccessDeniedAdvice();

} // namespace vz::cli

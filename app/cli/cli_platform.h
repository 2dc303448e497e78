// The few things the command line asks of the operating system, one
// implementation per platform.
#pragma once

#include <cstdio>
#include <string>

namespace vz::cli {

// The running program's own file (empty when the system cannot tell).
std::string ProgramFilePath();

// The system and machine, for the head of a transcript ("Linux 6.1.0 x86_64").
std::string PlatformName();

// The width of the terminal behind the stream; 0 when it is none or cannot tell.
int TerminalColumns(std::FILE* stream);

// A reader that went away (`vzflash run | head`) must not end an update half-way:
// writes to a closed pipe fail instead of killing the program.
void IgnoreBrokenPipe();

} // namespace vz::cli

// What `vzflash` was asked to do: its subcommands and options, parsed.
#pragma once

#include "app/cli/check_command.h"
#include "app/cli/convert_command.h"
#include "app/cli/report_command.h"
#include "app/cli/run_command.h"
#include "app/cli/station_command.h"

#include <iosfwd>
#include <string>

namespace vz::cli {

struct CommandLine {
    enum class Command { None, Run, Station, Check, HexSum, Effect, Convert, Ports, Report };
    // None: nothing to run; exit with `exitCode` (0 after --help or --version,
    // kBadArguments after a one-line message on the error stream).
    Command command = Command::None;
    int exitCode = 0;
    RunOptions run;
    StationOptions station;
    CheckOptions check;
    ReportOptions report;
    ConvertOptions convert;
    std::string file; // hexsum, effect
    std::string first;
    std::string last;
    bool portsJson = false;
};

// The program's version, as its about box and version resource give it.
const char* ProgramVersion();

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// Runs a parsed command; its exit status.
int RunCommandLine(const CommandLine& line, std::ostream& out, std::ostream& err);

} // namespace vz::cli

// `vzflash run`: a whole update from the command line, on the window's core.
#pragma once

#include "app/core/model_root.h"

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

namespace vz::cli {

struct RunOptions {
    std::string port = "1"; // 1 to 9, or a device path
    std::string device = "auto";
    std::string mode = "auto";
    std::vector<std::string> components{"keyb", "prom1", "prom2"};
    std::string speed = "fast";
    bool readId = false;
    std::string root;   // empty: looked for (FindDefaultRoot)
    std::string script; // empty: the model's script below the root
    // Seconds without an answer that end the run; 0: none. Not given (below 0): the
    // wait for the boot loader's call is unbounded, then 60 s.
    double timeout = -1;
    bool quiet = false;
    std::string log;
};

enum ExitCode { kCompleted = 0, kRunFailed = 1, kPortFailed = 2, kBadArguments = 3, kInterrupted = 130 };

// Set from a signal handler to stop the run as STOP does.
extern std::atomic<bool> g_interrupted;

int RunUpdate(const RunOptions& options, std::ostream& out, std::ostream& err);

// The directory of the running program, with its trailing separator.
std::string ProgramDirectory();
// The model directories without --root: beside the program, in VZ_ROOT or in
// the current directory.
ModelRoot FindDefaultRoot();

} // namespace vz::cli

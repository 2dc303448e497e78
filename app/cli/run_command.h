// `vzflash run`: a whole update from the command line, on the window's core.
#pragma once

#include "app/core/model_root.h"
#include "app/core/run_driver.h"
#include "app/core/run_log.h"
#include "app/core/station_setup.h"

#include <atomic>
#include <chrono>
#include <iosfwd>
#include <optional>
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

// kUnrecorded: a station's record could not be written, so devices went unrecorded.
enum ExitCode {
    kCompleted = 0,
    kRunFailed = 1,
    kPortFailed = 2,
    kBadArguments = 3,
    kUnrecorded = 4,
    kInterrupted = 130,
};

// Set from a signal handler to stop the run as STOP does.
extern std::atomic<bool> g_interrupted;
// Its cause (a StopCause), for the transcripts.
extern std::atomic<int> g_stopCause;

int RunUpdate(const RunOptions& options, std::ostream& out, std::ostream& err);

// What a run after the device calls may wait without progress, by default.
inline constexpr double kSilenceAfterAnswer = 60;

// The window's choices the options stand for; nothing, after a line on `err`, when
// the port is no port.
std::optional<RunChoices> ChoicesFor(const RunOptions& options, std::ostream& err);
// The device, mode, components and speed of the options.
TRunWords RunWords(const RunOptions& options);
// The update package (--root, or looked for) and the script given, for the driver.
void UseRunPackage(TRunDriver& driver, const RunOptions& options);
// --timeout, and the silence after the device has called.
TWaitPolicy RunWaitPolicy(const RunOptions& options);
// The transcript's first lines: program, time, port, script and choices.
void WriteLogHeader(TRunLog& log, const RunOptions& options, const RunChoices& choices);
// "12 s", "3 min 4 s".
std::string DurationText(std::chrono::steady_clock::duration elapsed);
// "Done: KRA350  Id : 1001; programmed …; 2 min 3 s", after a completed run.
std::string CompletedSummary(const TUpdaterCore& core, std::chrono::steady_clock::duration elapsed);

// The directory of the running program, with its trailing separator.
std::string ProgramDirectory();
// The model directories without --root: beside the program, in VZ_ROOT, in the
// installation's package directory (Windows) or in the current directory.
ModelRoot FindDefaultRoot();

} // namespace vz::cli

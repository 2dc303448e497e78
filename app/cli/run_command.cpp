#include "app/cli/run_command.h"

#include "app/cli/cli_face.h"
#include "app/cli/cli_platform.h"
#include "app/cli/command_line.h"
#include "app/cli/event_loop.h"
#include "app/core/com_thread_link.h"
#include "app/core/counting_link.h"
#include "app/core/identity.h"
#include "app/core/machine_settings.h"
#include "app/core/memory_text.h"
#include "app/core/model_root.h"
#include "app/core/run_log.h"
#include "app/core/updater_core.h"
#include "formats/printable_text.h"
#include "link/port_names.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <utility>

namespace vz::cli {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_stopCause{0};

namespace {

using Clock = std::chrono::steady_clock;

std::string Join(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

} // namespace

const char* StopCauseText(StopCause cause) {
    switch (cause) {
    case StopCause::Terminate:
        return "stopped: the program was asked to end (SIGTERM)";
    case StopCause::HangUp:
        return "stopped: the terminal closed (SIGHUP)";
    case StopCause::ConsoleClosed:
        return "stopped: the console window was closed";
    case StopCause::LogOff:
        return "stopped: the user logged off";
    case StopCause::ShutDown:
        return "stopped: the system is shutting down";
    case StopCause::None:
    case StopCause::Interrupt:
        break;
    }
    return "interrupted (Ctrl-C)";
}

std::string DurationText(Clock::duration elapsed) {
    const long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    return seconds >= 60 ? std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s"
                         : std::to_string(seconds) + " s";
}

std::string CompletedSummary(const TUpdaterCore& core, Clock::duration elapsed) {
    std::string text = "Done: " + ModelText(core.ModelCode()) + "  " + IdText(core.DeviceId()) +
                       "; programmed " + ProgrammedText(core.RunRecord().programmed);
    if (!core.RunRecord().skipped.empty())
        text += "; skipped as already current: " + SkippedText(core.RunRecord().skipped);
    return text + "; " + DurationText(elapsed);
}

void WriteLogHeader(TRunLog& log, const RunOptions& options, const RunChoices& choices) {
    const std::time_t now = std::time(nullptr);
    char started[64];
    std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S %z", std::localtime(&now));
    log.Note("head", std::string("vzflash ") + ProgramVersion() + " on " + PlatformName());
    log.Note("head", std::string("started ") + started);
    const std::string port = choices.portPath.empty() ? PlatformComDeviceName(choices.port) + " (Com " +
                                                            std::to_string(choices.port) + ")"
                                                      : choices.portPath;
    log.Note("head", "port " + port +
                         ", 57600 baud (19200 for a slow PROM update), 8 data bits, no parity, "
                         "1 stop bit, no flow control");
    log.Note("head", "script " + (options.script.empty()
                                      ? std::string(options.readId ? "readid.ini" : "script.ini") +
                                            " of the identified model below " +
                                            (options.root.empty() ? FindDefaultRoot().dir : options.root)
                                      : options.script));
    log.Note("head", "device " + options.device + ", mode " + options.mode + ", components " +
                         Join(options.components, ",") + ", speed " + options.speed);
}

std::optional<RunChoices> ChoicesFor(const RunOptions& options, std::ostream& err) {
    std::optional<RunChoices> choices = PortChoices(options.port);
    if (!choices) {
        err << BadPortText(options.port) << "\n";
        return std::nullopt;
    }
    SetRunWords(RunWords(options), *choices);
    return choices;
}

TRunWords RunWords(const RunOptions& options) {
    return {options.device, options.mode, options.components, options.speed};
}

void UseRunPackage(TRunDriver& driver, const RunOptions& options) {
    const char* variable = std::getenv("VZ_ROOT");
    std::error_code ec;
    driver.UsePackageRoot(options.root, ProgramDirectory(), variable == nullptr ? "" : variable,
                          MachinePackageRoot(), std::filesystem::current_path(ec).string(), false);
    if (!options.script.empty()) driver.SetScriptArgument(options.script);
}

TWaitPolicy RunWaitPolicy(const RunOptions& options) {
    TWaitPolicy wait;
    if (options.timeout >= 0) wait.timeoutSeconds = options.timeout;
    wait.silenceSeconds = kSilenceAfterAnswer;
    return wait;
}

ModelRoot FindDefaultRoot() {
    const char* variable = std::getenv("VZ_ROOT");
    std::error_code ec;
    return FindModelRoot(ProgramDirectory(), variable == nullptr ? "" : variable, MachinePackageRoot(),
                         std::filesystem::current_path(ec).string());
}

std::string ProgramDirectory() {
    const std::string exe = ProgramFilePath();
    if (exe.empty()) return {};
    std::string dir = std::filesystem::path(exe).parent_path().string();
    return dir + static_cast<char>(std::filesystem::path::preferred_separator);
}

int RunUpdate(const RunOptions& options, std::ostream& out, std::ostream& err) {
    const std::optional<RunChoices> chosen = ChoicesFor(options, err);
    if (!chosen) return kBadArguments;
    const RunChoices& choices = *chosen;

    auto threadLink = std::make_unique<TComThreadLink>();
    std::unique_ptr<TLinkControl> link = std::move(threadLink);
    std::unique_ptr<TRunLog> runLog;
    TRunLog* log = nullptr;
    if (!options.log.empty()) {
        runLog = std::make_unique<TRunLog>();
        if (!runLog->Open(options.log)) {
            err << "Cannot write the log file " << options.log << ": " << PrintableText(runLog->Reason())
                << "\n";
            return kBadArguments;
        }
        log = runLog.get();
        WriteLogHeader(*log, options, choices);
        link = std::make_unique<TLoggingLink>(std::move(link), *log);
    }
    auto counting = std::make_unique<TCountingLink>(std::move(link));
    const TCountingLink* counter = counting.get();

    ProgressDisplay progress(stderr, ProgressDisplay::StyleFor(stderr, options.quiet),
                             TerminalColumns(stderr));
    CliFace face(out, err, progress, choices);
    EventLoop loop;
    LoopRunHost host(loop);
    TRunDriver driver(face, host, std::move(counting));
    host.SetDriver(driver);
    TUpdaterCore& core = driver.Core();
    face.Attach(core);
    face.SetLog(log);
    face.SetCounter(counter);

    driver.SetWaitPolicy(RunWaitPolicy(options));
    driver.SetUnattended(true);

    std::optional<TRunEnd> ended;
    bool interrupted = false;
    host.onLatencyTimer = [log](const std::string& port, int ms) {
        if (log) log->Note("head", LatencyTimerNote(port, ms));
    };
    host.onRunEnded = [&](const TRunEnd& end) {
        ended = end;
        if (end.reason != TRunEndReason::PortFailed) return;
        // What went wrong first; the stop's advice follows.
        const std::string message = PortFailureText(end);
        face.PrintError(message);
        if (log) log->Note("error", message);
    };

    const auto started = Clock::now();
    driver.FormCreate();
    UseRunPackage(driver, options);

    if (options.readId)
        driver.ReadIdClick();
    else
        driver.StartClick();

    loop.Run([&] { return ended.has_value() || interrupted; }, [] { return g_interrupted.load(); },
             [&] {
                 interrupted = true;
                 if (log) log->Note("--", StopCauseText(static_cast<StopCause>(g_stopCause.load())));
                 // Stopped as STOP does: the engines are reset and the link closes.
                 driver.StopRun();
             });
    int result = kRunFailed;
    if (interrupted)
        result = kInterrupted;
    else if (ended->reason == TRunEndReason::PortFailed)
        result = kPortFailed;
    else if (ended->reason == TRunEndReason::Completed)
        result = kCompleted;
    progress.Finish();
    if (result == kCompleted) face.PrintError(CompletedSummary(core, Clock::now() - started));
    driver.FormClose();
    if (log) log->Note("exit", "status " + std::to_string(result));
    return result;
}

} // namespace vz::cli

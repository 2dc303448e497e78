#include "app/cli/run_command.h"

#include "app/cli/cli_face.h"
#include "app/cli/cli_platform.h"
#include "app/cli/command_line.h"
#include "app/cli/counting_link.h"
#include "app/cli/logging_link.h"
#include "app/core/com_thread_link.h"
#include "app/core/identity.h"
#include "app/core/model_root.h"
#include "app/core/updater_core.h"
#include "engines/constante.h"
#include "link/port_list.h"
#include "link/port_names.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <utility>

namespace vz::cli {

std::atomic<bool> g_interrupted{false};

namespace {

using Clock = std::chrono::steady_clock;

bool Has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// What the link thread reports, waited for by the run loop.
struct LinkEvents {
    std::mutex lock;
    std::condition_variable changed;
    bool chunk = false;
    std::optional<LinkFailure> failure;
    bool lost = false;
};

std::string FailureMessage(const LinkFailure& failure, bool lost) {
    std::string text = lost ? "Lost the port " + failure.portName + ": " + failure.reason
                            : "Cannot open the port " + failure.portName + ": " + failure.reason;
    if (failure.accessDenied) text += PortAccessAdvice(failure.portName);
    return text;
}

constexpr double kSilenceAfterAnswer = 60;

std::string Join(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

// "keyboard bank 0" … "keyboard bank 7" read as one item.
std::string ProgrammedText(const std::vector<std::string>& programmed) {
    std::vector<std::string> items;
    std::string banks;
    const std::string bank = "keyboard bank ";
    for (const std::string& memory : programmed) {
        if (memory.starts_with(bank)) {
            if (banks.empty()) items.push_back({});
            banks += (banks.empty() ? "" : ",") + memory.substr(bank.size());
            continue;
        }
        items.push_back(memory);
    }
    for (std::string& item : items)
        if (item.empty()) item = (banks.find(',') == std::string::npos ? bank : "keyboard banks ") + banks;
    return items.empty() ? "nothing" : Join(items, ", ");
}

std::string Duration(Clock::duration elapsed) {
    const long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    return seconds >= 60 ? std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s"
                         : std::to_string(seconds) + " s";
}

// One line on stderr after a completed run: what was done, and how long it took.
std::string Summary(const TUpdaterCore& core, Clock::duration elapsed) {
    std::string text = "Done: " + ModelText(core.ModelCode()) + "  " + IdText(core.DeviceId()) +
                       "; programmed " + ProgrammedText(core.RunRecord().programmed);
    if (!core.RunRecord().skipped.empty())
        text += "; skipped as already current: " + Join(core.RunRecord().skipped, ", ");
    return text + "; " + Duration(elapsed);
}

void WriteLogHeader(LoggingLink& log, const RunOptions& options, const RunChoices& choices) {
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

} // namespace

ModelRoot FindDefaultRoot() {
    const char* variable = std::getenv("VZ_ROOT");
    std::error_code ec;
    return FindModelRoot(ProgramDirectory(), variable == nullptr ? "" : variable,
                         std::filesystem::current_path(ec).string());
}

std::string ProgramDirectory() {
    const std::string exe = ProgramFilePath();
    if (exe.empty()) return {};
    std::string dir = std::filesystem::path(exe).parent_path().string();
    return dir + static_cast<char>(std::filesystem::path::preferred_separator);
}

int RunUpdate(const RunOptions& options, std::ostream& out, std::ostream& err) {
    RunChoices choices;
    if (!options.port.empty() && std::all_of(options.port.begin(), options.port.end(), ::isdigit)) {
        choices.port = std::stoi(options.port.substr(0, 4));
        if (choices.port < 1 || choices.port > 9) {
            err << "--port takes 1 to 9 or a device path, not " << options.port << "\n";
            return kBadArguments;
        }
    } else {
        // Names as vzflash ports gives them: device paths, by-id links, COM12.
        choices.portPath = PortOpenName(options.port);
    }
    choices.slow = options.speed == "slow";
    choices.menuModel = ChosenModelCode(options.device);
    choices.manual = options.mode == "manual";
    choices.keyb = Has(options.components, "keyb");
    choices.prom1 = Has(options.components, "prom1");
    choices.prom2 = Has(options.components, "prom2");

    LinkEvents events;
    auto threadLink = std::make_unique<TComThreadLink>();
    ComThread& thread = threadLink->Thread();
    thread.SetOnChunkReceived([&events](ComThread&) {
        const std::lock_guard guard(events.lock);
        events.chunk = true;
        events.changed.notify_one();
    });
    const auto onFailure = [&events](bool lost) {
        return [&events, lost](ComThread&, const LinkFailure& failure) {
            const std::lock_guard guard(events.lock);
            if (!events.failure) {
                events.failure = failure;
                events.lost = lost;
            }
            events.changed.notify_one();
        };
    };
    thread.SetOnOpenFailed(onFailure(false));
    thread.SetOnPortLost(onFailure(true));

    std::unique_ptr<TLinkControl> link = std::move(threadLink);
    LoggingLink* log = nullptr;
    if (!options.log.empty()) {
        auto logging = std::make_unique<LoggingLink>(std::move(link), options.log);
        if (!logging->IsOpen()) {
            err << "Cannot write the log file " << options.log << "\n";
            return kBadArguments;
        }
        log = logging.get();
        WriteLogHeader(*log, options, choices);
        link = std::move(logging);
    }
    auto counting = std::make_unique<CountingLink>(std::move(link));
    const CountingLink* counter = counting.get();

    ProgressDisplay progress(stderr, ProgressDisplay::StyleFor(stderr, options.quiet),
                             TerminalColumns(stderr));
    CliFace face(out, err, progress, choices);
    TUpdaterCore core(face, std::move(counting));
    face.Attach(core);
    face.SetLog(log);
    face.SetCounter(counter);
    const auto started = Clock::now();
    core.FormCreate();
    if (!options.root.empty()) {
        core.SetRootDir(options.root);
    } else {
        const ModelRoot found = FindDefaultRoot();
        core.SetRootDir(found.dir, found.found ? std::string() : found.note);
    }
    if (!options.script.empty()) core.SetScriptArgument(options.script);

    if (options.readId)
        core.ReadIdClick();
    else
        core.StartClick();

    bool answered = false;
    auto nextTick = Clock::now();
    auto lastAnswer = Clock::now();
    int result = kRunFailed;
    for (;;) {
        bool chunk = false;
        std::optional<LinkFailure> failure;
        bool lost = false;
        {
            std::unique_lock guard(events.lock);
            events.changed.wait_until(guard, nextTick,
                                      [&] { return events.chunk || events.failure || g_interrupted.load(); });
            chunk = std::exchange(events.chunk, false);
            failure = std::exchange(events.failure, std::nullopt);
            lost = events.lost;
        }
        if (failure) {
            // The device may have answered its last line just before the port went:
            // let the sequencer take what arrived before giving up on the run.
            if (chunk) core.DataReceived();
            for (int i = 0; i < 8 && core.State() != TUpdaterCore::kIdle; ++i)
                core.SequencerStep();
            if (core.State() == TUpdaterCore::kIdle && face.Completed() && !face.ErrorShown()) {
                result = kCompleted;
                break;
            }
        }
        if (g_interrupted.load() || failure) {
            // What went wrong first, then what it left behind (the advice of the stop).
            if (failure) face.PrintError(FailureMessage(*failure, lost));
            if (log && failure) log->Note("error", FailureMessage(*failure, lost));
            if (log && !failure) log->Note("--", "interrupted");
            // Stopped as STOP does: the next step resets the engines and closes the link.
            if (core.State() != TUpdaterCore::kIdle) core.StartClick();
            core.SequencerStep();
            result = failure ? kPortFailed : kInterrupted;
            break;
        }
        const auto now = Clock::now();
        bool advanced = false;
        if (chunk) {
            lastAnswer = now;
            answered = true;
            advanced = core.DataReceived();
        } else if (now >= nextTick) {
            advanced = core.SequencerStep();
        }
        // A step that moved the run on is followed at once; one that waits for the
        // device or the clock is followed by the timer.
        if (chunk || now >= nextTick)
            nextTick = advanced ? now : now + std::chrono::milliseconds(face.Interval());
        face.ShowIdentityOnce();
        // Not given: no limit until the device has called, then a minute of silence.
        const double limit = options.timeout >= 0 ? options.timeout : (answered ? kSilenceAfterAnswer : 0);
        if (!core.WaitingForDevice()) {
            lastAnswer = now;
        } else if (limit > 0 && now - lastAnswer > std::chrono::duration<double>(limit)) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", limit);
            core.ShowError(std::string("No answer from the device within ") + seconds + " s");
            lastAnswer = now;
        }
        if (core.State() == TUpdaterCore::kIdle) {
            result = face.Completed() && !face.ErrorShown() ? kCompleted : kRunFailed;
            break;
        }
    }
    progress.Finish();
    if (result == kCompleted) face.PrintError(Summary(core, Clock::now() - started));
    core.FormClose();
    if (log) log->Note("exit", "status " + std::to_string(result));
    return result;
}

} // namespace vz::cli

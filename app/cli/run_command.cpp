#include "app/cli/run_command.h"

#include "app/cli/cli_face.h"
#include "app/cli/cli_platform.h"
#include "app/cli/logging_link.h"
#include "app/core/com_thread_link.h"
#include "app/core/identity.h"
#include "app/core/model_root.h"
#include "app/core/updater_core.h"
#include "link/port_list.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <utility>

namespace vz::cli {

std::atomic<bool> g_interrupted{false};

namespace {

using Clock = std::chrono::steady_clock;

std::uint8_t MenuModelFor(const std::string& device) {
    if (device == "KRA350") return 1;
    if (device == "KRB350") return 2;
    if (device == "KRC350") return 3;
    if (device == "KRD350") return 4;
    if (device == "KRT120") return 7;
    return 0;
}

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

std::string IdentityLine(const TUpdaterCore& core) {
    std::string text = DeviceText(core.ModelCode());
    if (const std::string option = OptionText(core.Options()); !option.empty()) text += "  " + option;
    return text + "  " + IdText(core.DeviceId());
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
    choices.menuModel = MenuModelFor(options.device);
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
    if (!options.log.empty()) {
        auto logging = std::make_unique<LoggingLink>(std::move(link), options.log);
        if (!logging->IsOpen()) {
            err << "Cannot write the log file " << options.log << "\n";
            return kBadArguments;
        }
        link = std::move(logging);
    }

    ProgressDisplay progress(stderr, ProgressDisplay::StyleFor(stderr, options.quiet));
    CliFace face(out, progress, choices);
    TUpdaterCore core(face, std::move(link));
    face.Attach(core);
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

    const auto timeout =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.timeout));
    auto nextTick = Clock::now();
    auto lastAnswer = Clock::now();
    bool identityShown = false;
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
            // Stopped as STOP does: the next step resets the engines and closes the link.
            if (core.State() != TUpdaterCore::kIdle) core.StartClick();
            core.SequencerStep();
            if (failure) {
                progress.Clear();
                err << FailureMessage(*failure, lost) << "\n";
                result = kPortFailed;
            } else {
                result = kInterrupted;
            }
            break;
        }
        const auto now = Clock::now();
        const std::uint8_t before = core.State();
        bool advanced = false;
        if (chunk) {
            lastAnswer = now;
            advanced = core.DataReceived();
        } else if (now >= nextTick) {
            advanced = core.SequencerStep();
        }
        // A step that moved the run on is followed at once; one that waits for the
        // device or the clock is followed by the timer.
        if (chunk || now >= nextTick)
            nextTick = advanced ? now : now + std::chrono::milliseconds(face.Interval());
        if (!identityShown && before == TUpdaterCore::kWaitSync && core.State() != TUpdaterCore::kWaitSync &&
            core.ModelCode() != 0) {
            identityShown = true;
            face.PrintLine(IdentityLine(core));
        }
        if (!core.WaitingForDevice()) {
            lastAnswer = now;
        } else if (options.timeout > 0 && now - lastAnswer > timeout) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", options.timeout);
            core.ShowError(std::string("No answer from the device within ") + seconds + " s");
            lastAnswer = now;
        }
        if (core.State() == TUpdaterCore::kIdle) {
            result = face.Completed() && !face.ErrorShown() ? kCompleted : kRunFailed;
            break;
        }
    }
    progress.Clear();
    core.FormClose();
    return result;
}

} // namespace vz::cli

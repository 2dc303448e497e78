#include "emulator/runner.h"

#include "emulator/device.h"
#include "emulator/pacer.h"
#include "emulator/pty_port.h"
#include "emulator/series.h"
#include "emulator/state_file.h"
#include "emulator/transcript.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

namespace vz::emu {

namespace {

constexpr std::size_t kMaxQueuedOutput = 4096;
constexpr Micros kSaveInterval = 1000 * kMillisecond;
constexpr Micros kExitLinger = 300 * kMillisecond;

class SignalFd {
public:
    SignalFd() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGINT);
        if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0)
            throw std::system_error(errno, std::generic_category(), "sigprocmask");
        fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
        if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "signalfd");
    }
    ~SignalFd() { ::close(fd_); }
    int fd() const { return fd_; }

private:
    int fd_;
};

class Link {
public:
    Link(const std::string& path, const std::string& target) : path_(path) {
        if (path_.empty()) return;
        std::error_code ec;
        if (std::filesystem::is_symlink(path_, ec)) std::filesystem::remove(path_, ec);
        std::filesystem::create_symlink(target, path_, ec);
        if (ec) throw std::runtime_error("cannot make link " + path_ + " -> " + target + ": " + ec.message());
    }
    ~Link() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove(path_, ec);
    }

private:
    std::string path_;
};

Micros Elapsed(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int RunDevice(const DeviceConfig& config, const RunnerOptions& options, std::ostream& out) {
    DeviceMemory memory;
    if (!options.statePath.empty()) LoadState(options.statePath, memory);

    std::unique_ptr<std::ofstream> logFile;
    if (!options.logPath.empty()) {
        logFile = std::make_unique<std::ofstream>(options.logPath, std::ios::trunc);
        if (!*logFile) throw std::runtime_error("cannot write log file " + options.logPath);
    }
    Transcript transcript(logFile.get());

    std::optional<ExpectedMemories> expected;
    if (!options.verifyDir.empty()) {
        expected = ExpectedFromScript(options.verifyDir);
        if (!expected->problems.empty())
            throw std::runtime_error(options.verifyDir + ": " + expected->problems.front());
    }
    // One stream for the whole run: a long series keeps its descriptors flat.
    std::ofstream results;
    if (!options.resultsPath.empty()) {
        results.open(options.resultsPath, std::ios::app);
        if (!results) throw std::runtime_error("cannot write results file " + options.resultsPath);
    }

    SignalFd signals;
    PtyPort port;
    Link link(options.linkPath, port.terminalPath());
    OpenWatch watch(port.terminalPath());
    out << port.terminalPath() << std::endl;

    const auto start = std::chrono::steady_clock::now();
    DeviceSeries series(config, options.series, memory, expected ? &*expected : nullptr, 0);
    LinePacer pacer(options.baudPacing, options.latency);
    long received = 0;
    bool dirty = false;
    Micros lastSave = 0;
    int lastSpeed = series.device().lineSpeed();
    std::string stopReason = "stopped";
    Micros finishedAt = -1;
    bool finished = false; // some device has acknowledged "FI"

    auto save = [&](Micros now) {
        if (!options.statePath.empty()) SaveState(options.statePath, series.device().memory());
        dirty = false;
        lastSave = now;
    };

    // Host bytes reach the device, and the transcript, when they have arrived.
    auto deliver = [&](Micros upTo, Micros now) {
        for (const auto& in : pacer.dueInput(upTo)) {
            transcript.bytes(Transcript::Direction::HostToDevice, std::string_view(&in.byte, 1), now,
                             in.hostBaud ? in.hostBaud : series.device().lineSpeed());
            series.receive(in.byte, now, in.hostBaud);
        }
    };

    for (;;) {
        Micros now = Elapsed(start);

        deliver(now, now);
        series.tick(now);
        for (const auto& e : series.takeOutput())
            pacer.queueOutput(e, now);
        for (const auto& n : series.takeNotes())
            transcript.note(now, n);
        finished = finished || series.device().finishAcknowledged();
        for (const auto& r : series.takeResults()) {
            finished = finished || r.ended == DeviceEnd::Finished;
            if (!results.is_open()) continue;
            results << ResultLine(r) << '\n' << std::flush;
            if (!results) throw std::runtime_error("cannot write results file " + options.resultsPath);
        }
        if (series.device().lineSpeed() != lastSpeed) {
            lastSpeed = series.device().lineSpeed();
            transcript.note(now, "speed " + std::to_string(lastSpeed));
        }
        if (series.takeMemoryChanged()) dirty = true;
        if (std::size_t dropped = pacer.trimOutput(kMaxQueuedOutput))
            transcript.note(now, "nobody reads the line: " + std::to_string(dropped) + " bytes dropped");

        bool blocked = false;
        for (std::string due = pacer.dueOutput(now); !due.empty(); due = pacer.dueOutput(now)) {
            ssize_t n = ::write(port.masterFd(), due.data(), due.size());
            if (n <= 0) {
                if (n < 0 && errno != EAGAIN && errno != EINTR)
                    throw std::system_error(errno, std::generic_category(),
                                            "write to " + port.terminalPath());
                blocked = true;
                break;
            }
            transcript.bytes(Transcript::Direction::DeviceToHost, due.substr(0, static_cast<std::size_t>(n)),
                             now, lastSpeed);
            pacer.consumeOutput(static_cast<std::size_t>(n));
        }
        transcript.idle(now);

        const bool over = series.over() || (options.exitAfterFi && finished);
        if (over && !pacer.outputPending()) {
            // Stay on the line a moment so the host reads the last answer before the hang-up.
            if (finishedAt < 0) finishedAt = now;
            if (now - finishedAt >= kExitLinger) {
                stopReason = series.over() ? "every device played" : "finished";
                break;
            }
        }
        if (dirty && now - lastSave >= kSaveInterval) save(now);

        Micros deadline =
            std::min({series.nextDeadline(), pacer.nextInputAt(), blocked ? kNever : pacer.nextOutputAt(),
                      finishedAt >= 0 ? finishedAt + kExitLinger : kNever,
                      dirty ? lastSave + kSaveInterval : kNever, now + 50 * kMillisecond});
        // Microsecond waits: paced bytes are a character time (174 us) apart.
        const Micros wait = std::max<Micros>(0, deadline - now);
        const timespec timeout{static_cast<time_t>(wait / 1000000), static_cast<long>(wait % 1000000) * 1000};

        pollfd fds[3] = {{port.masterFd(), static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                         {signals.fd(), POLLIN, 0},
                         {watch.fd(), POLLIN, 0}};
        int ready = ::ppoll(fds, watch.fd() >= 0 ? 3 : 2, &timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        now = Elapsed(start);
        if (fds[1].revents & POLLIN) break;
        const OpenWatch::Events events =
            watch.fd() >= 0 && (fds[2].revents & POLLIN) ? watch.take() : OpenWatch::Events{};
        if (events.allClosed) series.hostClosed(now);
        if (events.opens > 0 && options.series.enabled) {
            // The next device comes after the gap, not because of the open. Unless a
            // device is connected, what waited for the host belongs to an earlier run.
            if (series.ended() || series.device().mode() == Device::Mode::Calling) {
                port.flushTowardsHost();
                pacer.dropOutput();
            }
            transcript.note(now, "host opened the port");
        } else if (events.opens > 0 && options.rebootOnOpen) {
            // The host opened the port: the operator starts the device again for the new run.
            port.flushTowardsHost();
            pacer.dropOutput();
            series.device().reboot(now);
            transcript.note(now, "host opened the port: device restarted");
        }
        if (fds[0].revents & POLLIN) {
            char buffer[512];
            ssize_t n = ::read(port.masterFd(), buffer, sizeof buffer);
            if (n > 0) {
                if (options.hangupAfter >= 0 && received + n >= options.hangupAfter)
                    n = static_cast<ssize_t>(options.hangupAfter - received);
                std::string_view bytes(buffer, static_cast<std::size_t>(n));
                received += n;
                pacer.received(bytes, now, port.hostBaud(), series.device().lineSpeed());
                if (options.hangupAfter >= 0 && received >= options.hangupAfter) {
                    deliver(kNever, now);
                    stopReason = "hung up";
                    port.close();
                    break;
                }
            } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
                throw std::system_error(errno, std::generic_category(), "read from " + port.terminalPath());
            }
        }
    }

    Micros end = Elapsed(start);
    transcript.note(end, stopReason);
    transcript.flush();
    if (!options.statePath.empty()) save(end);
    if (!options.dumpDir.empty()) WriteDump(options.dumpDir, series.device().memory());
    return 0;
}

} // namespace vz::emu

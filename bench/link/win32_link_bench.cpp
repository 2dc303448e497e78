// The link thread on a Windows COM port (under Wine: a port mapped to a
// pseudo-terminal). Counts the waits of the port that ended on their time-out:
//   vz_win32_link_bench idle N [SECONDS]   port N open, no traffic
//   vz_win32_link_bench dialogue N DIR     boot area and bank 0 of DIR through
//                                          the link thread, stop-and-wait
#include "bench/e2e/stop_and_wait.h"
#include "link/com_thread.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ProcessCpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

// The device's bytes as the link thread hands them over, one at a time.
class LinkLine : public vz::bench::DialogueLine {
public:
    explicit LinkLine(vz::ComThread& link) : link_(link) {
        link_.SetOnChunkReceived([this](vz::ComThread& sender) {
            const std::string chunk = sender.TakeReceived();
            std::lock_guard lock(mutex_);
            bytes_.insert(bytes_.end(), chunk.begin(), chunk.end());
            arrived_.notify_one();
        });
    }
    bool Send(const std::string& text) override {
        link_.PostTx(text);
        return true;
    }
    char Next() override {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, 10s, [this] { return !bytes_.empty(); })) return 0;
        const char byte = bytes_.front();
        bytes_.pop_front();
        return byte;
    }

private:
    vz::ComThread& link_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<char> bytes_;
};

bool Open(vz::ComThread& link, int port) {
    link.SelectLinkPort(port);
    link.SetLinkRun(true);
    const auto deadline = Clock::now() + 5s;
    while (!link.IsPortOpen() && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    if (!link.IsPortOpen()) std::fprintf(stderr, "could not open COM%d\n", port);
    return link.IsPortOpen();
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode != "idle" && !(mode == "dialogue" && argc > 3)) {
        std::fprintf(stderr, "usage: vz_win32_link_bench idle N [SECONDS] | dialogue N DIR\n");
        return 2;
    }
    const int port = std::atoi(argv[2]);
    vz::ComThread link;
    if (mode == "idle") {
        const double seconds = argc > 3 ? std::atof(argv[3]) : 10.0;
        if (!Open(link, port)) return 1;
        std::this_thread::sleep_for(200ms);
        const std::uint64_t before = link.TimedWakeups();
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("COM%d open, no traffic, %.1f s: %.2f timed wake-ups a second, %.3f %% of a core\n", port,
                    wall, static_cast<double>(link.TimedWakeups() - before) / wall,
                    100.0 * (ProcessCpuSeconds() - cpuBefore) / wall);
        link.SetLinkRun(false);
        return 0;
    }
    LinkLine line(link);
    if (!Open(link, port)) return 1;
    const std::uint64_t before = link.TimedWakeups();
    const auto start = Clock::now();
    std::string error;
    int acknowledged = 0;
    const bool ok = vz::bench::RunStopAndWait(line, argv[3], error, &acknowledged);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const std::uint64_t timed = link.TimedWakeups() - before;
    link.SetLinkRun(false);
    if (!ok) {
        std::fprintf(stderr, "dialogue stopped: %s\n", error.c_str());
        return 1;
    }
    std::printf("COM%d dialogue: %d lines acknowledged in %.2f s, %llu timed wake-ups (%.4f a line)\n", port,
                acknowledged, wall, static_cast<unsigned long long>(timed),
                acknowledged > 0 ? static_cast<double>(timed) / acknowledged : 0.0);
    return 0;
}

// Prints what the link thread costs while idle (port closed, and port open
// with no traffic) and how long a byte takes from the line to the chunk
// handler. The device side is the master of a pseudo-terminal.
#include "link/com_thread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The main thread only sleeps meanwhile, so the process's time is the link's.
double CpuShareOver(std::chrono::milliseconds span) {
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = Clock::now();
    std::this_thread::sleep_for(span);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    return 100.0 * cpu / wall;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

} // namespace

int main() {
    int master = -1;
    int terminal = -1;
    char name[256] = {};
    if (::openpty(&master, &terminal, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    ::tcgetattr(terminal, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(terminal, TCSANOW, &raw);

    std::mutex mutex;
    std::condition_variable arrived;
    Clock::time_point arrival;
    bool got = false;

    vz::ComThread link;
    link.SetOnChunkReceived([&](vz::ComThread& sender) {
        const auto now = Clock::now();
        sender.TakeReceived();
        std::lock_guard lock(mutex);
        arrival = now;
        got = true;
        arrived.notify_all();
    });

    std::this_thread::sleep_for(100ms);
    std::printf("idle CPU, port closed:          %6.3f %% of a core\n", CpuShareOver(3s));

    link.SelectLinkPath(name);
    link.SetLinkRun(true);
    const auto openDeadline = Clock::now() + 5s;
    while (!link.IsPortOpen() && Clock::now() < openDeadline)
        std::this_thread::sleep_for(1ms);
    if (!link.IsPortOpen()) {
        std::fprintf(stderr, "could not open %s\n", name);
        return 1;
    }
    std::this_thread::sleep_for(100ms);
    std::printf("idle CPU, port open, no data:   %6.3f %% of a core\n", CpuShareOver(3s));

    constexpr int kSamples = 500;
    std::vector<double> delays;
    delays.reserve(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        {
            std::lock_guard lock(mutex);
            got = false;
        }
        const char byte = '.';
        const auto sent = Clock::now();
        if (::write(master, &byte, 1) != 1) {
            std::perror("write");
            return 1;
        }
        std::unique_lock lock(mutex);
        if (!arrived.wait_for(lock, 2s, [&] { return got; })) {
            std::fprintf(stderr, "byte %d never arrived\n", i);
            return 1;
        }
        delays.push_back(std::chrono::duration<double, std::milli>(arrival - sent).count());
        lock.unlock();
        std::this_thread::sleep_for(2ms);
    }
    std::printf("byte to chunk handler, %d samples: median %.3f ms, p99 %.3f ms, max %.3f ms\n", kSamples,
                Percentile(delays, 0.5), Percentile(delays, 0.99), Percentile(delays, 1.0));

    link.SetLinkRun(false);
    ::close(master);
    ::close(terminal);
    return 0;
}

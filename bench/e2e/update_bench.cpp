// Runs the sample package's full update against the emulated device moving bytes
// at the real serial speed, and prints how far the updater stays from the wire.
#include "bench/e2e/reference_host.h"
#include "bench/e2e/transcript_figures.h"
#include "tests/e2e/process.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using vz::e2e::Process;

// Pauses the update asks for itself: one second before each PROM update, and the
// sample script's "wait 200".
constexpr double kProtocolPauses = 2 * 1.0 + 0.2;
// Turnarounds this long are those pauses, not the updater's reaction.
constexpr double kPauseMs = 150;

struct Face {
    const char* name;
    bool window;
    bool wine = false; // vzflash.exe under Wine, its COM1 mapped to the device's link
};

// --wine EXE LINK: the Windows vzflash and the path Wine's COM1 points to.
std::string g_wineExe;
std::string g_wineLink;

// Ratio to the floor and turnaround median of one run, for the comparison.
struct Result {
    std::string name;
    double ratio = 0;
    double median = 0;
    // The boot area and bank 0 alone, the stretch the reference host covers.
    double partRatio = 0;
    double partMedian = 0;
};

struct Turnarounds {
    std::vector<double> reactions;
    double median = 0, p99 = 0, max = 0;
};

Turnarounds SplitTurnarounds(const std::vector<double>& all) {
    Turnarounds t;
    for (double value : all)
        if (value < kPauseMs) t.reactions.push_back(value);
    t.median = vz::bench::Percentile(t.reactions, 0.5);
    t.p99 = vz::bench::Percentile(t.reactions, 0.99);
    t.max = t.reactions.empty() ? 0.0 : *std::max_element(t.reactions.begin(), t.reactions.end());
    return t;
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// The boot area and bank 0 through the single-threaded reference host.
std::optional<Result> RunReference(const fs::path& work) {
    const fs::path transcript = work / "reference.log";
    Process device({VZDEVICE_PATH, "--baud-pacing", "--erase-ms", "0", "--exit-after-fi", "--log",
                    transcript.string(), "--dump", (work / "dump").string()});
    const std::string port = device.ReadLine(10);
    if (port.empty()) {
        std::fprintf(stderr, "vzdevice did not start: %s\n", device.Err().c_str());
        return std::nullopt;
    }
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    const bool ok = vz::bench::RunReferenceHost(port, (work / "pkg" / "KRA350").string(), error);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    device.Wait(30);
    if (!ok) {
        std::fprintf(stderr, "reference host: %s\n", error.c_str());
        return std::nullopt;
    }
    const vz::bench::TranscriptFigures figures = vz::bench::ReadTranscript(transcript.string());
    const Turnarounds t = SplitTurnarounds(figures.turnarounds);
    const double ratio = figures.spanSeconds / figures.wireSeconds;
    std::printf(
        "| reference (boot area + bank 0) | fast | %llu / %llu | %.2f | %.2f | %.2f | %.4f | %.3f | %.3f | "
        "%.3f | %.1f%% | |\n",
        static_cast<unsigned long long>(figures.bytesToDevice),
        static_cast<unsigned long long>(figures.bytesFromDevice), figures.wireSeconds, figures.spanSeconds,
        wall, ratio, t.median, t.p99, t.max, 100.0 * cpu / wall);
    std::fflush(stdout);
    return Result{"reference", ratio, t.median, ratio, t.median};
}

std::optional<Result> RunOnce(const fs::path& work, const Face& face, const char* speed) {
    const fs::path transcript = work / (std::string(face.name) + "-" + speed + ".log");
    std::vector<std::string> deviceArgs{
        VZDEVICE_PATH,           "--baud-pacing", "--erase-ms",        "0",
        "--exit-after-fi",       "--log",         transcript.string(), "--dump",
        (work / "dump").string()};
    if (face.wine) {
        fs::remove(g_wineLink);
        deviceArgs.insert(deviceArgs.end(), {"--link", g_wineLink});
    }
    Process device(deviceArgs);
    const std::string port = device.ReadLine(10);
    if (port.empty()) {
        std::fprintf(stderr, "vzdevice did not start: %s\n", device.Err().c_str());
        return std::nullopt;
    }
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Process> host;
    if (face.wine) {
        // Wine's drive Z: is the root of the Linux file system.
        host = std::make_unique<Process>(std::vector<std::string>{"/usr/bin/wine", g_wineExe, "run", "--root",
                                                                  "Z:" + (work / "pkg").string(), "--port",
                                                                  "1", "--quiet", "--speed", speed});
    } else if (face.window) {
        host = std::make_unique<Process>(std::vector<std::string>{VZUPDATER_PATH},
                                         Process::Environment{{"QT_QPA_PLATFORM", "offscreen"},
                                                              {"VZ_ROOT", (work / "pkg").string()},
                                                              {"VZ_COM1", port},
                                                              {"VZ_UNATTENDED", "1"}});
    } else {
        host = std::make_unique<Process>(std::vector<std::string>{VZFLASH_PATH, "run", "--root",
                                                                  (work / "pkg").string(), "--port", port,
                                                                  "--quiet", "--speed", speed});
    }
    const int status = host->Wait(1800);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    device.Wait(30);
    if (status != 0) {
        std::fprintf(stderr, "%s run ended with status %d\n%s%s\n", face.name, status, host->Out().c_str(),
                     host->Err().c_str());
        return std::nullopt;
    }
    const vz::bench::TranscriptFigures figures = vz::bench::ReadTranscript(transcript.string());
    const Turnarounds t = SplitTurnarounds(figures.turnarounds);
    const double floor = figures.wireSeconds + kProtocolPauses;
    const rusage& usage = host->Usage();
    const double cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    std::printf("| %s | %s | %llu / %llu | %.2f | %.2f | %.2f | %.4f | %.3f | %.3f | %.3f | %.1f%% | %ld |\n",
                face.name, speed, static_cast<unsigned long long>(figures.bytesToDevice),
                static_cast<unsigned long long>(figures.bytesFromDevice), floor, figures.spanSeconds, wall,
                figures.spanSeconds / floor, t.median, t.p99, t.max, 100.0 * cpu / wall, usage.ru_maxrss);
    std::fflush(stdout);
    const vz::bench::TranscriptFigures part = vz::bench::ReadTranscript(transcript.string(), "PB", "P1");
    return Result{std::string(face.name) + " " + speed, figures.spanSeconds / floor, t.median,
                  part.spanSeconds / part.wireSeconds, SplitTurnarounds(part.turnarounds).median};
}

// CPU share of the window left open with no run, over `seconds`.
double IdleWindowShare(const fs::path& work, double seconds) {
    Process window({VZUPDATER_PATH},
                   {{"QT_QPA_PLATFORM", "offscreen"}, {"VZ_ROOT", (work / "pkg").string()}});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto ticks = [&] {
        std::ifstream stat("/proc/" + std::to_string(window.Pid()) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        double user = 0, system = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) user = std::stod(field);
            if (i == 15) system = std::stod(field);
        }
        return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    };
    const double before = ticks();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double used = ticks() - before;
    window.Signal(SIGTERM);
    window.Wait(10);
    return 100.0 * used / seconds;
}

} // namespace

// The figures of a transcript written elsewhere (for example by a device that
// served a Windows program under Wine).
int PrintTranscript(const char* path) {
    const vz::bench::TranscriptFigures figures = vz::bench::ReadTranscript(path);
    const Turnarounds t = SplitTurnarounds(figures.turnarounds);
    std::printf(
        "%s: %llu / %llu bytes, wire %.2f s, measured %.2f s, ratio %.4f, turnaround median %.3f ms, "
        "p99 %.3f ms, max %.3f ms\n",
        path, static_cast<unsigned long long>(figures.bytesToDevice),
        static_cast<unsigned long long>(figures.bytesFromDevice), figures.wireSeconds, figures.spanSeconds,
        figures.wireSeconds > 0 ? figures.spanSeconds / figures.wireSeconds : 0.0, t.median, t.p99, t.max);
    return figures.wireSeconds > 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    bool small = false;
    bool withWindow = std::string(VZUPDATER_PATH).size() > 0;
    bool withSlow = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--small") small = true;
        if (arg == "--no-window") withWindow = false;
        if (arg == "--no-slow") withSlow = false;
        if (arg == "--wine" && i + 2 < argc) {
            g_wineExe = argv[++i];
            g_wineLink = argv[++i];
        }
        if (arg == "--transcript" && i + 1 < argc) return PrintTranscript(argv[++i]);
    }
    const fs::path work = fs::temp_directory_path() / ("vz_update_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    std::vector<std::string> make{VZDEVICE_PATH, "make-package", (work / "pkg").string()};
    if (small) make.push_back("--small");
    if (Process(make).Wait(120) != 0) return 1;

    std::printf("| face | speed | bytes to / from device | wire floor s | measured s | wall s | ratio | "
                "turnaround median ms | p99 ms | max ms | CPU | peak KiB |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    bool ok = true;
    std::vector<Result> results;
    const auto note = [&](std::optional<Result> result) {
        ok = result.has_value() && ok;
        results.push_back(result.value_or(Result{"(failed)"}));
    };
    // The reference host runs just before every run of ours, so that both meet
    // the machine in the same state.
    std::vector<Result> references;
    const auto referenceRun = [&] {
        const std::optional<Result> reference = RunReference(work);
        ok = reference.has_value() && ok;
        references.push_back(reference.value_or(Result{}));
    };
    std::vector<Face> faces{{"vzflash", false}};
    if (withWindow) faces.push_back({"vzupdater", true});
    if (!g_wineExe.empty()) {
        faces = {{"vzflash.exe (Wine)", false, true}};
        withWindow = false;
    }
    for (const Face& face : faces) {
        referenceRun();
        note(RunOnce(work, face, "fast"));
        // The window's speed is chosen in its menu: an unattended window runs fast.
        if (withSlow && !face.window) {
            referenceRun();
            note(RunOnce(work, face, "slow"));
        }
    }
    std::printf("\nBoot area and bank 0, against the reference host run just before (ratio to the floor, "
                "turnaround median):\n");
    for (std::size_t i = 0; i < results.size() && i < references.size(); ++i) {
        const Result& r = results[i];
        const Result& ref = references[i];
        std::printf("  %-22s %.4f vs %.4f (%+.1f%%), %.3f ms vs %.3f ms; whole update %.4f\n", r.name.c_str(),
                    r.partRatio, ref.ratio, ref.ratio > 0 ? 100.0 * (r.partRatio / ref.ratio - 1) : 0.0,
                    r.partMedian, ref.median, r.ratio);
    }
    if (withWindow)
        std::printf("\nWindow open without a run: %.2f%% of one core\n", IdleWindowShare(work, 10));
    fs::remove_all(work);
    return ok ? 0 : 1;
}

// The full update against the emulated device playing a USB adapter's latency
// timer (answers leave at the next 1 ms or 16 ms tick), on a line paced at the
// real speed: how long the update and keyboard bank 0 take, and what the updater
// advised and when.
#include "bench/e2e/transcript_figures.h"
#include "tests/e2e/process.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vz::e2e::Process;

// The programs measured: this build's, or others given on the command line.
std::string g_vzdevice = VZDEVICE_PATH;
std::string g_vzflash = VZFLASH_PATH;

// Pauses the update asks for itself: one second before each PROM update, and the
// sample script's "wait 200".
constexpr double kProtocolPauses = 2 * 1.0 + 0.2;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

struct Run {
    int latencyMs = 0;
    double wall = 0;
    double span = 0;
    double floor = 0;
    double bank = 0; // keyboard bank 0, its command to the next bank's
    double bankWire = 0;
    std::vector<std::string> advice; // with the second of the run it came at
};

bool RunOnce(const fs::path& work, int latencyMs, Run& run) {
    run.latencyMs = latencyMs;
    const fs::path transcript = work / ("device-" + std::to_string(latencyMs) + ".log");
    const fs::path log = work / ("host-" + std::to_string(latencyMs) + ".log");
    Process device({g_vzdevice, "--baud-pacing", "--erase-ms", "0", "--exit-after-fi", "--latency-ms",
                    std::to_string(latencyMs), "--log", transcript.string()});
    const std::string port = device.ReadLine(10);
    if (port.empty()) {
        std::fprintf(stderr, "vzdevice did not start: %s\n", device.Err().c_str());
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    Process host({g_vzflash, "run", "--root", (work / "pkg").string(), "--port", port, "--quiet", "--log",
                  log.string()});
    const int status = host.Wait(3600);
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    device.Wait(30);
    if (status != 0) {
        std::fprintf(stderr, "vzflash ended with status %d\n%s\n", status, host.Err().c_str());
        return false;
    }
    const vz::bench::TranscriptFigures whole = vz::bench::ReadTranscript(transcript.string());
    const vz::bench::TranscriptFigures bank = vz::bench::ReadTranscript(transcript.string(), "P0", "P1");
    run.span = whole.spanSeconds;
    run.floor = whole.wireSeconds + kProtocolPauses;
    run.bank = bank.spanSeconds;
    run.bankWire = bank.wireSeconds;
    std::ifstream file(log);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const std::string& line : Lines(text)) {
        const std::size_t kind = line.find(" advice ");
        if (kind == std::string::npos || line.find("latency timer") == std::string::npos) continue;
        run.advice.push_back("at " + line.substr(0, line.find('.') + 2) + " s: " + line.substr(kind + 8));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> latencies{1, 16};
    bool small = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--small") small = true; // too few lines to be judged: no advice
        if (arg == "--vzflash" && i + 1 < argc) g_vzflash = argv[++i];
        if (arg == "--vzdevice" && i + 1 < argc) g_vzdevice = argv[++i];
        if (arg == "--latency" && i + 1 < argc) {
            if (latencies.size() == 2 && latencies[0] == 1 && latencies[1] == 16) latencies.clear();
            latencies.push_back(std::stoi(argv[++i]));
        }
    }
    const fs::path work = fs::temp_directory_path() / ("vz_latency_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    std::vector<std::string> make{g_vzdevice, "make-package", (work / "pkg").string()};
    if (small) make.push_back("--small");
    if (Process(make).Wait(120) != 0) return 1;

    std::printf("| adapter latency | wire floor s | measured s | ratio | wall s | bank 0 s (wire s) |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::vector<Run> runs;
    bool ok = true;
    for (const int latency : latencies) {
        Run run;
        if (!RunOnce(work, latency, run)) {
            ok = false;
            continue;
        }
        std::printf("| %d ms | %.2f | %.2f | %.3f | %.2f | %.2f (%.2f) |\n", latency, run.floor, run.span,
                    run.span / run.floor, run.wall, run.bank, run.bankWire);
        std::fflush(stdout);
        runs.push_back(run);
    }
    std::printf("\nAdvice:\n");
    for (const Run& run : runs) {
        if (run.advice.empty()) std::printf("  %d ms: none\n", run.latencyMs);
        for (const std::string& advice : run.advice)
            std::printf("  %d ms, %s\n", run.latencyMs, advice.c_str());
    }
    if (runs.size() >= 2 && runs.front().span > 0)
        std::printf("\n%d ms against %d ms: the update %.2f times as long, bank 0 %.2f times\n",
                    runs.back().latencyMs, runs.front().latencyMs, runs.back().span / runs.front().span,
                    runs.back().bank / runs.front().bank);
    fs::remove_all(work);
    return ok ? 0 : 1;
}

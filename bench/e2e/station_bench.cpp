// vzflash station at scale: the same update on one port and on N ports at once
// against paced emulated devices, and a soak of many devices in a row with faults.
//   vz_station_bench [--ports N] [--devices K] [--full]   scale (default 8 ports, 2 devices each;
//                                                          a full USB hub is 16)
//   vz_station_bench --soak M                             M devices in a row on one port
#include "tests/e2e/process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vz::e2e::Process;
using Clock = std::chrono::steady_clock;

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The text after `key` up to the next comma or brace.
std::string Field(const std::string& line, const std::string& key) {
    const std::size_t at = line.find("\"" + key + "\": ");
    if (at == std::string::npos) return {};
    const std::size_t start = at + key.size() + 4;
    return line.substr(start, line.find_first_of(",}", start) - start);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// How long the threads of a process were ready to run but waited for a CPU (the
// kernel's run-queue wait), added up over the threads that live now.
double ReadySeconds(pid_t pid) {
    double total = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::ifstream in(it->path() / "schedstat");
        double running = 0, waiting = 0;
        if (in >> running >> waiting) total += waiting / 1e9;
    }
    return total;
}

struct StationRun {
    std::map<int, std::vector<double>> seconds; // a port's devices' update times, by port number
    int completed = 0;
    int devices = 0;
    double wall = 0;
    double cpu = 0;
    double devicesCpu = 0; // every emulated device's, added up
    double stationReady = 0;
    double devicesReady = 0;
    long peakKiB = 0;
};

std::unique_ptr<Process> StartDevice(const fs::path& link, std::vector<std::string> extra) {
    std::vector<std::string> argv{VZDEVICE_PATH, "--erase-ms", "0", "--link", link.string()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto device = std::make_unique<Process>(argv);
    if (device->ReadLine(10).empty()) {
        std::fprintf(stderr, "vzdevice did not start: %s\n", device->Err().c_str());
        std::exit(1);
    }
    return device;
}

// `ports` paced devices, `devices` each in a row, and one station over all of them.
StationRun RunStation(const fs::path& work, const fs::path& package, int ports, int devices,
                      const std::string& label) {
    const fs::path report = work / ("report-" + label + ".jsonl");
    fs::remove(report);
    std::vector<std::unique_ptr<Process>> emulators;
    std::vector<std::string> argv{VZFLASH_PATH,     "station",       "--root",
                                  package.string(), "--count",       std::to_string(devices),
                                  "--report",       report.string(), "--quiet"};
    for (int i = 0; i < ports; ++i) {
        const fs::path link = work / (label + "-" + std::to_string(i));
        emulators.push_back(
            StartDevice(link, {"--baud-pacing", "--devices", std::to_string(devices), "--gap-ms", "500"}));
        argv.push_back("--port");
        argv.push_back(link.string());
    }
    const auto start = Clock::now();
    Process station(argv);
    StationRun run;
    // Sampled while it runs: a thread's figure goes with it.
    while (station.Running() && Clock::now() - start < std::chrono::hours(1)) {
        run.stationReady = std::max(run.stationReady, ReadySeconds(station.Pid()));
        double devicesReady = 0;
        for (const auto& emulator : emulators)
            devicesReady += ReadySeconds(emulator->Pid());
        run.devicesReady = std::max(run.devicesReady, devicesReady);
        station.ReadLine(0.25);
    }
    station.Wait(10);
    run.wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpu = CpuSeconds(station.Usage());
    run.peakKiB = station.Usage().ru_maxrss;
    // Each device program ends once its last device and the gap after it are over.
    for (auto& emulator : emulators)
        if (emulator->Wait(30) != -1000) run.devicesCpu += CpuSeconds(emulator->Usage());
    for (const std::string& line : Lines(report)) {
        ++run.devices;
        if (Field(line, "result") != "\"completed\"") continue;
        ++run.completed;
        const std::string port = Field(line, "port");
        const int number = std::atoi(port.substr(port.rfind('-') + 1).c_str());
        run.seconds[number].push_back(std::atof(Field(line, "seconds").c_str()));
    }
    return run;
}

std::vector<double> AllSeconds(const StationRun& run) {
    std::vector<double> all;
    for (const auto& [port, seconds] : run.seconds)
        all.insert(all.end(), seconds.begin(), seconds.end());
    return all;
}

void PrintRun(const char* what, const StationRun& run, int ports) {
    std::printf("%s: %d of %d devices completed, median update %.2f s, station CPU %.1f%% of a core "
                "(%.2f%% a port), devices' CPU %.1f%% of a core, peak %ld KiB\n"
                "  waited for a CPU, a device: station %.0f ms, its emulator %.0f ms\n",
                what, run.completed, run.devices, Median(AllSeconds(run)), 100 * run.cpu / run.wall,
                100 * run.cpu / run.wall / ports, 100 * run.devicesCpu / run.wall, run.peakKiB,
                1000 * run.stationReady / std::max(1, run.devices),
                1000 * run.devicesReady / std::max(1, run.devices));
}

// One port alone before and after the ports at once, so that a change of the machine's
// load during the run shows instead of passing for the station's cost.
int Scale(const fs::path& work, const fs::path& package, int ports, int devices) {
    std::printf("load average before: ");
    std::fflush(stdout);
    std::system("cut -d' ' -f1-3 /proc/loadavg");
    const StationRun before = RunStation(work, package, 1, devices, "alone-before");
    const StationRun many = RunStation(work, package, ports, devices, "many");
    const StationRun after = RunStation(work, package, 1, devices, "alone-after");
    std::printf("load average after: ");
    std::fflush(stdout);
    std::system("cut -d' ' -f1-3 /proc/loadavg");
    std::vector<double> alone = AllSeconds(before);
    for (const double seconds : AllSeconds(after))
        alone.push_back(seconds);
    const double single = Median(alone);
    PrintRun("one port before", before, 1);
    PrintRun("one port after ", after, 1);
    std::printf("one port alone: median update %.2f s over %zu devices\n", single, alone.size());
    char what[32];
    std::snprintf(what, sizeof what, "%d ports", ports);
    PrintRun(what, many, ports);
    double worst = 0;
    for (const auto& [port, seconds] : many.seconds) {
        const double ratio = Median(seconds) / single;
        worst = std::max(worst, ratio);
        std::printf("  port %2d  median %.2f s  x %.3f of one port\n", port, Median(seconds), ratio);
    }
    std::printf("worst port: x %.3f of one port alone (target 1.05), all ports: x %.3f\n", worst,
                Median(AllSeconds(many)) / single);
    return many.completed == many.devices && before.completed == before.devices &&
                   after.completed == after.devices
               ? 0
               : 1;
}

// /proc figures of a running process: resident memory and open descriptors.
std::pair<long, int> Resources(pid_t pid) {
    long rss = 0;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) rss = std::atol(line.c_str() + 6);
    int fds = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec))
        ++fds;
    return {rss, fds};
}

int Soak(const fs::path& work, const fs::path& package, int devices) {
    // The boot area and the banks, unpaced: the PROMs' pauses would only add waiting.
    const fs::path model = work / "soak-pkg" / "KRA350";
    fs::create_directories(model.parent_path());
    fs::copy(package / "KRA350", model, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    {
        std::ofstream out(model / "script.ini");
        for (const std::string& line : Lines(package / "KRA350" / "script.ini"))
            if (line.size() < 2 || std::string("PVT").find(line[0]) == std::string::npos ||
                (line[1] != '8' && line[1] != '9'))
                out << line << "\n";
    }
    const fs::path results = work / "soak-devices.jsonl";
    const fs::path report = work / "soak-report.jsonl";
    fs::remove(results);
    fs::remove(report);
    auto device =
        StartDevice(work / "soak-port", {"--devices", std::to_string(devices), "--gap-ms", "50", "--cycle",
                                         "clean,clean,resend=30%,x=bank:5,clean,vanish=1500", "--results",
                                         results.string(), "--verify", model.string()});
    const auto start = Clock::now();
    Process station({VZFLASH_PATH, "station", "--root", (work / "soak-pkg").string(), "--port",
                     (work / "soak-port").string(), "--count", std::to_string(devices), "--timeout", "2",
                     "--report", report.string(), "--quiet"});
    std::pair<long, int> at20{0, 0}, most{0, 0}, last{0, 0};
    std::size_t seen = 0;
    while (station.Running()) {
        const std::size_t done = Lines(report).size();
        const auto now = Resources(station.Pid());
        if (done != seen && now.first > 0) {
            seen = done;
            if (done >= 20) {
                if (at20.first == 0) at20 = now;
                most = {std::max(most.first, now.first), std::max(most.second, now.second)};
                last = now;
            }
        }
        station.ReadLine(0.2);
    }
    station.Wait(10);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    device->Wait(30);
    std::map<std::string, std::string> deviceSide;
    for (const std::string& line : Lines(results))
        deviceSide[line.substr(line.find("\"id\":\"") + 6, 4)] = line;
    std::map<std::string, int> outcomes;
    int wrong = 0;
    for (const std::string& line : Lines(report)) {
        const std::string result = Field(line, "result");
        const std::string& mine = deviceSide[Field(line, "device_id").substr(1, 4)];
        const std::string fault = mine.substr(mine.find("\"fault\":") + 8);
        ++outcomes[result + " " + fault.substr(0, fault.find(','))];
        const bool right = mine.find("\"ended\":\"finished\"") != std::string::npos &&
                           mine.find("\"memories_right\":true") != std::string::npos;
        if ((result == "\"completed\"") != right) ++wrong;
    }
    std::printf("soak: %zu devices recorded in %.0f s (%.2f s a device), station CPU %.1f s\n",
                Lines(report).size(), wall,
                wall / static_cast<double>(std::max<std::size_t>(1, Lines(report).size())),
                CpuSeconds(station.Usage()));
    for (const auto& [outcome, count] : outcomes)
        std::printf("  %4d  %s\n", count, outcome.c_str());
    std::printf("records that disagree with the device's own memories: %d\n", wrong);
    std::printf("resident memory: %ld KiB at the 20th device, %ld KiB at most after, %ld KiB at the last\n",
                at20.first, most.first, last.first);
    std::printf("open descriptors: %d at the 20th device, %d at most after, %d at the last\n", at20.second,
                most.second, last.second);
    return wrong == 0 && static_cast<int>(Lines(report).size()) == devices ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    int ports = 8, devices = 2, soak = 0;
    bool full = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ports" && i + 1 < argc)
            ports = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--devices" && i + 1 < argc)
            devices = std::atoi(argv[++i]);
        else if (arg == "--soak" && i + 1 < argc)
            soak = std::atoi(argv[++i]);
        else if (arg == "--full")
            full = true;
        else {
            std::fprintf(stderr, "usage: vz_station_bench [--ports N] [--devices K] [--full] | --soak M\n");
            return 2;
        }
    }
    const fs::path work = fs::temp_directory_path() / ("vz_station_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    std::vector<std::string> make{VZDEVICE_PATH, "make-package", (work / "pkg").string()};
    if (!full) make.push_back("--small");
    if (Process(make).Wait(120) != 0) return 1;
    const int status = soak > 0 ? Soak(work, work / "pkg", soak) : Scale(work, work / "pkg", ports, devices);
    fs::remove_all(work);
    return status;
}

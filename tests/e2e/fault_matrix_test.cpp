// vzflash run of the small sample package against vzdevice with one fault at a
// time: every fault ends the run within a bounded time, with the exact text of
// that fault or with memories identical to the package, and a silent device is
// waited on without spinning.
#include "tests/e2e/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace vz::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Instrumented code costs more per wake-up; a busy loop still takes a whole core.
constexpr double kIdleCpuShare = 0.25;
#else
constexpr double kIdleCpuShare = 0.10;
#endif

// Every case must end well within this; a hung run is killed and fails.
constexpr double kRunLimitSeconds = 60;

std::string LastLineOf(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text.substr(text.rfind('\n') + 1);
}

// The child of this process running `name`, found by its parent and command name.
pid_t ChildNamed(const std::string& name) {
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    pid_t found = -1;
    while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string pid, comm, state, ppid;
        if (!(stat >> pid >> comm >> state >> ppid)) continue;
        if (comm == "(" + name + ")" && std::stoi(ppid) == getpid()) found = std::stoi(pid);
    }
    closedir(proc);
    return found;
}

// User and system CPU time of a process in seconds; negative once it is gone.
double CpuSeconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(file, text)) return -1;
    // The command name may hold blanks: the fields that follow start after its ")".
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14 || index == 15) ticks += std::stol(field);
        if (index == 15) break;
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct CpuSample {
    Clock::time_point at;
    double cpu;
};

class FaultMatrix : public ::testing::Test {
protected:
    static inline fs::path base_;

    static void SetUpTestSuite() {
        base_ = fs::temp_directory_path() / ("vz_fault_matrix_" + std::to_string(getpid()));
        fs::remove_all(base_);
        fs::create_directories(base_);
        Process make({VZDEVICE_PATH, "make-package", (base_ / "pkg").string(), "--small"});
        ASSERT_EQ(make.Wait(60), 0) << make.Err();
    }
    static void TearDownTestSuite() { fs::remove_all(base_); }

    fs::path Dump() const {
        return base_ /
               ("dump-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }

    // Starts the device with the given faults; returns its terminal path.
    std::string StartDevice(std::vector<std::string> faults) {
        std::vector<std::string> argv{VZDEVICE_PATH, "--erase-ms", "0", "--dump", Dump().string()};
        argv.insert(argv.end(), faults.begin(), faults.end());
        device_ = std::make_unique<Process>(argv);
        const std::string path = device_->ReadLine(10);
        EXPECT_FALSE(path.empty()) << device_->Err();
        return path;
    }

    void StartFlash(const std::string& port, std::vector<std::string> extra = {}) {
        std::vector<std::string> argv{VZFLASH_PATH, "run", "--root", (base_ / "pkg").string(),
                                      "--port",     port,  "--quiet"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        started_ = Clock::now();
        flash_ = std::make_unique<Process>(argv);
    }

    // Exit status of the whole update with the device's faults; -1000 if it had to be killed.
    int Update(std::vector<std::string> faults) {
        StartFlash(StartDevice(std::move(faults)));
        return flash_->Wait(kRunLimitSeconds);
    }

    // The memories the device wrote, against what the package's script programs.
    void ExpectIdenticalMemories() {
        device_->Signal(SIGTERM);
        ASSERT_EQ(device_->Wait(20), 0);
        Process verify({VZDEVICE_PATH, "verify-dump", (base_ / "pkg" / "KRA350").string(), Dump().string()});
        EXPECT_EQ(verify.Wait(30), 0) << verify.Out() << verify.Err();
    }

    // Runs vzflash to its end, sampling its CPU time as it goes.
    std::vector<CpuSample> SampleUntilExit() {
        std::vector<CpuSample> samples;
        pid_t pid = -1;
        for (int i = 0; i < 100 && pid < 0; ++i) {
            pid = ChildNamed("vzflash");
            if (pid < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_GT(pid, 0) << "vzflash not found among the children";
        const auto limit = started_ + std::chrono::duration<double>(kRunLimitSeconds);
        while (pid > 0 && Clock::now() < limit) {
            const double cpu = CpuSeconds(pid);
            if (cpu < 0) break;
            samples.push_back({Clock::now(), cpu});
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!flash_->Running()) break;
        }
        return samples;
    }

    // CPU share of vzflash over the `seconds` that end `margin` seconds before its last sample.
    static double CpuShareBeforeEnd(const std::vector<CpuSample>& samples, double seconds, double margin) {
        if (samples.empty()) return 1.0;
        const auto end = samples.back().at -
                         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(margin));
        const auto start =
            end - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        const CpuSample* first = nullptr;
        const CpuSample* last = nullptr;
        for (const CpuSample& sample : samples) {
            if (sample.at >= start && !first) first = &sample;
            if (sample.at <= end) last = &sample;
        }
        if (!first || !last || last->at <= first->at) return 1.0;
        const double wall = std::chrono::duration<double>(last->at - first->at).count();
        return (last->cpu - first->cpu) / wall;
    }

    std::string LastLine() const { return LastLineOf(flash_->Out()); }
    bool Printed(const std::string& lines) const { return flash_->Out().find(lines) != std::string::npos; }

    std::unique_ptr<Process> device_;
    std::unique_ptr<Process> flash_;
    Clock::time_point started_;
};

TEST_F(FaultMatrix, OnePercentResendsStillGiveIdenticalMemories) {
    EXPECT_EQ(Update({"--fault-resend", "0.01", "--seed", "11"}), 0) << flash_->Out() << flash_->Err();
    EXPECT_EQ(LastLine(), "Program operation completed");
    ExpectIdenticalMemories();
}

TEST_F(FaultMatrix, StrayBytesBetweenAnswersAreSkipped) {
    EXPECT_EQ(Update({"--fault-stray", "0.3", "--seed", "5"}), 0) << flash_->Out() << flash_->Err();
    EXPECT_EQ(LastLine(), "Program operation completed");
    ExpectIdenticalMemories();
}

TEST_F(FaultMatrix, ZeroBytesBetweenAnswersAreSkipped) {
    EXPECT_EQ(Update({"--fault-zero", "0.3", "--seed", "6"}), 0) << flash_->Out() << flash_->Err();
    EXPECT_EQ(LastLine(), "Program operation completed");
    ExpectIdenticalMemories();
}

// "X" at one chosen line of each kind of instruction: the run stops there, with
// that instruction's own text, and goes no further.
struct Refusal {
    const char* fault;
    const char* lastStatus; // the status line shown just before the error
    const char* error;
};

void PrintTo(const Refusal& c, std::ostream* out) {
    *out << c.fault;
}

class RefusalCase : public FaultMatrix, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalCase, StopsWithTheInstructionsOwnText) {
    const Refusal& c = GetParam();
    EXPECT_EQ(Update({"--fault-x", c.fault}), 1) << flash_->Out() << flash_->Err();
    EXPECT_EQ(LastLine(), c.error) << flash_->Out();
    EXPECT_TRUE(Printed(std::string("\n") + c.lastStatus + "\n" + c.error + "\n")) << flash_->Out();
    EXPECT_FALSE(Printed("Program operation completed"));
}

INSTANTIATE_TEST_SUITE_P(
    EachKind, RefusalCase,
    ::testing::Values(
        // Line 0 of boot.hex goes out twice; the second good line is its repetition.
        Refusal{"boot:3", "Upload Extended Boot", "Error while writing!!!"},
        // bank0.hex gives six good lines with the repetition: the seventh is bank 1's first.
        Refusal{"bank:7", "Upload Bank1", "Error while writing!!!"},
        // The sixth command record of prom1.svf comes from its line 7 (its first line is a comment).
        Refusal{"prom:6", "Updating Prom Devices", "Error while executing Effect file line : 7"},
        Refusal{"checksum:3", "Verify Bank1", "Checksum Error"},
        Refusal{"version:1", "Verify Bank7", "Error while writing version number !!!"}),
    [](const ::testing::TestParamInfo<Refusal>& info) {
        std::string name = info.param.fault;
        return name.substr(0, name.find(':'));
    });

// A package with one bad file: the lines go out as they stand and the device
// judges them; the run ends there with the text the device's answer calls for.
struct BadFile {
    const char* name;
    const char* file; // below the KRA350 directory
    int line;         // 1-based line replaced
    const char* text; // the new line
    const char* lastStatus;
    const char* error;
};

void PrintTo(const BadFile& c, std::ostream* out) {
    *out << c.name;
}

class BadPackageFile : public FaultMatrix, public ::testing::WithParamInterface<BadFile> {
protected:
    // A copy of the package with the one line replaced; returns its root.
    fs::path CorruptedPackage(const BadFile& c) {
        const fs::path root = base_ / (std::string("pkg-") + c.name);
        fs::remove_all(root);
        fs::copy(base_ / "pkg", root, fs::copy_options::recursive);
        const fs::path path = root / "KRA350" / c.file;
        std::ifstream in(path, std::ios::binary);
        std::string line, text;
        for (int number = 1; std::getline(in, line); ++number)
            text += (number == c.line ? std::string(c.text) + "\r" : line) + "\n";
        in.close();
        std::ofstream(path, std::ios::binary) << text;
        return root;
    }
};

TEST_P(BadPackageFile, EndsWhereTheDeviceRefusesIt) {
    const BadFile& c = GetParam();
    const fs::path root = CorruptedPackage(c);
    const std::string port = StartDevice({});
    std::vector<std::string> argv{VZFLASH_PATH, "run", "--root", root.string(), "--port", port, "--quiet"};
    flash_ = std::make_unique<Process>(argv);
    EXPECT_EQ(flash_->Wait(kRunLimitSeconds), 1) << flash_->Out() << flash_->Err();
    EXPECT_EQ(LastLine(), c.error) << flash_->Out();
    EXPECT_TRUE(Printed(std::string("\n") + c.lastStatus + "\n" + c.error + "\n")) << flash_->Out();
}

INSTANTIATE_TEST_SUITE_P(
    Package, BadPackageFile,
    ::testing::Values(
        // A short line is asked for again and again, up to the limit.
        BadFile{"TruncatedLine", "bank1.hex", 2, ":108010003B784728F310", "Upload Bank1",
                "Too Many Transmission Error !!!"},
        BadFile{"WrongRecordChecksum", "boot.hex", 3, ":10402000E496EEE41FD9E8CA370813A6505D023400",
                "Upload Extended Boot", "Too Many Transmission Error !!!"},
        BadFile{"LowerCaseDigits", "bank2.hex", 1, ":10800000e496eee41fd9e8ca370813a6505d02347f",
                "Upload Bank2", "Too Many Transmission Error !!!"},
        // Data past the top of the address space lies outside every bank.
        BadFile{"RecordPastTheTop", "bank3.hex", 4, ":02FFFF001122CD", "Upload Bank3",
                "Error while writing!!!"},
        BadFile{"BadEffectStatement", "prom1.svf", 12, "SIR 16 TDI (ECFG);", "Updating Prom Devices",
                "Error in Effect file line : 12"}),
    [](const ::testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

TEST_F(FaultMatrix, DeviceNeverCallingIsWaitedOnWithoutSpinning) {
    StartFlash(StartDevice({"--fault-silence-after", "0"}), {"--timeout", "3"});
    const std::vector<CpuSample> samples = SampleUntilExit();
    EXPECT_EQ(flash_->Wait(kRunLimitSeconds), 1) << flash_->Out();
    EXPECT_EQ(LastLine(), "No answer from the device within 3 s");
    EXPECT_EQ(flash_->Out().find("Verify Device Type"), std::string::npos);
    EXPECT_LT(CpuShareBeforeEnd(samples, 2.0, 0.3), kIdleCpuShare);
}

TEST_F(FaultMatrix, DeviceFallingSilentMidUpdateIsWaitedOnWithoutSpinning) {
    StartFlash(StartDevice({"--fault-silence-after", "1500"}), {"--timeout", "3"});
    const std::vector<CpuSample> samples = SampleUntilExit();
    EXPECT_EQ(flash_->Wait(kRunLimitSeconds), 1) << flash_->Out();
    EXPECT_EQ(LastLine(), "No answer from the device within 3 s");
    // The silence began inside the update, after the device had been identified.
    EXPECT_TRUE(Printed("\nErase Extended Boot\n")) << flash_->Out();
    EXPECT_LT(CpuShareBeforeEnd(samples, 2.0, 0.3), kIdleCpuShare);
}

} // namespace
} // namespace vz::e2e

// vzflash station against several emulated devices at once, device after device.
#include "tests/e2e/process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace vz::e2e {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> ReportLines(const fs::path& report) {
    std::ifstream in(report);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class Station : public ::testing::Test {
protected:
    static inline fs::path base_;

    static void SetUpTestSuite() {
        base_ = fs::temp_directory_path() / ("vz_station_" + std::to_string(getpid()));
        fs::remove_all(base_);
        fs::create_directories(base_);
        Process make({VZDEVICE_PATH, "make-package", (base_ / "pkg").string(), "--small"});
        ASSERT_EQ(make.Wait(60), 0) << make.Err();
    }
    static void TearDownTestSuite() { fs::remove_all(base_); }

    void SetUp() override {
        dir_ = base_ / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(dir_);
    }

    // A device on a pseudo-terminal reached through the link `name` in the test's directory.
    std::string StartDevice(const std::string& name, std::vector<std::string> extra = {}) {
        const std::string link = (dir_ / name).string();
        std::vector<std::string> argv{
            VZDEVICE_PATH, "--erase-ms", "0", "--link", link, "--dump", (dir_ / ("dump-" + name)).string()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        devices_.push_back(std::make_unique<Process>(argv));
        EXPECT_FALSE(devices_.back()->ReadLine(10).empty()) << devices_.back()->Err();
        return link;
    }

    void StartStation(const std::vector<std::string>& ports, std::vector<std::string> extra,
                      const fs::path& package = base_ / "pkg") {
        std::vector<std::string> argv{VZFLASH_PATH,     "station",  "--root",
                                      package.string(), "--report", Report().string()};
        // Each socket labelled by its link's name, as a line would.
        for (const std::string& port : ports) {
            argv.push_back("--port");
            argv.push_back(fs::path(port).filename().string() + "=" + port);
        }
        argv.insert(argv.end(), extra.begin(), extra.end());
        station_ = std::make_unique<Process>(argv);
    }

    // Reads the station's lines until one holds `text`.
    bool AwaitLine(const std::string& text, double seconds = 60) {
        for (int i = 0; i < seconds * 10; ++i)
            if (station_->ReadLine(0.1).find(text) != std::string::npos) return true;
        return false;
    }

    // The device's memories against what the script programs (the device ends first).
    int VerifyDump(std::size_t device, const std::string& name) {
        devices_[device]->Signal(SIGTERM);
        EXPECT_EQ(devices_[device]->Wait(20), 0);
        Process verify({VZDEVICE_PATH, "verify-dump", (base_ / "pkg" / "KRA350").string(),
                        (dir_ / ("dump-" + name)).string()});
        return verify.Wait(30);
    }

    fs::path Report() const { return dir_ / "report.jsonl"; }

    fs::path dir_;
    std::vector<std::unique_ptr<Process>> devices_;
    std::unique_ptr<Process> station_;
};

TEST_F(Station, PortsRunSideBySideAndEveryDeviceIsRecorded) {
    const std::string good = StartDevice("good");
    // The third line of a keyboard bank is refused: that device fails, the other does not.
    const std::string bad = StartDevice("bad", {"--fault-x", "bank:3"});
    fs::create_directories(dir_ / "logs");
    StartStation({good, bad}, {"--count", "1", "--log-dir", (dir_ / "logs").string()});
    ASSERT_EQ(station_->Wait(120), 1) << station_->Out() << station_->Err();

    const std::vector<std::string> report = ReportLines(Report());
    ASSERT_EQ(report.size(), 2u) << station_->Out();
    const std::string& completed =
        report[0].find("\"result\": \"completed\"") != std::string::npos ? report[0] : report[1];
    const std::string& failed = &completed == &report[0] ? report[1] : report[0];
    for (const char* key : {"\"port\": ", "\"result\": ", "\"model\": \"KRA350\"", "\"device_id\": \"1001\"",
                            "\"options\": \"0000\"", "\"started\": \"20", "\"ended\": \"20",
                            "\"seconds\": ", "\"programmed\": [", "\"skipped\": [", "\"versions\": {",
                            "\"bytes_sent\": ", "\"script\": \"", "\"log\": \"", "\"version\": \""})
        EXPECT_NE(completed.find(key), std::string::npos) << key << " in " << completed;
    EXPECT_NE(completed.find("\"error\": null"), std::string::npos) << completed;
    EXPECT_NE(
        completed.find("\"programmed\": [\"boot\", \"bank0\", \"bank1\", \"bank2\", \"bank3\", \"bank4\", "
                       "\"bank5\", \"bank6\", \"bank7\", \"prom1\", \"prom2\"], \"skipped\": []"),
        std::string::npos)
        << completed;
    EXPECT_NE(completed.find("\"port\": \"" + good + "\""), std::string::npos) << completed;
    // The error as the memo shows it, its code, the memory it stopped in and those finished before.
    for (const char* key :
         {"\"result\": \"failed\"", "\"error\": \"Error while writing!!!\"",
          "\"error_code\": \"write_error\"", "\"stage\": \"bank0\"", "\"programmed\": [\"boot\"]"})
        EXPECT_NE(failed.find(key), std::string::npos) << key << " in " << failed;

    EXPECT_NE(station_->Out().find("bad: Failed: KRA350  Id : 1001: Error while writing!!!"),
              std::string::npos)
        << station_->Out();
    // One transcript a device, named by port, time and identifier.
    int logs = 0;
    for (const auto& entry : fs::directory_iterator(dir_ / "logs")) {
        EXPECT_TRUE(entry.path().filename().string().ends_with("-1001.log")) << entry.path();
        ++logs;
    }
    EXPECT_EQ(logs, 2);
    EXPECT_EQ(VerifyDump(0, "good"), 0);
}

TEST_F(Station, AdapterPulledAndPutBackIsOpenedAgain) {
    const std::string port = StartDevice("adapter", {"--hangup-after", "2000"});
    StartStation({port}, {"--count", "2"});
    ASSERT_TRUE(AwaitLine("waiting for the adapter to come back")) << station_->Out();
    EXPECT_EQ(devices_[0]->Wait(20), 0);
    StartDevice("adapter"); // the same name again
    ASSERT_EQ(station_->Wait(120), 1) << station_->Out() << station_->Err();
    EXPECT_NE(station_->Out().find("The adapter is back: waiting for a device"), std::string::npos);
    const std::vector<std::string> report = ReportLines(Report());
    ASSERT_EQ(report.size(), 2u);
    EXPECT_NE(report[0].find("\"error\": \"Lost the port "), std::string::npos) << report[0];
    EXPECT_NE(report[1].find("\"result\": \"completed\""), std::string::npos) << report[1];
    EXPECT_EQ(VerifyDump(1, "adapter"), 0);
}

TEST_F(Station, InterruptStopsEveryPortWithItsAdvice) {
    const std::string first = StartDevice("first", {"--baud-pacing"});
    const std::string second = StartDevice("second", {"--baud-pacing"});
    StartStation({first, second}, {});
    // Both devices mid-update, however the two runs fell in time.
    ASSERT_TRUE(AwaitLine("Upload Bank0")) << station_->Out();
    for (int i = 0; i < 600 && station_->Out().find("first: Upload Bank0") == std::string::npos; ++i)
        station_->ReadLine(0.1);
    for (int i = 0; i < 600 && station_->Out().find("second: Upload Bank0") == std::string::npos; ++i)
        station_->ReadLine(0.1);
    station_->Signal(SIGINT);
    EXPECT_EQ(station_->Wait(30), 130) << station_->Out() << station_->Err();
    for (const std::string port : {"first", "second"})
        EXPECT_NE(station_->Out().find(port + ": The update stopped "), std::string::npos) << station_->Out();
    const std::vector<std::string> report = ReportLines(Report());
    ASSERT_EQ(report.size(), 2u);
    for (const std::string& line : report)
        EXPECT_NE(line.find("\"result\": \"stopped\""), std::string::npos) << line;
}

// Device after device with faults mixed in: every device the station calls completed
// holds the package, every other one is recorded with its reason, and nothing the
// station holds grows from device to device.
TEST_F(Station, ShortSoakRecordsEveryDeviceRightly) {
    constexpr int kDevices = 40;
    // The boot area and the banks only: the PROMs' pauses would make it long.
    const fs::path model = dir_ / "pkg" / "KRA350";
    fs::create_directories(model);
    fs::copy(base_ / "pkg" / "KRA350", model, fs::copy_options::recursive);
    {
        std::ifstream in(base_ / "pkg" / "KRA350" / "script.ini");
        std::ofstream out(model / "script.ini");
        for (std::string line; std::getline(in, line);)
            if (line.size() < 2 || std::string("PVT").find(line[0]) == std::string::npos ||
                (line[1] != '8' && line[1] != '9'))
                out << line << "\n";
    }
    const fs::path results = dir_ / "device-results.jsonl";
    const std::string port = StartDevice("soak", {"--devices", std::to_string(kDevices), "--gap-ms", "50",
                                                  "--cycle", "clean,resend=10%,x=bank:5,clean,vanish=1500",
                                                  "--results", results.string(), "--verify", model.string()});
    StartStation({port}, {"--count", std::to_string(kDevices), "--timeout", "1", "--quiet"}, dir_ / "pkg");
    // Open descriptors sampled as the devices go by, from the 20th on.
    std::size_t fdsAt20 = 0, fdsMost = 0;
    while (station_->Running()) {
        const std::size_t done = ReportLines(Report()).size();
        std::size_t fds = 0;
        std::error_code ec;
        for (auto it = fs::directory_iterator("/proc/" + std::to_string(station_->Pid()) + "/fd", ec);
             !ec && it != fs::directory_iterator(); it.increment(ec))
            ++fds;
        if (done >= 20 && fds > 0) {
            if (fdsAt20 == 0) fdsAt20 = fds;
            fdsMost = std::max(fdsMost, fds);
        }
        station_->ReadLine(0.05);
    }
    EXPECT_EQ(station_->Wait(10), 1) << station_->Err();
    // The port is open or closed depending on the moment: one descriptor either way.
    EXPECT_LE(fdsMost, fdsAt20 + 1);

    const std::vector<std::string> report = ReportLines(Report());
    ASSERT_EQ(report.size(), static_cast<std::size_t>(kDevices)) << station_->Out();
    std::map<std::string, std::string> deviceSide; // identifier: the device's own line
    devices_[0]->Wait(20);
    for (const std::string& line : ReportLines(results)) {
        const std::size_t at = line.find("\"id\":\"") + 6;
        deviceSide[line.substr(at, 4)] = line;
    }
    int completed = 0;
    for (const std::string& line : report) {
        const std::size_t at = line.find("\"device_id\": \"");
        ASSERT_NE(at, std::string::npos) << line;
        const std::string& device = deviceSide[line.substr(at + 14, 4)];
        if (line.find("\"result\": \"completed\"") != std::string::npos) {
            ++completed;
            EXPECT_NE(device.find("\"ended\":\"finished\""), std::string::npos) << device;
            EXPECT_NE(device.find("\"memories_right\":true"), std::string::npos) << device;
        } else {
            EXPECT_NE(line.find("\"error\": \""), std::string::npos) << line;
            EXPECT_EQ(device.find("\"finished\""), std::string::npos) << device;
        }
    }
    EXPECT_GE(completed, kDevices * 2 / 5);
}

TEST_F(Station, RefusesToStartOnWhatWouldFailEveryDevice) {
    const std::string port = StartDevice("dev");
    // A mistyped port beside a good one: no device is taken, the port is named.
    StartStation({port, (dir_ / "none").string()}, {"--count", "1"});
    EXPECT_EQ(station_->Wait(30), 2) << station_->Out();
    EXPECT_NE(station_->Out().find("Cannot open the port " + (dir_ / "none").string()), std::string::npos);
    EXPECT_TRUE(ReportLines(Report()).empty());
    StartStation({"same", "same"}, {});
    EXPECT_EQ(station_->Wait(30), 3);
    EXPECT_NE(station_->Err().find("given twice"), std::string::npos);
    station_ = std::make_unique<Process>(std::vector<std::string>{VZFLASH_PATH, "station", "--root",
                                                                  (base_ / "pkg").string(), "--port", "A1="});
    EXPECT_EQ(station_->Wait(30), 3);
    EXPECT_NE(station_->Err().find("--port A1=: the port is missing"), std::string::npos) << station_->Err();
    // A FIFO where the report goes is refused at once, not waited on.
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    station_ = std::make_unique<Process>(std::vector<std::string>{VZFLASH_PATH, "station", "--root",
                                                                  (base_ / "pkg").string(), "--report",
                                                                  fifo.string(), "--port", port});
    EXPECT_EQ(station_->Wait(30), 3);
    EXPECT_NE(station_->Err().find("not a regular file"), std::string::npos) << station_->Err();
    // A package with a file missing would fail every device.
    const fs::path broken = dir_ / "broken";
    fs::copy(base_ / "pkg", broken, fs::copy_options::recursive);
    fs::remove(broken / "KRA350" / "bank3.hex");
    StartStation({port}, {}, broken);
    EXPECT_EQ(station_->Wait(30), 3);
    EXPECT_NE(station_->Err().find("bank3.hex File not found !!!"), std::string::npos) << station_->Err();
}

// The terminal closes mid-update: the device is recorded as stopped, its advice and
// why it ended are in its transcript, which keeps the device's name.
TEST_F(Station, HangUpStopsAndRecordsEveryDevice) {
    const std::string port = StartDevice("hup", {"--baud-pacing"});
    fs::create_directories(dir_ / "logs");
    StartStation({port}, {"--log-dir", (dir_ / "logs").string(), "--station", "line3", "--operator", "ana"});
    ASSERT_TRUE(AwaitLine("Upload Bank0")) << station_->Out();
    station_->Signal(SIGHUP);
    EXPECT_EQ(station_->Wait(30), 130) << station_->Err();
    const std::vector<std::string> report = ReportLines(Report());
    ASSERT_EQ(report.size(), 1u);
    for (const char* key : {"\"result\": \"stopped\"", "\"station\": \"line3\"", "\"operator\": \"ana\"",
                            "\"seq\": 1", "\"stage\": \"bank0\"", "\"boot_checksum\": \"", "\"resends\": 0",
                            "\"versions_before\": {", "\"versions_after\": {", "\"sha256\": \""})
        EXPECT_NE(report[0].find(key), std::string::npos) << key << " in " << report[0];
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(dir_ / "logs"))
        logs.push_back(entry.path());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(logs[0].filename().string().ends_with("-1001.log")) << logs[0];
    std::ifstream in(logs[0]);
    const std::string transcript((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* line : {"stopped: the terminal closed (SIGHUP)",
                             "advice The update stopped while programming", "exit stopped"})
        EXPECT_NE(transcript.find(line), std::string::npos) << line;
}

// Ports whose names end alike keep a transcript each; a link planted where a
// transcript would go is never written through.
TEST_F(Station, TranscriptsAreNewFilesOfTheirOwn) {
    fs::create_directories(dir_ / "a");
    fs::create_directories(dir_ / "b");
    fs::create_directories(dir_ / "logs");
    const std::string first = StartDevice("a/tty");
    const std::string second = StartDevice("b/tty");
    const fs::path victim = dir_ / "victim";
    std::ofstream(victim) << "keep";
    const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    for (int label = 1; label <= 2; ++label)
        for (std::time_t when = now; when < now + 5; ++when) {
            char stamp[32];
            std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&when));
            fs::create_symlink(victim, dir_ / "logs" /
                                           ("tty-" + std::to_string(label) + "-" + stamp + "-waiting.log"));
        }
    StartStation({first, second}, {"--count", "1", "--log-dir", (dir_ / "logs").string()});
    ASSERT_EQ(station_->Wait(120), 0) << station_->Out() << station_->Err();
    std::ifstream kept(victim);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()), "keep");
    std::set<std::string> named;
    for (const std::string& line : ReportLines(Report())) {
        const std::size_t at = line.find("\"log\": \"") + 8;
        const std::string log = line.substr(at, line.find('"', at) - at);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(log))) << log;
        named.insert(log);
    }
    EXPECT_EQ(named.size(), 2u);
}

// The disk fills (here: the size a process may write is limited): the record that
// does not fit is cut back to the last whole line, no further device is taken, and
// the status says devices went unrecorded.
TEST_F(Station, ReportThatCannotBeWrittenStopsTheStation) {
    const std::string first = StartDevice("first");
    const std::string second = StartDevice("second");
    const std::string earlier = "{\"seq\": 1}\n";
    std::ofstream(Report()) << earlier;
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = earlier.size() + 300; // less than a record
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    StartStation({first, second}, {"--count", "3", "--quiet"});
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(station_->Wait(120), 4) << station_->Out() << station_->Err();
    EXPECT_NE(station_->Err().find("Cannot write the report"), std::string::npos) << station_->Err();
    std::ifstream in(Report());
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), earlier);
    // Each port ended with the device it held: at most one device a port.
    std::size_t ended = 0;
    for (const char* result : {": Completed: ", ": Failed: "})
        for (std::size_t at = station_->Out().find(result); at != std::string::npos;
             at = station_->Out().find(result, at + 1))
            ++ended;
    EXPECT_LE(ended, 2u) << station_->Out();
    EXPECT_NE(station_->Out().find("Summary all: "), std::string::npos) << station_->Out();
}

TEST_F(Station, LockedModelAndFailuresInARow) {
    // A KRB350 on a KRA350 line is recorded as it reported itself, and nothing is written.
    const std::string other = StartDevice("other", {"--model", "KRB350"});
    StartStation({other}, {"--count", "1", "--device", "KRA350"});
    EXPECT_EQ(station_->Wait(60), 1) << station_->Out();
    std::vector<std::string> report = ReportLines(Report());
    ASSERT_EQ(report.size(), 1u);
    for (const char* key : {"\"model\": \"KRB350\"", "\"error_code\": \"wrong_model\"", "\"programmed\": []"})
        EXPECT_NE(report[0].find(key), std::string::npos) << key << " in " << report[0];
    EXPECT_NE(station_->Out().find("(--device KRA350)"), std::string::npos) << station_->Out();
    // Every device failing: the port ends after two in a row.
    const std::string failing =
        StartDevice("failing", {"--devices", "5", "--gap-ms", "50", "--cycle", "x=bank:3"});
    fs::remove(Report());
    StartStation({failing}, {"--stop-after", "2", "--timeout", "2"});
    EXPECT_EQ(station_->Wait(60), 1) << station_->Out();
    EXPECT_EQ(ReportLines(Report()).size(), 2u);
    EXPECT_NE(
        station_->Out().find("2 devices in a row failed on " + failing + ": check the fixture and the cable"),
        std::string::npos)
        << station_->Out();
}

} // namespace
} // namespace vz::e2e

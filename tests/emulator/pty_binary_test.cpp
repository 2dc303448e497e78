// Runs the real vzdevice program and talks to it through its pseudo-terminal,
// as the updater's serial port would.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class Vzdevice {
public:
    explicit Vzdevice(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(VZDEVICE_PATH)};
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(VZDEVICE_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = out[0];
        path_ = readLine();
    }
    ~Vzdevice() {
        if (fd_ >= 0) close(fd_);
        if (stdout_ >= 0) close(stdout_);
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& path() const { return path_; }

    bool open() {
        fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return false;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B57600);
        return tcsetattr(fd_, TCSANOW, &t) == 0;
    }
    void closePort() {
        ::close(fd_);
        fd_ = -1;
    }
    void write(const std::string& text) {
        ASSERT_EQ(::write(fd_, text.data(), text.size()), ssize_t(text.size()));
    }
    // Reads until `want` characters have come or the (generous) time is up.
    std::string read(std::size_t want, int timeoutMs = 5000) {
        std::string got;
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < want && Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char buf[256];
            ssize_t n = ::read(fd_, buf, std::min(sizeof buf, want - got.size()));
            if (n > 0) got.append(buf, static_cast<std::size_t>(n));
            if (n < 0 && errno != EAGAIN) break;
        }
        return got;
    }
    // Exit status after SIGTERM (or after it ends by itself), -1 on a time-out.
    int stop(bool signal = true, int timeoutMs = 10000) {
        if (signal) kill(pid_, SIGTERM);
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (Clock::now() < end) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
            }
            usleep(10000);
        }
        return -1;
    }

private:
    std::string readLine() {
        std::string line;
        char c;
        while (::read(stdout_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    int fd_ = -1;
    bool reaped_ = false;
    std::string path_;
};

fs::path TempDir(const char* name) {
    fs::path dir =
        fs::temp_directory_path() / (std::string("vzdevice-pty-") + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(Vzdevice, SyncTypeCheckAndVersionQueryOnThePty) {
    fs::path dir = TempDir("sync");
    Vzdevice device({"--model", "KRC350", "--id", "0042", "--boot-checksum", "1000", "--link",
                     (dir / "port").string(), "--dump", (dir / "dump").string(), "--log",
                     (dir / "log").string()});
    ASSERT_EQ(device.path().rfind("/dev/pts/", 0), 0u) << device.path();
    EXPECT_EQ(fs::read_symlink(dir / "port").string(), device.path());
    ASSERT_TRUE(device.open());
    EXPECT_EQ(device.read(1), "%") << "the loader calls";
    device.write("%");
    std::string sync = device.read(1);
    while (sync == "%")
        sync = device.read(1); // a call may have crossed our answer
    EXPECT_EQ(sync, ".");
    device.write("21");
    EXPECT_EQ(device.read(1), "X");
    device.write("22");
    EXPECT_EQ(device.read(16), ".10000042000016.");
    device.write("T0");
    EXPECT_EQ(device.read(6), ".0000.");
    EXPECT_EQ(device.stop(), 0);
    EXPECT_EQ(fs::file_size(dir / "dump" / "bank3.bin"), 32768u);
    EXPECT_EQ(fs::file_size(dir / "dump" / "prom2.bin"), 65536u);
    EXPECT_FALSE(fs::exists(dir / "port")) << "the link goes with the device";
    std::ifstream log(dir / "log");
    std::string all((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(all.find(" H>D 2 T0\n"), std::string::npos) << all;
    EXPECT_NE(all.find(" D>H 6 .0000.\n"), std::string::npos) << all;
    fs::remove_all(dir);
}

TEST(Vzdevice, StateCarriesVersionsToTheNextRunAndFinishEndsIt) {
    fs::path dir = TempDir("state");
    std::string state = (dir / "state").string();
    {
        Vzdevice device({"--state", state, "--exit-after-fi"});
        ASSERT_TRUE(device.open());
        device.read(1);
        device.write("%");
        device.read(1);
        device.write("18");
        device.read(16);
        device.write("V8");
        EXPECT_EQ(device.read(1), ".");
        device.write("0203");
        EXPECT_EQ(device.read(1), ".");
        device.write("FI");
        EXPECT_EQ(device.read(1), ".");
        EXPECT_EQ(device.stop(false), 0) << "ends by itself after FI";
    }
    Vzdevice device({"--state", state, "--baud-pacing"});
    ASSERT_TRUE(device.open());
    device.read(1);
    device.write("%");
    device.read(1);
    device.write("18");
    device.read(16);
    device.write("T8");
    EXPECT_EQ(device.read(6), ".0203.");
    EXPECT_EQ(device.stop(), 0);
    fs::remove_all(dir);
}

TEST(Vzdevice, HangupClosesTheTerminal) {
    Vzdevice device({"--hangup-after", "1"});
    ASSERT_TRUE(device.open());
    device.read(1);
    device.write("%");
    EXPECT_EQ(device.stop(false), 0) << "the device goes away after the byte";
    EXPECT_EQ(device.read(1, 300), "") << "no answer comes";
}

TEST(Vzdevice, DevicesInARowSeeTheHostCloseItsPort) {
    fs::path dir = TempDir("series");
    std::string results = (dir / "results.jsonl").string();
    Vzdevice device({"--devices", "2", "--gap-ms", "100", "--results", results});
    for (const char* id : {"1001", "1002"}) {
        ASSERT_TRUE(device.open());
        EXPECT_EQ(device.read(1), "%");
        device.write("%");
        device.read(1);
        device.write("18");
        EXPECT_EQ(device.read(16).substr(5, 4), id);
        if (std::string(id) == "1002") {
            device.write("FI");
            EXPECT_EQ(device.read(1), ".");
        }
        device.closePort(); // the first run gives up half way
    }
    EXPECT_EQ(device.stop(false), 0) << "ends by itself after the last device";
    std::ifstream in(results);
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_NE(first.find(R"("device":0,"id":"1001","ended":"abandoned")"), std::string::npos) << first;
    EXPECT_NE(second.find(R"("device":1,"id":"1002","ended":"finished")"), std::string::npos) << second;
    fs::remove_all(dir);
}

} // namespace

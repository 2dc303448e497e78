// vzflash against a line that is no device: another device chattering on the
// port, or a device that answers the call and then streams bytes that are no
// answer. The test plays the other end of a pseudo-terminal itself.
#include "tests/e2e/process.h"
#include "tests/link/pty_pair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace vz::e2e {
namespace {

namespace fs = std::filesystem;
#ifdef VZ_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
using namespace std::chrono_literals;

class HostileLine : public ::testing::Test {
protected:
    fs::path root_ = fs::temp_directory_path() / ("vz_hostile_" + std::to_string(getpid()));
    test::PtyPair line_;
    std::atomic<bool> stop_{false};
    std::thread other_;

    void SetUp() override {
        ASSERT_TRUE(line_.Ok());
        fs::create_directories(root_ / "KRA350");
        // "RS" is never answered by what follows the call.
        std::ofstream(root_ / "KRA350" / "script.ini") << "RS\n";
    }
    void TearDown() override {
        stop_ = true;
        if (other_.joinable()) other_.join();
        fs::remove_all(root_);
    }
    Process Flash(const std::string& timeout) {
        return Process({VZFLASH_PATH, "run", "--root", root_.string(), "--port", line_.Path(), "--timeout",
                        timeout, "--quiet"});
    }
    static std::string LastLine(const std::string& out) {
        const std::size_t end = out.find_last_not_of('\n');
        if (end == std::string::npos) return {};
        const std::size_t start = out.rfind('\n', end);
        return out.substr(start == std::string::npos ? 0 : start + 1,
                          end - (start == std::string::npos ? 0 : start + 1) + 1);
    }
};

TEST_F(HostileLine, ChatterOnAWrongPortEndsTheWaitAndIsNamed) {
    other_ = std::thread([this] {
        while (!stop_) {
            line_.WriteMasterFor("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
                                 100ms);
            std::this_thread::sleep_for(5ms);
        }
    });
    Process flash = Flash("2");
    EXPECT_EQ(flash.Wait(30), 1) << flash.Out() << flash.Err();
    const std::string last = LastLine(flash.Out());
    EXPECT_TRUE(last.starts_with("No answer from the device within 2 s; the port received ")) << last;
    EXPECT_NE(last.find("bytes that are no answer: \"$GPGGA,123519,4807.038"), std::string::npos) << last;
}

TEST_F(HostileLine, JunkAfterTheCallEndsTheWaitInFlatMemory) {
    other_ = std::thread([this] {
        // The boot loader calls until it is answered.
        std::string answer;
        while (!stop_ && answer.empty()) {
            line_.WriteMasterFor("%", 100ms);
            answer = line_.ReadMaster(1, 50ms);
        }
        if (answer != "%") return;
        line_.WriteMaster(".");
        if (line_.ReadMaster(2, 5s) != "21") return;
        line_.WriteMaster(".ABCD8012000212.");
        // Then bytes that are no answer, as fast as the line takes them, with an escape
        // sequence that would hide every later line on a terminal.
        const std::string junk = "\x1B[8m" + std::string(4092, 'U');
        while (!stop_) {
            line_.WriteMasterFor(junk, 100ms);
            line_.ReadMaster(4096, 0ms);
        }
    });
    Process flash = Flash("3");
    EXPECT_EQ(flash.Wait(60), 1) << flash.Out() << flash.Err();
    const std::string last = LastLine(flash.Out());
    EXPECT_TRUE(last.starts_with("No answer from the device within 3 s; the port received ")) << last;
    // Where the kept bytes begin depends on how the chunks fell; the escape shows as text.
    EXPECT_NE(last.find("no answer: \""), std::string::npos) << last;
    EXPECT_NE(last.find("UUUUUUUUUUUUUUUU"), std::string::npos) << last;
    EXPECT_EQ(flash.Out().find('\x1B'), std::string::npos) << flash.Out();
    // What is kept of the junk is bounded: memory stays flat however much arrives.
    if (!kSanitized) {
        EXPECT_LT(flash.Usage().ru_maxrss, 64 * 1024) << "KiB";
    }
}

} // namespace
} // namespace vz::e2e

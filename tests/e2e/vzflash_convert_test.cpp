// vzflash convert as a process: interrupted, or out of memory, it leaves no
// temporary file behind and says why.
#include "tests/e2e/process.h"
#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vz::e2e {
namespace {

namespace fs = std::filesystem;

class VzflashConvert : public ::testing::Test {
protected:
    fs::path dir_ = vz::testing::UniqueTempPath("vz_e2e_convert");
    void SetUp() override { fs::create_directories(dir_); }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(VzflashConvert, InterruptRemovesTheTemporaryFiles) {
    // The input is a pipe, so the conversion waits for text until the test has interrupted it.
    const fs::path in = dir_ / "in.svf";
    ASSERT_EQ(mkfifo(in.c_str(), 0600), 0);
    Process convert({VZFLASH_PATH, "convert", in.string(), (dir_ / "out.svf").string(), "--map",
                     (dir_ / "out.map").string()});
    const int fifo = open(in.c_str(), O_WRONLY);
    ASSERT_GE(fifo, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Files().size() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(Files().size(), 3u) << "the two temporary files beside the input";
    convert.Signal(SIGINT);
    const std::string text = "SIR 8 TDI (fe);\nSIR 8 TDI (fe);\n";
    ASSERT_EQ(write(fifo, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fifo);
    EXPECT_EQ(convert.Wait(30), 130) << convert.Err();
    EXPECT_EQ(convert.Err(), (dir_ / "out.svf").string() + " not written: interrupted\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"in.svf"});
}

TEST_F(VzflashConvert, OutOfMemoryIsAMessageAndLeavesNoTemporaryFile) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
    // The longest scan taken needs some 60 MB; the limit leaves too little of it.
    {
        std::ofstream svf(dir_ / "in.svf", std::ios::binary);
        svf << "SDR 16777216 TDI (" << std::string(1 << 22, '5') << ") TDO (" << std::string(1 << 22, 'a')
            << ");\n";
    }
    Process convert({"/bin/sh", "-c", "ulimit -v 40000 && exec \"$0\" convert \"$1\" \"$2\"", VZFLASH_PATH,
                     (dir_ / "in.svf").string(), (dir_ / "out.svf").string()});
    EXPECT_EQ(convert.Wait(60), 1) << convert.Err();
    EXPECT_EQ(convert.Err(), "vzflash: out of memory\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"in.svf"});
}

} // namespace
} // namespace vz::e2e

// The advice on late answers, with vzdevice playing an adapter's latency timer on
// a line paced at the real speed: given once to a late device, never to a prompt one.
#include "tests/e2e/process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vz::e2e {
namespace {

namespace fs = std::filesystem;

// A bank long enough to be judged, short enough to be quick: 150 lines of 16 bytes.
void WriteBankPackage(const fs::path& root) {
    fs::create_directories(root / "KRA350");
    std::ofstream hex(root / "KRA350" / "bank0.hex", std::ios::binary);
    for (unsigned line = 0; line < 150; ++line) {
        const unsigned address = line * 16;
        unsigned sum = 16 + (address >> 8) + (address & 0xFF);
        char text[64];
        int at = std::snprintf(text, sizeof text, ":10%04X00", address);
        for (unsigned i = 0; i < 16; ++i) {
            const unsigned byte = (line * 31 + i * 7) & 0xFF;
            sum += byte;
            at += std::snprintf(text + at, sizeof text - static_cast<std::size_t>(at), "%02X", byte);
        }
        std::snprintf(text + at, sizeof text - static_cast<std::size_t>(at), "%02X\r\n",
                      (0x100 - sum) & 0xFF);
        hex << text;
    }
    hex << ":00000001FF\r\n";
    std::ofstream(root / "KRA350" / "script.ini", std::ios::binary) << "P0 bank0.hex\r\n";
}

class LatencyAdvice : public ::testing::Test {
protected:
    void SetUp() override { WriteBankPackage(root_); }
    void TearDown() override { fs::remove_all(root_); }

    // The update against a device whose answers leave at `latencyMs` ticks; vzflash's stderr.
    std::string Update(int latencyMs) {
        Process device(
            {VZDEVICE_PATH, "--erase-ms", "0", "--baud-pacing", "--latency-ms", std::to_string(latencyMs)});
        const std::string port = device.ReadLine(10);
        EXPECT_FALSE(port.empty()) << device.Err();
        Process flash(
            {VZFLASH_PATH, "run", "--root", root_.string(), "--port", port, "--quiet", "--timeout", "30"});
        EXPECT_EQ(flash.Wait(120), 0) << flash.Out() << flash.Err();
        return flash.Err();
    }

    const fs::path root_ = fs::temp_directory_path() / ("vz_latency_" + std::to_string(::getpid()));
};

TEST_F(LatencyAdvice, LateDeviceHearsOfItOncePromptDeviceNever) {
    const std::string late = Update(16);
    const std::size_t at = late.find("The device's answers come ");
    ASSERT_NE(at, std::string::npos) << late;
    EXPECT_EQ(late.find("The device's answers come ", at + 1), std::string::npos) << late;
    EXPECT_NE(late.find("the update's 151 lines will take about "), std::string::npos) << late;
    EXPECT_NE(late.find("latency_timer"), std::string::npos) << late;

    const std::string prompt = Update(0);
    EXPECT_EQ(prompt.find("answers come"), std::string::npos) << prompt;
}

} // namespace
} // namespace vz::e2e

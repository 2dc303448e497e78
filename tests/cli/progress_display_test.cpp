#include "app/cli/progress_display.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vz::cli {
namespace {

TEST(ProgressDisplay, LineFitsTheTerminalAndTellsWhatIsLeft) {
    ProgressDisplay display(stderr, ProgressDisplay::Style::None);
    display.Update(3, 22, 45, 120);
    display.UpdateBytes(1000, 58600, 57600);
    const std::string wide = display.Text(true, 80);
    EXPECT_LE(wide.size(), 79u) << wide;
    EXPECT_NE(wide.find("[#"), std::string::npos) << wide;
    // 57 600 bytes left at 5 760 bytes a second.
    EXPECT_NE(wide.find("  1%  1.0 kB  0:10 left"), std::string::npos) << wide;
    for (int columns : {60, 40, 20, 1}) {
        const std::string narrow = display.Text(true, columns);
        EXPECT_LE(static_cast<int>(narrow.size()), columns - 1) << columns << ": " << narrow;
    }
    EXPECT_EQ(display.Text(true, 60).find('['), std::string::npos) << "no room for bars";
    // Never 100 % before the run says so, even when the estimate falls short.
    display.UpdateBytes(70000, 58600, 57600);
    EXPECT_NE(display.Text(false, 200).find(" 99% "), std::string::npos);
}

TEST(UpdateEstimate, SumsTheFilesOfProgrammingLinesAskingEachSizeOnce) {
    namespace fs = std::filesystem;
    const fs::path dir = vz::testing::UniqueTempPath("vz_estimate");
    fs::create_directories(dir);
    std::ofstream(dir / "boot.hex") << std::string(100, 'b');
    std::ofstream(dir / "bank0.hex") << std::string(1000, '0');
    std::ofstream(dir / "prom.svf") << std::string(10000, 's');
    std::vector<std::string> lines{
        "rem PB boot.hex", "T0 0105",       " PB  boot.hex ", "P0 bank0.hex", "P1 bank0.hex",
        "P8 prom.svf",     "P2 absent.hex", "PX boot.hex",    "D0",           ""};
    const std::string scriptDir = dir.string() + "/";
    UpdateEstimate estimate;
    estimate.Measure(lines, scriptDir);
    EXPECT_EQ(estimate.Total(), 100u + 1000u + 1000u + 10000u);

    // A skipped component's lines are gone from the next measure; the sizes
    // known are not asked again, a file changed since included.
    lines[5] = "NP";
    std::ofstream(dir / "bank0.hex") << std::string(5000, '0');
    estimate.Measure(lines, scriptDir);
    EXPECT_EQ(estimate.Total(), 2100u);
    UpdateEstimate fresh;
    fresh.Measure(lines, scriptDir);
    EXPECT_EQ(fresh.Total(), 10100u);
    fs::remove_all(dir);
}

} // namespace
} // namespace vz::cli

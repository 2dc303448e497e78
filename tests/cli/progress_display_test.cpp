#include "app/cli/progress_display.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace vz::cli

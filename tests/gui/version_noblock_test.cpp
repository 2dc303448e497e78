// A program built without the version block shows the design caption.
#include "app/face_data/version_info.h"
#include "app/gui/about_box.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace vz {
namespace {

TEST(VersionWithoutBlockTest, AboutBoxKeepsTheDesignCaption) {
    // The reader's own constants are in this program; they must not pass for a block.
    EXPECT_EQ(FileVersionValue(RunningProgramPath(), kFileVersionKey), std::nullopt);
    TAboutBox box;
    EXPECT_EQ(box.LVersion->text(), "Version : X.X.X.X");
}

} // namespace
} // namespace vz

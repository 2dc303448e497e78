// The description both windows are built from.
#include "app/face_data/window_arguments.h"
#include "app/face_data/window_description.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace vz::face {
namespace {

TEST(FaceDescription, NamesAndMenuBarKeysAreUnique) {
    std::set<std::string> names;
    std::set<char> barKeys;
    for (const Menu& menu : MenuBar()) {
        EXPECT_TRUE(names.insert(menu.name).second) << menu.name;
        const std::string caption = menu.caption;
        const auto mark = caption.find('&');
        ASSERT_NE(mark, std::string::npos) << menu.name;
        EXPECT_TRUE(barKeys.insert(static_cast<char>(std::toupper(caption[mark + 1]))).second) << menu.name;
        // Items may share a key ("&Auto" and "KR&A350"): the system then cycles through them.
        for (const MenuItem& item : menu.items)
            EXPECT_TRUE(names.insert(item.name).second) << item.name;
    }
    EXPECT_EQ(DefaultItem(kPortMenu), 0);
    EXPECT_EQ(MenuAt(kDeviceMenu).items[static_cast<std::size_t>(DefaultItem(kDeviceMenu))].value, 0);
}

TEST(FaceDescription, DeviceMenuIsAutoThenTheChosenModels) {
    std::vector<std::string> items;
    for (const MenuItem& item : MenuAt(kDeviceMenu).items)
        items.push_back(std::string(item.name) + " " + item.caption + " " + std::to_string(item.value));
    EXPECT_EQ(items, (std::vector<std::string>{"MDevAuto &Auto 0", "MDevKRA350 KR&A350 1",
                                               "MDevKRB350 KR&B350 2", "MDevKRC350 KR&C350 3",
                                               "MDevKRD350 KR&D350 4", "MDevKRT120 KR&T120 7"}));
}

TEST(FaceDescription, WindowArgumentsAnswerHelpAndVersionAndTakeTheRoot) {
    const char* help[] = {"vzupdater", "--help", "script.ini"};
    EXPECT_TRUE(ParseWindowArguments(3, help).help);
    const char* version[] = {"vzupdater", "--version"};
    EXPECT_TRUE(ParseWindowArguments(2, version).version);
    EXPECT_EQ(WindowVersionText(), "vzupdater 2.6.0.6\n");
    const char* run[] = {"vzupdater", "--root", "/opt/pkg", "KRA350/script.ini", "extra"};
    const WindowArguments arguments = ParseWindowArguments(5, run);
    EXPECT_EQ(arguments.root, "/opt/pkg");
    EXPECT_EQ(arguments.script, "KRA350/script.ini");
    EXPECT_FALSE(arguments.help || arguments.version);
    const char* joined[] = {"vzupdater", "--root=/opt/pkg"};
    EXPECT_EQ(ParseWindowArguments(2, joined).root, "/opt/pkg");
}

TEST(FaceDescription, FitCaptionGrowsWithinItsContainerOnly) {
    const Rect design{112, 24, 73, 17};
    const Rect kept = FitCaption(design, {60, 13});
    EXPECT_EQ(kept.width, 73);
    EXPECT_EQ(kept.height, 17);
    const Rect grown = FitCaption(design, {90, 20}, 297);
    EXPECT_EQ(grown.left, 112);
    EXPECT_EQ(grown.width, 90);
    EXPECT_EQ(grown.height, 20);
    // No wider than what holds it, and never narrower than designed.
    EXPECT_EQ(FitCaption(design, {400, 17}, 297).width, 297 - 112);
    EXPECT_EQ(FitCaption(design, {400, 17}, 150).width, 73);
}

} // namespace
} // namespace vz::face

// The description both windows are built from.
#include "app/face_data/port_items.h"
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

// The 96-DPI layout on denser screens: edges are scaled, so that controls that
// touch or line up at 96 DPI still do.
TEST(FaceDescription, LayoutScalesByTheScreensDpiEdgeByEdge) {
    EXPECT_EQ(Scaled(kMainClientSize, 96).width, 526);
    EXPECT_EQ(Scaled(kMainClientSize, 144).width, 789);
    EXPECT_EQ(Scaled(kMainClientSize, 144).height, 332);
    EXPECT_EQ(Scaled(kMainClientSize, 192).height, 442);
    // 125 %: 17 * 1.25 = 21.25 and 22 * 1.25 = 27.5, rounded half away from zero.
    EXPECT_EQ(Scaled(17, 120), 21);
    EXPECT_EQ(Scaled(22, 120), 28);
    EXPECT_EQ(Scaled(-22, 120), -28);
    const Rect bar = Scaled(kProgressBar1.rect, 120);
    const Rect memo = Scaled(kMemoStatus.rect, 120);
    EXPECT_EQ(bar.left, memo.left);
    EXPECT_EQ(bar.left + bar.width, memo.left + memo.width);
    // Start's right edge and Quit's left edge keep their gap of 20 pixels, scaled.
    const Rect start = Scaled(kStart.rect, 120), quit = Scaled(kQuit.rect, 120);
    EXPECT_EQ(quit.left - (start.left + start.width), 25);
}

TEST(FaceDescription, FoundPortItemsLeaveComOneToNineToTheComItems) {
    std::vector<PortInfo> ports(5);
    ports[0].name = "COM3";
    ports[1].name = "com9";
    ports[2].name = "COM12";
    ports[2].description = "USB Serial Port";
    ports[3].name = "/dev/ttyUSB0";
    ports[3].stableName = "/dev/serial/by-id/usb-FTDI-if00";
    ports[3].product = "R&D \x1b[2Jcable";
    ports[4].name = "COM10";
    const std::vector<FoundPortItem> items = FoundPortItems(ports);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].caption, "COM12  (USB Serial Port)");
    EXPECT_EQ(items[0].path, PortOpenName("COM12"));
    // The stable name is opened; what the adapter says is made printable.
    EXPECT_EQ(items[1].path, "/dev/serial/by-id/usb-FTDI-if00");
    EXPECT_EQ(items[1].caption.find('\x1b'), std::string::npos);
    EXPECT_NE(items[1].caption.find("R&D "), std::string::npos);
    EXPECT_EQ(items[2].caption, "COM10");
}

} // namespace
} // namespace vz::face

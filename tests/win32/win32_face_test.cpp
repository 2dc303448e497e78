// The Win32 window's own logic: menu command numbers, the run's choices from the
// menus, texts for the system's calls, and captions in the fonts it draws with.
#include "app/face_data/window_description.h"
#include "app/win32/menu_commands.h"
#include "app/win32/win_controls.h"
#include "app/win32/win_port_items.h"
#include "app/win32/win_text.h"

#include <gtest/gtest.h>

#include <set>

namespace vz::win {
namespace {

TEST(Win32MenuCommands, EveryItemHasItsOwnCommandAndNothingElseIsOne) {
    std::set<int> commands;
    for (int m = 0; m < face::kMenuCount; ++m) {
        const auto menu = static_cast<face::MenuIndex>(m);
        for (int i = 0; i < static_cast<int>(face::MenuAt(menu).items.size()); ++i) {
            const int command = MenuCommand({menu, i});
            EXPECT_TRUE(commands.insert(command).second) << command;
            EXPECT_EQ(MenuPlaceOf(command), (MenuPlace{menu, i}));
        }
    }
    EXPECT_EQ(MenuPlaceOf(kFirstMenuCommand - 1), std::nullopt);
    // One past the Port menu's last item, and past the last menu.
    EXPECT_EQ(MenuPlaceOf(MenuCommand({face::kPortMenu, 9})), std::nullopt);
    EXPECT_EQ(MenuPlaceOf(kFirstMenuCommand + face::kMenuCount * kItemsPerMenu), std::nullopt);
}

TEST(Win32MenuChecks, ChoicesFollowTheCheckedItems) {
    TMenuChecks checks;
    RunChoices defaults = checks.Choices(true, true, true);
    EXPECT_EQ(defaults.port, 1);
    EXPECT_EQ(defaults.menuModel, 0);
    EXPECT_FALSE(defaults.manual);
    EXPECT_FALSE(defaults.slow);

    checks.Check({face::kPortMenu, 2});
    checks.Check({face::kDeviceMenu, 5});
    checks.Check({face::kModeMenu, 1});
    checks.Check({face::kSpeedMenu, 1});
    const RunChoices chosen = checks.Choices(false, true, false);
    EXPECT_EQ(chosen.port, 3);
    EXPECT_EQ(chosen.menuModel, 7); // KRT120
    EXPECT_TRUE(chosen.manual);
    EXPECT_TRUE(chosen.slow);
    EXPECT_FALSE(chosen.keyb);
    EXPECT_TRUE(chosen.prom1);
    EXPECT_FALSE(chosen.prom2);
}

// A port found beyond Com 9 goes to the run by its path; a Com item checked later
// takes its place again.
TEST(Win32MenuChecks, FoundPortReplacesTheComItemsUntilOneIsChecked) {
    TMenuChecks checks;
    checks.Check({face::kPortMenu, 4});
    checks.CheckPortPath("\\\\.\\COM12");
    RunChoices chosen = checks.Choices(true, true, true);
    EXPECT_EQ(chosen.portPath, "\\\\.\\COM12");
    EXPECT_EQ(chosen.port, 1);
    checks.Check({face::kPortMenu, 2});
    chosen = checks.Choices(true, true, true);
    EXPECT_EQ(chosen.portPath, "");
    EXPECT_EQ(chosen.port, 3);
    // The found items' commands are none of the menu bar's.
    EXPECT_EQ(MenuPlaceOf(kFirstFoundPortCommand), std::nullopt);
    EXPECT_EQ(MenuPlaceOf(kFirstFoundPortCommand + kMaxFoundPorts - 1), std::nullopt);
}

// Lists the ports as an opening menu does, waiting longer if the system is slow.
bool ListNow(TWinPortItems& items) {
    if (items.Opening()) return true;
    for (int i = 0; i < 100; ++i) {
        Sleep(20);
        if (items.Arrived()) return true;
    }
    return false;
}

bool CheckedAt(HMENU menu, int position) {
    return (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_CHECKED) != 0;
}

TEST(Win32PortItems, FoundPortsFollowTheComItemsAndTheChosenOneStays) {
    std::vector<PortInfo> found(2);
    found[0].name = "COM2";
    found[1].name = "COM12";
    found[1].description = "USB & Serial Port";
    TWinPortItems items(WM_APP, [&found] { return found; });
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < 9; ++i)
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(MenuCommand({face::kPortMenu, i})), L"Com");
    items.Attach(nullptr, menu);
    ASSERT_TRUE(ListNow(items));
    // COM2 is the Com 2 item; COM12 follows a separator, its "&" shown as such.
    ASSERT_EQ(GetMenuItemCount(menu), 11);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 10, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"COM12  (USB && Serial Port)");
    const auto path = items.PathOf(static_cast<int>(GetMenuItemID(menu, 10)));
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, "\\\\.\\COM12");
    EXPECT_EQ(items.PathOf(MenuCommand({face::kPortMenu, 0})), std::nullopt);

    items.SetChecked(*path);
    items.ShowChecks(MenuCommand({face::kPortMenu, 0}));
    EXPECT_TRUE(CheckedAt(menu, 10));
    EXPECT_FALSE(CheckedAt(menu, 0));
    // Unplugged: still listed and checked, never changed behind the operator's back.
    found.clear();
    ASSERT_TRUE(ListNow(items));
    ASSERT_EQ(GetMenuItemCount(menu), 11);
    items.ShowChecks(MenuCommand({face::kPortMenu, 0}));
    EXPECT_TRUE(CheckedAt(menu, 10));
    // A Com item chosen: the found one goes with the separator.
    items.SetChecked({});
    ASSERT_TRUE(ListNow(items));
    EXPECT_EQ(GetMenuItemCount(menu), 9);
    items.ShowChecks(MenuCommand({face::kPortMenu, 2}));
    EXPECT_TRUE(CheckedAt(menu, 2));
    EXPECT_FALSE(CheckedAt(menu, 0));
    DestroyMenu(menu);
}

// On a denser screen the window's font is as many pixels higher, even where its
// face exists only as bitmaps for 96 DPI; the layout still holds every caption.
TEST(Win32Captions, FontsAndCaptionsFollowTheScreensDpi) {
    for (const int dpi : {120, 144, 192}) {
        const TFont font = MakeFont(face::kMainFont, dpi);
        HDC screen = GetDC(nullptr);
        HGDIOBJ old = SelectObject(screen, font.Handle());
        TEXTMETRICW metrics{};
        GetTextMetricsW(screen, &metrics);
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
        const int wanted = face::Scaled(face::kMainFont.pixelHeight, dpi);
        EXPECT_NEAR(metrics.tmHeight - metrics.tmInternalLeading, wanted, wanted / 10) << dpi;
        const face::Size needs = CaptionNeeds(font.Handle(), L"START", TCaptionKind::Button, dpi);
        const face::Rect start = face::Scaled(face::kStart.rect, dpi);
        EXPECT_LE(needs.width, start.width) << dpi;
        EXPECT_LE(needs.height, start.height) << dpi;
    }
}

TEST(Win32Text, Utf8ElseCodePage1252) {
    EXPECT_EQ(WideText("Upload Bank0"), L"Upload Bank0");
    EXPECT_EQ(WideText("Caf\xC3\xA9"), L"Caf\u00E9");
    // Not UTF-8: the bytes of a script written on Windows.
    EXPECT_EQ(WideText("Caf\xE9 \x80"), L"Caf\u00E9 \u20AC");
    EXPECT_EQ(WideText(""), L"");
}

// The window's layout holds its captions in the fonts it really draws with, so
// nothing has to grow beyond its designed size.
TEST(Win32Captions, DesignSizesHoldEveryCaption) {
    const TFont mainFont = MakeFont(face::kMainFont);
    const TFont aboutFont = MakeFont(face::kAboutFont);
    const TFont dialogFont = DialogFont();
    ASSERT_NE(mainFont.Handle(), nullptr);
    const struct {
        const face::Control& control;
        HFONT font;
        TCaptionKind kind;
        const char* caption;
    } cases[] = {
        {face::kReadId, mainFont.Handle(), TCaptionKind::Button, nullptr},
        {face::kStart, mainFont.Handle(), TCaptionKind::Button, "START"},
        {face::kStart, mainFont.Handle(), TCaptionKind::Button, "STOP"},
        {face::kStart, mainFont.Handle(), TCaptionKind::Button, "QUIT"},
        {face::kQuit, mainFont.Handle(), TCaptionKind::Button, nullptr},
        {face::kAboutOK, aboutFont.Handle(), TCaptionKind::Button, nullptr},
        {face::kCompGroup, dialogFont.Handle(), TCaptionKind::GroupBox, nullptr},
        {face::kCompKeyb, dialogFont.Handle(), TCaptionKind::CheckBox, nullptr},
        {face::kCompProm1, dialogFont.Handle(), TCaptionKind::CheckBox, nullptr},
        {face::kCompProm2, dialogFont.Handle(), TCaptionKind::CheckBox, nullptr},
        {face::kCompOK, dialogFont.Handle(), TCaptionKind::Button, nullptr},
    };
    for (const auto& c : cases) {
        const char* caption = c.caption != nullptr ? c.caption : c.control.caption;
        const face::Size needs = CaptionNeeds(c.font, WideText(caption), c.kind);
        EXPECT_LE(needs.width, c.control.rect.width) << c.control.name << " \"" << caption << "\"";
        EXPECT_LE(needs.height, c.control.rect.height) << c.control.name << " \"" << caption << "\"";
    }
    // The labels of the about box stay inside its panel.
    for (const face::Control* label : {&face::kAboutTitle, &face::kAboutVersion, &face::kAboutNotice}) {
        const face::Size needs =
            CaptionNeeds(aboutFont.Handle(), WideText(label->caption), TCaptionKind::Label);
        EXPECT_LE(label->rect.left + needs.width, face::kAboutPanel.rect.width) << label->name;
    }
}

} // namespace
} // namespace vz::win

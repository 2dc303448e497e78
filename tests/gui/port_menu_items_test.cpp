// The Port menu's items for the ports found, after Com 1 to Com 9.
#include "app/gui/main_fich.h"
#include "app/gui/port_menu_items.h"
#include "tests/gui/gui_support.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

namespace vz {
namespace {

PortInfo Port(const std::string& name, const std::string& byId, const std::string& product) {
    PortInfo port;
    port.name = name;
    port.stableName = byId;
    port.product = product;
    return port;
}

// Lists the ports and waits until the items have been replaced.
void RefreshNow(TPortMenuItems& items) {
    int refreshed = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&items, &TPortMenuItems::Refreshed, [&refreshed] { ++refreshed; });
    items.Refresh();
    EXPECT_TRUE(testing::WaitFor([&refreshed] { return refreshed > 0; }));
    QObject::disconnect(counting);
}

QStringList Captions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* item : menu->actions())
        captions << (item->isSeparator() ? QStringLiteral("--") : item->text());
    return captions;
}

TEST(PortMenuItemsTest, FoundPortsFollowTheComItemsAndTheirPathGoesToTheRun) {
    TMainFich window(std::make_unique<testing::ScriptedLink>());
    std::vector<PortInfo> found{Port("/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_A5-if00-port0", "R&D cable"),
                                Port("/dev/ttyACM0", "", ""), Port("COM3", "", "")};
    window.PortItems->SetLister([&found] { return found; });
    RefreshNow(*window.PortItems);
    const QStringList coms{"Com 1", "Com 2", "Com 3", "Com 4", "Com 5", "Com 6", "Com 7", "Com 8", "Com 9"};
    // COM3 is the Com 3 item already.
    EXPECT_EQ(
        Captions(window.Port1),
        coms + QStringList({"--", "/dev/serial/by-id/usb-FTDI_A5-if00-port0  (R&&D cable)", "/dev/ttyACM0"}));

    window.PortItems->Items()[0]->trigger();
    EXPECT_FALSE(window.Com11->isChecked());
    EXPECT_EQ(window.Choices().portPath, "/dev/serial/by-id/usb-FTDI_A5-if00-port0");

    // Unplugged: the chosen item stays chosen; the others go.
    found = {Port("/dev/ttyS0", "", "")};
    RefreshNow(*window.PortItems);
    EXPECT_EQ(
        Captions(window.Port1),
        coms + QStringList({"--", "/dev/ttyS0", "/dev/serial/by-id/usb-FTDI_A5-if00-port0  (R&&D cable)"}));
    EXPECT_EQ(window.Choices().portPath, "/dev/serial/by-id/usb-FTDI_A5-if00-port0");

    window.Com31->trigger();
    EXPECT_EQ(window.Choices().portPath, "");
    EXPECT_EQ(window.Choices().port, 3);
    found.clear();
    RefreshNow(*window.PortItems);
    EXPECT_EQ(Captions(window.Port1), coms + QStringList({"--"}));
}

// The listing reads the file system, which a hung device or a hostile lock
// file can slow down: the window keeps answering meanwhile.
TEST(PortMenuItemsTest, ListingRunsOffTheWindowThreadAndItsTextsArePrintable) {
    QMenu menu;
    QActionGroup group(&menu);
    auto gate = std::make_shared<std::promise<void>>();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::shared_future<void> opened = gate->get_future().share();
    auto* items = new TPortMenuItems(&menu, &group, [opened, finished] {
        opened.wait_for(std::chrono::seconds(10));
        *finished = true;
        return std::vector<PortInfo>{Port("/dev/ttyUSB0", "", "Evil\x1B[8m\xFF")};
    });
    items->Refresh();
    EXPECT_FALSE(*finished) << "Refresh waited for the listing";
    EXPECT_TRUE(items->Items().empty());
    gate->set_value();
    ASSERT_TRUE(testing::WaitFor([items] { return !items->Items().empty(); }));
    EXPECT_EQ(items->Items()[0]->text(), QStringLiteral("/dev/ttyUSB0  (Evil\\x1B[8m\\xFF)"));

    // Items gone before their listing ends: the list is dropped, nothing breaks.
    auto second = std::make_shared<std::promise<void>>();
    std::shared_future<void> secondOpened = second->get_future().share();
    *finished = false;
    items->SetLister([secondOpened, finished] {
        secondOpened.wait_for(std::chrono::seconds(10));
        *finished = true;
        return std::vector<PortInfo>{Port("/dev/ttyS0", "", "")};
    });
    items->Refresh();
    delete items;
    second->set_value();
    EXPECT_TRUE(testing::WaitFor([finished] { return finished->load(); }));
    testing::Spin(50);
    EXPECT_EQ(menu.actions().size(), 2) << "no item added after the items went";
}

} // namespace
} // namespace vz

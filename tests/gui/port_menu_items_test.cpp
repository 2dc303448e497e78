// The Port menu's items for the ports found, after Com 1 to Com 9.
#include "app/gui/main_fich.h"
#include "app/gui/port_menu_items.h"
#include "tests/gui/gui_support.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace vz {
namespace {

PortInfo Port(const std::string& name, const std::string& byId, const std::string& product) {
    PortInfo port;
    port.name = name;
    port.stableName = byId;
    port.product = product;
    return port;
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
    window.PortItems->Refresh();
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
    window.PortItems->Refresh();
    EXPECT_EQ(
        Captions(window.Port1),
        coms + QStringList({"--", "/dev/ttyS0", "/dev/serial/by-id/usb-FTDI_A5-if00-port0  (R&&D cable)"}));
    EXPECT_EQ(window.Choices().portPath, "/dev/serial/by-id/usb-FTDI_A5-if00-port0");

    window.Com31->trigger();
    EXPECT_EQ(window.Choices().portPath, "");
    EXPECT_EQ(window.Choices().port, 3);
    found.clear();
    window.PortItems->Refresh();
    EXPECT_EQ(Captions(window.Port1), coms + QStringList({"--"}));
}

} // namespace
} // namespace vz

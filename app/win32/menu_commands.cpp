#include "app/win32/menu_commands.h"

namespace vz::win {

int MenuCommand(MenuPlace place) {
    return kFirstMenuCommand + place.menu * kItemsPerMenu + place.item;
}

std::optional<MenuPlace> MenuPlaceOf(int command) {
    const int offset = command - kFirstMenuCommand;
    if (offset < 0) return std::nullopt;
    const int menu = offset / kItemsPerMenu;
    const int item = offset % kItemsPerMenu;
    if (menu >= face::kMenuCount) return std::nullopt;
    const auto index = static_cast<face::MenuIndex>(menu);
    if (item >= static_cast<int>(face::MenuAt(index).items.size())) return std::nullopt;
    return MenuPlace{index, item};
}

TMenuChecks::TMenuChecks() {
    for (int menu = 0; menu < face::kMenuCount; ++menu)
        checked_[menu] = face::DefaultItem(static_cast<face::MenuIndex>(menu));
}

RunChoices TMenuChecks::Choices(bool keyb, bool prom1, bool prom2) const {
    const auto value = [this](face::MenuIndex menu) {
        return face::MenuAt(menu).items[checked_[menu]].value;
    };
    RunChoices choices;
    // The Com items are read as if none were checked: Com 1 stands in for the number.
    choices.port = portPath_.empty() ? value(face::kPortMenu) : 1;
    choices.portPath = portPath_;
    choices.menuModel = static_cast<std::uint8_t>(value(face::kDeviceMenu));
    choices.manual = value(face::kModeMenu) == 1;
    choices.slow = value(face::kSpeedMenu) == 1;
    choices.keyb = keyb;
    choices.prom1 = prom1;
    choices.prom2 = prom2;
    return choices;
}

} // namespace vz::win

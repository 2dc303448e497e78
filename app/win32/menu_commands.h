// The menu bar's command numbers and the radio choice of every menu, apart
// from the system's menu calls.
#pragma once

#include "app/core/main_face.h"
#include "app/face_data/window_description.h"

#include <array>
#include <optional>
#include <string>

namespace vz::win {

// Command numbers of the menu items; below them lie the buttons' numbers.
inline constexpr int kFirstMenuCommand = 1000;
inline constexpr int kItemsPerMenu = 32;
// The Port menu's items for the ports found, after the menu bar's own.
inline constexpr int kFirstFoundPortCommand = kFirstMenuCommand + face::kMenuCount * kItemsPerMenu;
inline constexpr int kMaxFoundPorts = 256;

struct MenuPlace {
    face::MenuIndex menu;
    int item;
    bool operator==(const MenuPlace&) const = default;
};

int MenuCommand(MenuPlace place);
// The item behind a command number, if it is one of the menu bar's.
std::optional<MenuPlace> MenuPlaceOf(int command);

// Which item of each radio menu is checked.
class TMenuChecks {
public:
    // The items checked at creation.
    TMenuChecks();
    void Check(MenuPlace place) {
        checked_[place.menu] = place.item;
        if (place.menu == face::kPortMenu) portPath_.clear();
    }
    int Checked(face::MenuIndex menu) const { return checked_[menu]; }
    // A port found on the machine, by the path the link opens, instead of a Com item.
    void CheckPortPath(std::string path) { portPath_ = std::move(path); }
    // The found port checked; empty while a Com item is.
    const std::string& PortPath() const { return portPath_; }
    // The run's choices from the menus and the component dialog's boxes.
    RunChoices Choices(bool keyb, bool prom1, bool prom2) const;

private:
    std::array<int, face::kMenuCount> checked_{};
    std::string portPath_;
};

} // namespace vz::win

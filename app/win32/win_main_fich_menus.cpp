// The menu bar: built from the face's description, its checks, and the commands
// of its items and of the buttons.
#include "app/win32/win_main_fich.h"

#include "app/win32/win_main_fich_ids.h"
#include "app/win32/win_text.h"

namespace vz::win {

void TWinMainFich::BuildMenus() {
    menuBar_ = CreateMenu();
    for (int m = 0; m < face::kMenuCount; ++m) {
        const auto index = static_cast<face::MenuIndex>(m);
        const face::Menu& menu = face::MenuAt(index);
        HMENU popup = CreatePopupMenu();
        for (int i = 0; i < static_cast<int>(menu.items.size()); ++i)
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(MenuCommand({index, i})),
                        WideText(menu.items[static_cast<std::size_t>(i)].caption).c_str());
        AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), WideText(menu.caption).c_str());
        menus_[static_cast<std::size_t>(m)] = popup;
        menuEnabled_[static_cast<std::size_t>(m)] = true;
    }
}

void TWinMainFich::Check(MenuPlace place) {
    checks_.Check(place);
    if (place.menu == face::kPortMenu) {
        portItems_.SetChecked({});
        portItems_.ShowChecks(MenuCommand(place));
        return;
    }
    const int count = static_cast<int>(face::MenuAt(place.menu).items.size());
    CheckMenuRadioItem(menus_[place.menu], static_cast<UINT>(MenuCommand({place.menu, 0})),
                       static_cast<UINT>(MenuCommand({place.menu, count - 1})),
                       static_cast<UINT>(MenuCommand(place)), MF_BYCOMMAND);
}

void TWinMainFich::Command(int id) {
    switch (id) {
    case kReadIdId:
        ReadIdClick();
        return;
    case kStartId:
        StartClick();
        return;
    case kQuitId:
        QuitClick();
        return;
    default:
        break;
    }
    if (const auto path = portItems_.PathOf(id)) {
        checks_.CheckPortPath(*path);
        portItems_.SetChecked(*path);
        portItems_.ShowChecks(0);
        return;
    }
    const auto place = MenuPlaceOf(id);
    if (!place) return;
    if (place->menu == face::kAboutMenu)
        MItemAboutClick();
    else if (place->menu == face::kModeMenu && place->item == 1)
        MManualClick();
    else
        Check(*place);
}

void TWinMainFich::MItemAboutClick() {
    if (aboutBox_ != nullptr) aboutBox_->ShowModal(window_);
    FocusStart();
}

void TWinMainFich::MManualClick() {
    Check({face::kModeMenu, 1});
    compDialog_.ShowModal(window_);
    FocusStart();
}

RunChoices TWinMainFich::Choices() {
    return checks_.Choices(compDialog_.Keyb(), compDialog_.Prom1(), compDialog_.Prom2());
}

} // namespace vz::win

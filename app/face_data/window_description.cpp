#include "app/face_data/window_description.h"

#include "engines/constante.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vz::face {

namespace {

constexpr MenuItem kPortItems[] = {
    {"Com11", "Com 1", true, 1},  {"Com21", "Com 2", false, 2}, {"Com31", "Com 3", false, 3},
    {"Com41", "Com 4", false, 4}, {"Com51", "Com 5", false, 5}, {"Com61", "Com 6", false, 6},
    {"Com71", "Com 7", false, 7}, {"Com81", "Com 8", false, 8}, {"Com91", "Com 9", false, 9},
};
// A Device menu item's texts, built from its model's name: "MDev" + name, and the
// name with '&' before the underlined letter.
struct DeviceItemTexts {
    char name[16];
    char caption[16];
};

constexpr std::array<DeviceItemTexts, chosen_models.size()> kDeviceTexts = [] {
    std::array<DeviceItemTexts, chosen_models.size()> texts{};
    for (std::size_t i = 0; i < chosen_models.size(); ++i) {
        const std::string_view model = ModelName(chosen_models[i].code);
        const std::string_view prefix = "MDev";
        std::size_t at = 0;
        for (char c : prefix)
            texts[i].name[at++] = c;
        for (char c : model)
            texts[i].name[at++] = c;
        at = 0;
        for (std::size_t k = 0; k < model.size(); ++k) {
            if (k == chosen_models[i].access_key) texts[i].caption[at++] = '&';
            texts[i].caption[at++] = model[k];
        }
    }
    return texts;
}();

// Auto, then the models; the value is the model code the run is told (0: identify the device).
constexpr std::array<MenuItem, 1 + chosen_models.size()> kDeviceItems = [] {
    std::array<MenuItem, 1 + chosen_models.size()> items{{{"MDevAuto", "&Auto", true, 0}}};
    for (std::size_t i = 0; i < chosen_models.size(); ++i)
        items[i + 1] = {kDeviceTexts[i].name, kDeviceTexts[i].caption, false, chosen_models[i].code};
    return items;
}();
constexpr MenuItem kModeItems[] = {{"MAuto", "&Auto", true, 0}, {"MManual", "&Manual", false, 1}};
constexpr MenuItem kSpeedItems[] = {{"Fast", "Fast", true, 0}, {"Slow", "Slow", false, 1}};
// Not a radio item: it opens the about box.
constexpr MenuItem kAboutItems[] = {{"MItemAbout", "About", false, 0}};

constexpr std::array<Menu, kMenuCount> kMenus{{
    {"Port1", "&Port", kPortItems},
    {"MDev", "&Device", kDeviceItems},
    {"Program1", "&Mode", kModeItems},
    {"Speed1", "&Speed", kSpeedItems},
    {"About1", "&About", kAboutItems},
}};

} // namespace

std::span<const Menu> MenuBar() {
    return kMenus;
}

const Menu& MenuAt(MenuIndex menu) {
    return kMenus[static_cast<std::size_t>(menu)];
}

int DefaultItem(MenuIndex menu) {
    const auto items = MenuAt(menu).items;
    const auto it =
        std::find_if(items.begin(), items.end(), [](const MenuItem& i) { return i.checkedAtCreation; });
    return it == items.end() ? 0 : static_cast<int>(it - items.begin());
}

Rect FitCaption(const Rect& design, Size needed, int limit) {
    Rect fitted = design;
    fitted.width = std::max(design.width, needed.width);
    fitted.height = std::max(design.height, needed.height);
    if (limit > 0 && fitted.left + fitted.width > limit)
        fitted.width = std::max(design.width, limit - fitted.left);
    return fitted;
}

int Scaled(int pixels, int dpi) {
    // Halves away from zero, so that a layout mirrored about 0 stays mirrored.
    const long long product = static_cast<long long>(pixels) * dpi;
    const long long half = kLayoutDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kLayoutDpi : (product - half) / kLayoutDpi);
}

Rect Scaled(const Rect& rect, int dpi) {
    // Edges are scaled, not sizes, so that neighbours that touch at 96 DPI still touch.
    const int left = Scaled(rect.left, dpi);
    const int top = Scaled(rect.top, dpi);
    return {left, top, Scaled(rect.left + rect.width, dpi) - left, Scaled(rect.top + rect.height, dpi) - top};
}

Size Scaled(Size size, int dpi) {
    return {Scaled(size.width, dpi), Scaled(size.height, dpi)};
}

} // namespace vz::face

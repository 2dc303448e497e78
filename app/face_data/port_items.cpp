#include "app/face_data/port_items.h"

#include "formats/printable_text.h"

namespace vz::face {

namespace {

// A menu item holds a by-id name and a product name comfortably.
constexpr std::size_t kCaptionBytes = 256;

// COM1 to COM9 (any case) are the Com items.
bool CoveredByComItem(const std::string& name) {
    if (name.size() != 4 || name[3] < '1' || name[3] > '9') return false;
    for (std::size_t i = 0; i < 3; ++i)
        if ((name[i] | 0x20) != "com"[i]) return false;
    return true;
}

} // namespace

std::vector<FoundPortItem> FoundPortItems(const std::vector<PortInfo>& ports) {
    std::vector<FoundPortItem> items;
    for (const PortInfo& port : ports) {
        if (CoveredByComItem(port.name)) continue;
        // Names and product strings come from the adapter.
        items.push_back({PrintableText(PortCaption(port), kCaptionBytes),
                         PortOpenName(port.stableName.empty() ? port.name : port.stableName)});
    }
    return items;
}

} // namespace vz::face

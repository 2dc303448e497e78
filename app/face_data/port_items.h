// The Port menu's items after Com 1 to Com 9, as both windows list them: one per
// serial port found, apart from COM1 to COM9, which are the Com items themselves.
#pragma once

#include "link/port_list.h"

#include <string>
#include <vector>

namespace vz::face {

struct FoundPortItem {
    // The port's name and what the system knows of it, printable and bounded; a
    // face doubles its "&" where the toolkit takes it for a shortcut mark.
    std::string caption;
    // What the link opens: the stable name where there is one, so that a replugged
    // adapter is still the one chosen; "\\.\COM12" for COM12 on Windows.
    std::string path;
};

// The items for `ports`, in their order.
std::vector<FoundPortItem> FoundPortItems(const std::vector<PortInfo>& ports);

} // namespace vz::face

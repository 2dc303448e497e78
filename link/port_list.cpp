#include "link/port_list.h"

namespace vz {

std::string PortCaption(const PortInfo& port) {
    std::string caption = port.stableName.empty() ? port.name : port.stableName;
    const std::string& what = !port.product.empty() ? port.product : port.description;
    if (!what.empty()) caption += "  (" + what + ")";
    return caption;
}

} // namespace vz

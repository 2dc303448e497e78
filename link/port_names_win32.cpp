#include "link/port_names.h"

namespace vz {

std::string PlatformComDeviceName(int comNumber) {
    return WindowsComDeviceName(comNumber);
}

} // namespace vz

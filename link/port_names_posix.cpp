#include "link/port_names.h"

namespace vz {

std::string PlatformComDeviceName(int comNumber) {
    return PosixComDeviceName(comNumber);
}

} // namespace vz

#include "link/port_names.h"

#include <cstdlib>

namespace vz {

std::string WindowsComDeviceName(int comNumber) {
    return "\\\\.\\COM" + std::to_string(comNumber);
}

std::string PosixComDeviceName(int comNumber) {
    const std::string variable = "VZ_COM" + std::to_string(comNumber);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') return path;
    return "/dev/ttyS" + std::to_string(comNumber - 1);
}

} // namespace vz

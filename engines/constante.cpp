#include "engines/constante.h"

#include <filesystem>
#include <stdexcept>

namespace vz {

const device_rec& DeviceRecordAt(int number) {
    if (number < 1 || number > kDeviceCount) {
        throw std::out_of_range("Device record number out of range: " + std::to_string(number));
    }
    return device_table[static_cast<std::size_t>(number - 1)];
}

int FindDeviceRecord(std::uint8_t code) {
    for (int number = 1; number <= kDeviceCount; ++number) {
        if (DeviceRecordAt(number).code == code) return number;
    }
    return 0;
}

std::string NativeDirectory(const device_rec& record) {
    constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
    std::string path(record.directory);
    for (char& c : path) {
        if (c == '\\') c = kSeparator;
    }
    return path;
}

} // namespace vz

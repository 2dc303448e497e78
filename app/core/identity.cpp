#include "app/core/identity.h"

#include "engines/constante.h"
#include "formats/hex.h"

namespace vz {

namespace {
const char kProduct[] = "Zentrik Vorna-Zadod Updater  (";
}

std::string ModelText(std::uint8_t modelCode) {
    const std::string_view name = ModelName(modelCode);
    return name.empty() ? "Unknown" : std::string(name);
}

std::string ModelKey(std::uint8_t modelCode) {
    const int record = FindDeviceRecord(modelCode);
    if (record == 0) return ModelText(modelCode);
    std::string key(DeviceRecordAt(record).directory);
    std::erase(key, '\\');
    return key;
}

std::string DeviceText(std::uint8_t modelCode) {
    return "Device " + ModelText(modelCode);
}

std::string OptionText(std::int32_t options) {
    return ((options & 6) == 2 || (options & 8) != 0) ? "Option Logo" : "";
}

std::string IdText(std::int32_t deviceId) {
    return deviceId != 0 ? "Id : " + WordToHex(static_cast<std::uint16_t>(deviceId)) : "Id Unknown";
}

std::string TitleText(std::uint8_t modelCode, std::int32_t options, std::int32_t deviceId) {
    return kProduct + DeviceText(modelCode) + "  " + OptionText(options) + "  " + IdText(deviceId) + ")";
}

std::string InitialTitleText(std::uint8_t modelCode, std::int32_t deviceId) {
    return kProduct + DeviceText(modelCode) + " " + IdText(deviceId) + ")";
}

} // namespace vz

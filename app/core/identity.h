// The texts the window's title is built from.
#pragma once

#include <cstdint>
#include <string>

namespace vz {

// The model name, or "Unknown".
std::string ModelText(std::uint8_t modelCode);
// The model as records name it for programs, its variant included ("KRB350_256").
std::string ModelKey(std::uint8_t modelCode);
// "Device " + model name, or "Device Unknown".
std::string DeviceText(std::uint8_t modelCode);
// "Option Logo" or empty.
std::string OptionText(std::int32_t options);
// "Id : " + four hex digits, or "Id Unknown" for 0.
std::string IdText(std::int32_t deviceId);
// The caption on every paint.
std::string TitleText(std::uint8_t modelCode, std::int32_t options, std::int32_t deviceId);
// The caption at creation, before any paint.
std::string InitialTitleText(std::uint8_t modelCode, std::int32_t deviceId);

} // namespace vz

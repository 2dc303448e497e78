// The device variants the updater knows, in the order the type check tries them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vz {

struct device_rec {
    std::uint8_t code;          // model code 1..7; 0 means no model
    std::int32_t type_number;   // sent in decimal to the boot loader for the type check
    std::string_view name;      // shown in the title; both "_256" variants share their base name
    std::string_view directory; // script directory below the program's, separator on both sides
};

inline constexpr int kDeviceCount = 7;

// Record numbers are 1-based everywhere outside this array: use DeviceRecordAt.
inline constexpr std::array<device_rec, kDeviceCount> device_table{{
    {2, 21, "KRB350", "\\KRB350\\"},
    {1, 18, "KRA350", "\\KRA350\\"},
    {3, 22, "KRC350", "\\KRC350\\"},
    {4, 23, "KRD350", "\\KRD350\\"},
    {7, 26, "KRT120", "\\KRT120\\"},
    {5, 25, "KRA350", "\\KRA350_256\\"},
    {6, 21, "KRB350", "\\KRB350_256\\"},
}};

// Record `number`, 1 to kDeviceCount; throws std::out_of_range otherwise.
const device_rec& DeviceRecordAt(int number);

// Number (1-based) of the first record whose code is `code`; 0 when none is.
int FindDeviceRecord(std::uint8_t code);

// The record's directory with the platform's path separator in place of '\'.
std::string NativeDirectory(const device_rec& record);

} // namespace vz

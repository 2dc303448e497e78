// The device variants the updater knows, in the order the type check tries them.
#pragma once

#include <array>
#include <cstddef>
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

// The name of the model with code `code`, as the title shows it (the last record
// with that code counts); empty for a code no record has, such as 0.
constexpr std::string_view ModelName(std::uint8_t code) {
    std::string_view name;
    for (const device_rec& record : device_table)
        if (record.code == code) name = record.name;
    return name;
}

// The models an operator can choose, in the order the Device menu lists them
// after Auto; each is also the `--device` name of the command line. The "_256"
// variants are never chosen: the type check or the identifier tells them.
struct chosen_model {
    std::uint8_t code;
    std::size_t access_key; // position in the model's name of the letter the menu underlines
};
inline constexpr std::array<chosen_model, 5> chosen_models{{{1, 2}, {2, 2}, {3, 2}, {4, 2}, {7, 2}}};

// The code of the chosen model named `name`; 0 (identify the device) for any other name.
constexpr std::uint8_t ChosenModelCode(std::string_view name) {
    for (const chosen_model& model : chosen_models)
        if (ModelName(model.code) == name) return model.code;
    return 0;
}

// The "_256" variants of two base models. The KRB350's answers the same type
// number as its base, so only an identifier of kVariantIdentifier or more tells it.
struct variant_rec {
    std::uint8_t base;
    std::uint8_t variant;
    bool told_by_identifier;
};
inline constexpr std::array<variant_rec, 2> variants_256{{{1, 5, false}, {2, 6, true}}};
inline constexpr std::int32_t kVariantIdentifier = 0x8000;

constexpr bool IsVariant256(std::uint8_t code) {
    for (const variant_rec& rule : variants_256)
        if (rule.variant == code) return true;
    return false;
}

constexpr bool HasVariantIdentifier(std::int32_t deviceId) {
    return deviceId >= kVariantIdentifier;
}

// `code`, or its "_256" variant when the identifier tells that variant apart.
constexpr std::uint8_t IdentifiedModel(std::uint8_t code, std::int32_t deviceId) {
    for (const variant_rec& rule : variants_256)
        if (rule.told_by_identifier && rule.base == code && HasVariantIdentifier(deviceId))
            return rule.variant;
    return code;
}

// Record `number`, 1 to kDeviceCount; throws std::out_of_range otherwise.
const device_rec& DeviceRecordAt(int number);

// Number (1-based) of the first record whose code is `code`; 0 when none is.
int FindDeviceRecord(std::uint8_t code);

// The record's directory with the platform's path separator in place of '\'.
std::string NativeDirectory(const device_rec& record);

} // namespace vz

// The device variants the emulator can play, with the type number its boot
// loader accepts and the folder name the sample package uses for it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vz::emu {

struct Model {
    int code;              // 1..7
    int typeNumber;        // what the boot loader accepts in decimal
    std::string_view name; // model name as reported to the operator
    std::string_view folder;
};

// In model-code order 1..7.
const std::array<Model, 7>& Models();
const Model& ModelByCode(int code);
// Accepts a folder name (KRA350, KRB350_256, ...) or a code 1..7.
std::optional<Model> FindModel(std::string_view nameOrCode);
// Identifier a device of this model reports unless told otherwise; the KRB350
// "_256" variant needs one of 0x8000 or more to be told apart from the KRB350.
std::uint16_t DefaultDeviceId(int code);

} // namespace vz::emu

#include "emulator/models.h"

#include <stdexcept>

namespace vz::emu {

const std::array<Model, 7>& Models() {
    static const std::array<Model, 7> models{{
        {1, 18, "KRA350", "KRA350"},
        {2, 21, "KRB350", "KRB350"},
        {3, 22, "KRC350", "KRC350"},
        {4, 23, "KRD350", "KRD350"},
        {5, 25, "KRA350", "KRA350_256"},
        {6, 21, "KRB350", "KRB350_256"},
        {7, 26, "KRT120", "KRT120"},
    }};
    return models;
}

const Model& ModelByCode(int code) {
    if (code < 1 || code > 7) throw std::out_of_range("model code " + std::to_string(code) + " is not 1..7");
    return Models()[static_cast<std::size_t>(code - 1)];
}

std::optional<Model> FindModel(std::string_view nameOrCode) {
    if (nameOrCode.size() == 1 && nameOrCode[0] >= '1' && nameOrCode[0] <= '7')
        return ModelByCode(nameOrCode[0] - '0');
    for (const auto& m : Models())
        if (m.folder == nameOrCode) return m;
    return std::nullopt;
}

std::uint16_t DefaultDeviceId(int code) {
    return static_cast<std::uint16_t>(code == 6 ? 0x8000 + code : 0x1000 + code);
}

} // namespace vz::emu

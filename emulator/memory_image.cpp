#include "emulator/memory_image.h"

#include <algorithm>

namespace vz::emu {

DeviceMemory::DeviceMemory() {
    for (auto& bank : banks)
        bank.assign(kBankSize, 0xFF);
    for (auto& prom : proms)
        prom.assign(kPromSize, 0xFF);
    versions.fill("0000");
}

FlashWindow BootWindow(DeviceMemory& memory) {
    return {&memory.boot, kBootBase};
}

FlashWindow BankWindow(DeviceMemory& memory, int bank) {
    return {&memory.banks.at(static_cast<std::size_t>(bank)),
            static_cast<std::uint16_t>(bank == 0 ? 0x0000 : 0x8000)};
}

void EraseFlash(Bytes& bytes) {
    std::fill(bytes.begin(), bytes.end(), 0xFF);
}

bool WriteFlash(const FlashWindow& window, std::uint32_t address, const Bytes& data) {
    if (address < window.base || address + data.size() > window.base + window.bytes->size()) return false;
    auto offset = address - window.base;
    for (std::size_t k = 0; k < data.size(); ++k)
        (*window.bytes)[offset + k] &= data[k];
    return true;
}

std::uint16_t Sum16(const Bytes& bytes) {
    unsigned sum = 0;
    for (auto b : bytes)
        sum += b;
    return static_cast<std::uint16_t>(sum);
}

} // namespace vz::emu

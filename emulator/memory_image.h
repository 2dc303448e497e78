// Everything the device remembers: the extended boot area, the eight keyboard
// banks, the two PROMs' contents and the version texts. Flash is modelled the
// way the parts behave: erase sets bytes to 0xFF, a write can only clear bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vz::emu {

inline constexpr std::uint16_t kBootBase = 0x4000;
inline constexpr std::size_t kBootSize = 0x2000;
inline constexpr std::size_t kBankSize = 0x8000;
inline constexpr std::size_t kPromSize = 0x10000;
inline constexpr int kBankCount = 8;
inline constexpr int kComponentCount = 10;

using Bytes = std::vector<std::uint8_t>;

struct DeviceMemory {
    Bytes boot = Bytes(kBootSize, 0xFF);
    std::array<Bytes, kBankCount> banks;
    std::array<Bytes, 2> proms;
    std::array<std::string, kComponentCount> versions; // four characters each, "0000" until written
    std::string userVersion;                           // last "UV" text
    std::string optionText;                            // last "OP" text

    DeviceMemory();
};

// Where a flash memory sits in the loader's 64 KiB address space: bank 0 in the
// lower half, the other banks in the upper half, the boot area at 0x4000.
struct FlashWindow {
    Bytes* bytes;
    std::uint16_t base;
};

FlashWindow BootWindow(DeviceMemory& memory);
FlashWindow BankWindow(DeviceMemory& memory, int bank);

void EraseFlash(Bytes& bytes);
// new = old AND data. False, and nothing written, when any byte falls outside the window.
bool WriteFlash(const FlashWindow& window, std::uint32_t address, const Bytes& data);
// 16-bit sum of all bytes, as the loaders' checksum record expects it.
std::uint16_t Sum16(const Bytes& bytes);

} // namespace vz::emu

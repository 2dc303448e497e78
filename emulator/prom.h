// One PROM on the device's JTAG chain: an 8-bit instruction register and the
// data registers its instructions select. Programming works on pages of 64
// 16-bit words; the page register keeps what is shifted in and writes it to
// flash (AND semantics) when the scan updates.
#pragma once

#include "emulator/memory_image.h"

#include <cstdint>
#include <vector>

namespace vz::emu {

// Instruction codes (8 bits). Any other code behaves like BYPASS.
inline constexpr std::uint8_t kInstBypass = 0xFF;
inline constexpr std::uint8_t kInstIdcode = 0xFE;
inline constexpr std::uint8_t kInstRead = 0xEF;  // DR: one page captured from flash; update steps the address
inline constexpr std::uint8_t kInstErase = 0xEC; // erases the whole PROM on RUNTEST (at least one clock)
inline constexpr std::uint8_t kInstAddress = 0xEB; // DR: 16-bit word address
inline constexpr std::uint8_t kInstProgram = 0xEA; // DR: one page written to flash on update

inline constexpr int kPromIrLength = 8;
inline constexpr std::uint8_t kPromIrCapture = 0x01;
inline constexpr int kPageWords = 64;
inline constexpr int kPageBytes = kPageWords * 2;
inline constexpr int kPageBits = kPageBytes * 8;

// A shift register of any length: bit 0 is next to TDO and leaves first.
class ShiftRegister {
public:
    void reset(std::size_t length, bool fill = false);
    void loadBits(const std::vector<bool>& bits); // length becomes bits.size()
    bool shift(bool in);
    std::size_t length() const { return bits_.size(); }
    bool bit(std::size_t k) const { return bits_[(head_ + k) % bits_.size()]; }
    std::uint32_t low32() const;

private:
    std::vector<bool> bits_;
    std::size_t head_ = 0;
};

class Prom {
public:
    Prom(std::uint32_t idcode, Bytes* memory);

    void testLogicReset();
    void captureIr();
    bool shiftIr(bool in) { return ir_.shift(in); }
    void updateIr();
    void captureDr();
    bool shiftDr(bool in) { return dr_.shift(in); }
    void updateDr();
    void runTest(std::uint32_t clocks);

    std::uint8_t instruction() const { return instruction_; }
    std::uint16_t wordAddress() const { return address_; }
    std::uint32_t idcode() const { return idcode_; }
    void setIdcode(std::uint32_t idcode) { idcode_ = idcode; }

private:
    std::size_t words() const { return memory_->size() / 2; }

    std::uint32_t idcode_;
    Bytes* memory_;
    std::uint8_t instruction_ = kInstIdcode;
    std::uint16_t address_ = 0;
    ShiftRegister ir_;
    ShiftRegister dr_;
};

} // namespace vz::emu

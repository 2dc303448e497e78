#include "emulator/prom.h"

#include <algorithm>

namespace vz::emu {

void ShiftRegister::reset(std::size_t length, bool fill) {
    bits_.assign(length, fill);
    head_ = 0;
}

void ShiftRegister::loadBits(const std::vector<bool>& bits) {
    bits_ = bits;
    head_ = 0;
}

bool ShiftRegister::shift(bool in) {
    if (bits_.empty()) return in;
    bool out = bits_[head_];
    bits_[head_] = in; // the slot just emptied becomes the far end of the ring
    head_ = (head_ + 1) % bits_.size();
    return out;
}

std::uint32_t ShiftRegister::low32() const {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < std::min<std::size_t>(32, length()); ++k)
        if (bit(k)) value |= 1u << k;
    return value;
}

namespace {

std::vector<bool> BitsOf(std::uint32_t value, int length) {
    std::vector<bool> bits(static_cast<std::size_t>(length));
    for (int k = 0; k < length; ++k)
        bits[static_cast<std::size_t>(k)] = (value >> k) & 1;
    return bits;
}

} // namespace

Prom::Prom(std::uint32_t idcode, Bytes* memory) : idcode_(idcode), memory_(memory) {
    ir_.reset(kPromIrLength);
    dr_.reset(1);
}

void Prom::testLogicReset() {
    instruction_ = kInstIdcode;
}

void Prom::captureIr() {
    ir_.loadBits(BitsOf(kPromIrCapture, kPromIrLength));
}

void Prom::updateIr() {
    instruction_ = static_cast<std::uint8_t>(ir_.low32());
}

void Prom::captureDr() {
    switch (instruction_) {
    case kInstIdcode:
        dr_.loadBits(BitsOf(idcode_, 32));
        break;
    case kInstAddress:
        dr_.loadBits(BitsOf(address_, 16));
        break;
    case kInstProgram:
        dr_.reset(kPageBits, true);
        break;
    case kInstRead: {
        std::vector<bool> bits(kPageBits);
        std::size_t base = static_cast<std::size_t>(address_) * 2;
        for (int k = 0; k < kPageBits; ++k) {
            std::uint8_t byte = (*memory_)[(base + static_cast<std::size_t>(k / 8)) % memory_->size()];
            bits[static_cast<std::size_t>(k)] = (byte >> (k % 8)) & 1;
        }
        dr_.loadBits(bits);
        break;
    }
    default: // BYPASS, ERASE and unknown codes: one bit that captures 0
        dr_.reset(1, false);
        break;
    }
}

void Prom::updateDr() {
    switch (instruction_) {
    case kInstAddress:
        address_ = static_cast<std::uint16_t>(dr_.low32() % words());
        break;
    case kInstProgram: {
        std::size_t base = static_cast<std::size_t>(address_) * 2;
        for (int byte = 0; byte < kPageBytes; ++byte) {
            std::uint8_t value = 0;
            for (int b = 0; b < 8; ++b)
                if (dr_.bit(static_cast<std::size_t>(byte * 8 + b)))
                    value |= static_cast<std::uint8_t>(1 << b);
            (*memory_)[(base + static_cast<std::size_t>(byte)) % memory_->size()] &= value;
        }
        address_ = static_cast<std::uint16_t>((address_ + kPageWords) % words());
        break;
    }
    case kInstRead:
        address_ = static_cast<std::uint16_t>((address_ + kPageWords) % words());
        break;
    default:
        break;
    }
}

void Prom::runTest(std::uint32_t clocks) {
    if (instruction_ == kInstErase && clocks > 0) EraseFlash(*memory_);
}

} // namespace vz::emu

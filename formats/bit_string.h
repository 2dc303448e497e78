// Scan data as bits, bit 0 first (the first bit into TDI), always zero above
// their length so that whole words compare and combine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vz {

class BitString {
public:
    static BitString Zeros(std::uint64_t size);
    static BitString Ones(std::uint64_t size);

    std::uint64_t Size() const { return size_; }
    bool AllZero() const;
    bool AllOnes() const;
    // Bits 4 x index .. 4 x index + 3 as one digit's value; 0 past the end.
    unsigned Nibble(std::uint64_t index) const;
    // ORs `value` (0 to 15) in at bits 4 x index ..; bits above the size are dropped.
    void OrNibble(std::uint64_t index, unsigned value);
    void AndWith(const BitString& other);
    // ORs `source` in with its bit 0 at bit `at`.
    void Place(const BitString& source, std::uint64_t at);
    BitString Slice(std::uint64_t from, std::uint64_t count) const;
    // 2 x ceil(size / 8) digits, most significant first; pad bits as `padOnes` says.
    std::string Hex(bool padOnes = false) const;

private:
    void ClearAbove();

    std::uint64_t size_ = 0;
    std::vector<std::uint64_t> words_;
};

} // namespace vz

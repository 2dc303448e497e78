#include "formats/bit_string.h"

#include "formats/hex.h"

#include <algorithm>

namespace vz {

BitString BitString::Zeros(std::uint64_t size) {
    BitString b;
    b.size_ = size;
    b.words_.assign(static_cast<std::size_t>((size + 63) / 64), 0);
    return b;
}

BitString BitString::Ones(std::uint64_t size) {
    BitString b = Zeros(size);
    std::fill(b.words_.begin(), b.words_.end(), ~std::uint64_t{0});
    b.ClearAbove();
    return b;
}

void BitString::ClearAbove() {
    if (size_ % 64 != 0 && !words_.empty()) words_.back() &= (std::uint64_t{1} << (size_ % 64)) - 1;
}

bool BitString::AllZero() const {
    return std::all_of(words_.begin(), words_.end(), [](std::uint64_t w) { return w == 0; });
}

bool BitString::AllOnes() const {
    return words_ == Ones(size_).words_;
}

unsigned BitString::Nibble(std::uint64_t index) const {
    const std::uint64_t bit = index * 4;
    if (bit >= size_) return 0;
    return static_cast<unsigned>((words_[static_cast<std::size_t>(bit / 64)] >> (bit % 64)) & 0xF);
}

void BitString::OrNibble(std::uint64_t index, unsigned value) {
    const std::uint64_t bit = index * 4;
    if (bit >= size_) return;
    words_[static_cast<std::size_t>(bit / 64)] |= std::uint64_t{value & 0xF} << (bit % 64);
    ClearAbove(); // bits of the top digit above the size are never shifted
}

void BitString::AndWith(const BitString& other) {
    for (std::size_t i = 0; i < words_.size() && i < other.words_.size(); ++i)
        words_[i] &= other.words_[i];
}

void BitString::Place(const BitString& source, std::uint64_t at) {
    const unsigned shift = static_cast<unsigned>(at % 64);
    const std::size_t base = static_cast<std::size_t>(at / 64);
    for (std::size_t i = 0; i < source.words_.size(); ++i) {
        const std::uint64_t v = source.words_[i];
        if (base + i < words_.size()) words_[base + i] |= v << shift;
        if (shift != 0 && base + i + 1 < words_.size()) words_[base + i + 1] |= v >> (64 - shift);
    }
}

BitString BitString::Slice(std::uint64_t from, std::uint64_t count) const {
    BitString out = Zeros(count);
    const unsigned shift = static_cast<unsigned>(from % 64);
    const std::size_t base = static_cast<std::size_t>(from / 64);
    for (std::size_t j = 0; j < out.words_.size(); ++j) {
        std::uint64_t v = base + j < words_.size() ? words_[base + j] >> shift : 0;
        if (shift != 0 && base + j + 1 < words_.size()) v |= words_[base + j + 1] << (64 - shift);
        out.words_[j] = v;
    }
    out.ClearAbove();
    return out;
}

std::string BitString::Hex(bool padOnes) const {
    const std::uint64_t digits = 2 * ((size_ + 7) / 8);
    std::string text(static_cast<std::size_t>(digits), '0');
    for (std::uint64_t d = 0; d < digits; ++d) {
        unsigned v = Nibble(d);
        if (padOnes)
            for (unsigned k = 0; k < 4; ++k)
                if (d * 4 + k >= size_) v |= 1u << k;
        text[static_cast<std::size_t>(digits - 1 - d)] = NibbleToHexChar(v);
    }
    return text;
}

} // namespace vz

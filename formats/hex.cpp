#include "formats/hex.h"

#include <algorithm>
#include <array>
#include <memory>

namespace vz {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
constexpr std::size_t kImageSize = 0x10000;
// ":" + count(2) + address(4) + type(2)
constexpr std::size_t kHeaderLength = 9;

// Digit values by character; every character that is not an upper-case hex digit reads as 0.
constexpr std::array<std::uint8_t, 256> kNibbles = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = '0'; c <= '9'; ++c)
        table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'A' + 10);
    return table;
}();

// Two digits at `p`, which the caller has checked lie inside the text.
std::uint8_t PairAt(const char* p) {
    return static_cast<std::uint8_t>(kNibbles[static_cast<unsigned char>(p[0])] << 4 |
                                     kNibbles[static_cast<unsigned char>(p[1])]);
}
} // namespace

char NibbleToHexChar(unsigned value) {
    return kDigits[value & 0x0F];
}

std::uint8_t HexCharToNibble(char c) {
    return kNibbles[static_cast<unsigned char>(c)];
}

std::uint8_t HexPairAt(std::string_view text, std::size_t pos) {
    const char high = pos < text.size() ? text[pos] : '0';
    const char low = pos + 1 < text.size() ? text[pos + 1] : '0';
    return static_cast<std::uint8_t>(HexCharToNibble(high) * 16 + HexCharToNibble(low));
}

std::string ByteToHex(std::uint8_t value) {
    return {NibbleToHexChar(value >> 4), NibbleToHexChar(value)};
}

std::string WordToHex(std::uint16_t value) {
    return {NibbleToHexChar(value >> 12), NibbleToHexChar(value >> 8), NibbleToHexChar(value >> 4),
            NibbleToHexChar(value)};
}

std::string LongToHex(std::uint32_t value) {
    return WordToHex(static_cast<std::uint16_t>(value >> 16)) + WordToHex(static_cast<std::uint16_t>(value));
}

std::uint16_t HexToWord(std::string_view text) {
    unsigned value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value * 16 + (i < text.size() ? HexCharToNibble(text[i]) : 0);
    return static_cast<std::uint16_t>(value);
}

bool ParseHexRecord(std::string_view line, HexRecord& out) {
    if (line.size() < kHeaderLength) return false;
    out.count = HexPairAt(line, 1);
    out.address = static_cast<std::uint16_t>(HexPairAt(line, 3) * 256 + HexPairAt(line, 5));
    out.type = HexPairAt(line, 7);
    // A line too short for its announced data is never read past its end.
    if (line.size() < kHeaderLength + 2 * std::size_t{out.count}) return false;
    out.data.resize(out.count);
    for (std::size_t k = 0; k < out.count; ++k)
        out.data[k] = HexPairAt(line, kHeaderLength + 2 * k);
    return true;
}

namespace {

template <class Lines> std::uint16_t ImageSum(const Lines& lines, std::uint16_t first, std::uint16_t last) {
    auto image = std::make_unique<std::array<std::uint8_t, kImageSize>>();
    image->fill(0xFF);
    // Records are applied straight from their text: no copy of the data is made.
    for (const std::string_view line : lines) {
        if (line.size() < kHeaderLength || line[0] != ':') continue;
        const char* text = line.data();
        const std::size_t count = PairAt(text + 1);
        // A line too short for its announced data is skipped, never read past its end.
        if (line.size() < kHeaderLength + 2 * count) continue;
        const std::uint8_t type = PairAt(text + 7);
        if (type == 0x01) break;
        if (type != 0x00) continue;
        const std::size_t address = std::size_t{PairAt(text + 3)} << 8 | PairAt(text + 5);
        // Bytes beyond the 16-bit space are dropped rather than wrapped onto low memory.
        const std::size_t stored = std::min(count, kImageSize - address);
        for (std::size_t k = 0; k < stored; ++k)
            (*image)[address + k] = PairAt(text + kHeaderLength + 2 * k);
    }
    unsigned sum = 0;
    if (first <= last)
        for (std::size_t a = first; a <= last; ++a)
            sum += (*image)[a];
    return static_cast<std::uint16_t>(sum);
}

} // namespace

std::uint16_t HexImageSum(const std::vector<std::string>& lines, std::uint16_t first, std::uint16_t last) {
    return ImageSum(lines, first, last);
}

std::uint16_t HexImageSumOfLines(const TextLines& lines, std::uint16_t first, std::uint16_t last) {
    return ImageSum(lines, first, last);
}

std::uint8_t HexRecordChecksum(std::string_view line, std::size_t pairs) {
    unsigned sum = 0;
    for (std::size_t k = 0; k < pairs; ++k)
        sum += HexPairAt(line, 1 + 2 * k);
    return static_cast<std::uint8_t>((256 - (sum & 0xFF)) & 0xFF);
}

std::string BuildHexRecord(std::uint8_t type, std::uint16_t address, std::string_view dataText) {
    const std::size_t count = dataText.size() / 2;
    std::string line;
    line.reserve(11 + dataText.size());
    line += ':';
    line += ByteToHex(static_cast<std::uint8_t>(count));
    line += WordToHex(address);
    line += ByteToHex(type);
    line += dataText;
    // The header's four pairs and the counted data; an odd trailing digit is not summed.
    line += ByteToHex(HexRecordChecksum(line, (kHeaderLength - 1) / 2 + count));
    return line;
}

} // namespace vz

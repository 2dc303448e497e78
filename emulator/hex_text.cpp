#include "emulator/hex_text.h"

namespace vz::emu {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char HexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

std::string HexByte(std::uint8_t value) {
    return {HexDigit(value >> 4), HexDigit(value)};
}

std::string HexWord(std::uint16_t value) {
    return HexByte(static_cast<std::uint8_t>(value >> 8)) + HexByte(static_cast<std::uint8_t>(value));
}

std::string HexLong(std::uint32_t value) {
    return HexWord(static_cast<std::uint16_t>(value >> 16)) + HexWord(static_cast<std::uint16_t>(value));
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (auto b : bytes)
        text += HexByte(b);
    return text;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int hi = HexDigitValue(text[i]);
        int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
        int v = HexDigitValue(c);
        if (v < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(v);
    }
    return value;
}

std::uint8_t RecordChecksum(const Record& record) {
    unsigned sum = static_cast<unsigned>(record.data.size()) + (record.address >> 8) +
                   (record.address & 0xFF) + record.type;
    for (auto b : record.data)
        sum += b;
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

ParsedRecord ParseRecordLine(std::string_view line) {
    ParsedRecord result;
    if (line.size() < 11 || line[0] != ':') return result;
    auto bytes = ParseHexBytes(line.substr(1));
    if (!bytes || bytes->size() < 5) return result;
    const auto& b = *bytes;
    std::size_t count = b[0];
    if (b.size() != count + 5) return result;
    unsigned sum = 0;
    for (auto v : b)
        sum += v;
    result.record.address = static_cast<std::uint16_t>(b[1] << 8 | b[2]);
    result.record.type = b[3];
    result.record.data.assign(b.begin() + 4, b.begin() + 4 + static_cast<std::ptrdiff_t>(count));
    result.check = (sum & 0xFF) == 0 ? RecordCheck::Good : RecordCheck::BadChecksum;
    return result;
}

std::string BuildRecordLine(const Record& record) {
    return ":" + HexByte(static_cast<std::uint8_t>(record.data.size())) + HexWord(record.address) +
           HexByte(record.type) + HexBytes(record.data) + HexByte(RecordChecksum(record));
}

ReceivedLine ReadReceivedLine(const std::string& raw) {
    ReceivedLine line;
    line.crlf = !raw.empty() && raw.back() == '\r';
    line.text = line.crlf ? raw.substr(0, raw.size() - 1) : raw;
    if (line.crlf) line.parsed = ParseRecordLine(line.text);
    return line;
}

std::optional<std::uint8_t> PeekRecordType(std::string_view line) {
    if (line.size() < 9 || line[0] != ':') return std::nullopt;
    int hi = HexDigitValue(line[7]);
    int lo = HexDigitValue(line[8]);
    if (hi < 0 || lo < 0) return std::nullopt;
    return static_cast<std::uint8_t>(hi * 16 + lo);
}

} // namespace vz::emu

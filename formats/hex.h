// Intel HEX text: record parsing and building, the 16-bit image sum the device
// checks after an upload, and the fixed upper-case hex conversions.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/text_lines.h"

namespace vz {

struct HexRecord {
    std::uint8_t count = 0;
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    std::vector<std::uint8_t> data;
};

// Parses one record line (":" at position 1 is not checked here). Returns false,
// leaving `out` unspecified, when the line is too short for its header or for the
// byte count it announces: such a line is never read past its end.
bool ParseHexRecord(std::string_view line, HexRecord& out);

// Sum modulo 65536 of the image bytes first..last of a 64 KiB image that starts
// all 0xFF and takes the data records of `lines` until an end-of-file record.
std::uint16_t HexImageSum(const std::vector<std::string>& lines, std::uint16_t first, std::uint16_t last);
std::uint16_t HexImageSumOfLines(const TextLines& lines, std::uint16_t first, std::uint16_t last);
// The same for a file as loaded; a template only so that a braced list of
// lines still means the vector.
template <std::same_as<TextLines> Lines>
std::uint16_t HexImageSum(const Lines& lines, std::uint16_t first, std::uint16_t last) {
    return HexImageSumOfLines(lines, first, last);
}

// The checksum byte that ends a record: the two's complement of the sum of the
// `pairs` byte pairs after the ":" (count, address, type and the data bytes).
std::uint8_t HexRecordChecksum(std::string_view line, std::size_t pairs);

// ":" + count + address + type + dataText + record checksum. An odd trailing digit
// of dataText is copied but neither counted nor summed.
std::string BuildHexRecord(std::uint8_t type, std::uint16_t address, std::string_view dataText);

std::string ByteToHex(std::uint8_t value);
std::string WordToHex(std::uint16_t value);
std::string LongToHex(std::uint32_t value);
// The first four characters; missing characters read as 0.
std::uint16_t HexToWord(std::string_view text);
char NibbleToHexChar(unsigned value);
std::uint8_t HexCharToNibble(char c);
// Two digits at `pos` as one byte; characters past the end read as 0.
std::uint8_t HexPairAt(std::string_view text, std::size_t pos);

} // namespace vz

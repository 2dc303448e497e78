// Hex text as the device's loaders read and write it: upper-case digits only,
// Intel HEX record lines checked strictly (a device cannot guess what a garbled
// line meant, so anything doubtful is rejected).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vz::emu {

// Value of an upper-case hex digit, or -1 for any other character.
int HexDigitValue(char c);
char HexDigit(unsigned value);
std::string HexByte(std::uint8_t value);
std::string HexWord(std::uint16_t value);
std::string HexLong(std::uint32_t value);
// Bytes as consecutive digit pairs, in order.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);
// Parses digit pairs; nullopt when the text has an odd length or a non-digit.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text);
// Parses a number given on the command line ("1A2B", "0x1A2B"); nullopt if it is not hex.
std::optional<std::uint32_t> ParseHexNumber(std::string_view text);

struct Record {
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    std::vector<std::uint8_t> data;
};

enum class RecordCheck {
    Good,
    Malformed,   // no colon, a non-digit, or a length that disagrees with the count
    BadChecksum, // well formed, but the record checksum does not add up
};

struct ParsedRecord {
    RecordCheck check = RecordCheck::Malformed;
    Record record; // meaningful only when check is Good
};

// Reads one record line (no line end). The whole line must be the record.
ParsedRecord ParseRecordLine(std::string_view line);
// ":" + count + address + type + data + record checksum.
std::string BuildRecordLine(const Record& record);
// Two's complement of the 8-bit sum of count, address, type and data.
std::uint8_t RecordChecksum(const Record& record);
// A line as it came over the serial line, LF removed: it must end in CR, and
// the rest must be one good record. `text` is the line without its CR.
struct ReceivedLine {
    std::string text;
    bool crlf = false;
    ParsedRecord parsed;
};
ReceivedLine ReadReceivedLine(const std::string& raw);
// The type field (characters 8-9) when it can be read even though the line is garbled.
std::optional<std::uint8_t> PeekRecordType(std::string_view line);

} // namespace vz::emu

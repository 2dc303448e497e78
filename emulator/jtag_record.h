// The JTAG player's reading of command records and data blocks, and the text
// of its TDO answers.
#pragma once

#include "emulator/hex_text.h"
#include "emulator/jtag_chain.h"

#include <optional>
#include <string>
#include <string_view>

namespace vz::emu {

inline constexpr char kEsc = 27;
inline constexpr int kMaxScanLength = 512;

// Record types of the player.
inline constexpr std::uint8_t kRecEnd = 0x01;
inline constexpr std::uint8_t kRecRunTest = 0x04;
inline constexpr std::uint8_t kRecState = 0x05;
inline constexpr std::uint8_t kRecEndIr = 0x06;
inline constexpr std::uint8_t kRecEndDr = 0x07;
// Scan record bits: low nibble 2 (instruction) or 3 (data), and flags.
inline constexpr std::uint8_t kScanTdo = 0x10;
inline constexpr std::uint8_t kScanStart = 0x20;
inline constexpr std::uint8_t kScanEnd = 0x40;
inline constexpr std::uint8_t kScanFill = 0x80;

struct DecodedRecord {
    enum class Kind {
        Command,   // ready to run
        NeedBlock, // a data scan whose TDI follows as a data block of blockLength characters
        End,       // end of the Effect file
        Invalid,   // not a command the player knows: answered "X"
    };
    Kind kind = Kind::Invalid;
    JtagCommand command;
    int blockLength = 0;
    std::string problem;
};

DecodedRecord DecodeJtagRecord(const Record& record);
// A data block is hex pairs followed by the plain 8-bit sum of those bytes.
// Returns the data bytes, or nullopt when the block is not hex or the sum is wrong.
std::optional<Bytes> CheckDataBlock(std::string_view block);
// TDO bits as hex (first byte first), the plain 8-bit sum, then ESC ".". With
// escapes, a byte 0x1B goes as ESC ESC and a byte 0x00 as ESC "0".
std::string EncodeTdoAnswer(const Bytes& tdo, bool escapes);

} // namespace vz::emu

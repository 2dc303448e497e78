// Intel HEX text into the record reader and the image sum: no read past a line,
// records rebuilt from what was read come back the same, and range sums add up.
#include "formats/hex.h"
#include "formats/text_lines.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using vz::fuzz::Check;

std::string DataText(const std::vector<std::uint8_t>& data) {
    std::string text;
    for (std::uint8_t byte : data)
        text += vz::ByteToHex(byte);
    return text;
}

void CheckRecord(const std::string& line) {
    vz::HexRecord record;
    if (!vz::ParseHexRecord(line, record)) return;
    Check(record.data.size() == record.count, "data size differs from the byte count", line);
    Check(line.size() >= 9 + 2 * std::size_t{record.count}, "record read past the end of its line", line);

    const std::string rebuilt = vz::BuildHexRecord(record.type, record.address, DataText(record.data));
    Check(vz::fuzz::IsWellFormedRecord(rebuilt), "built record is not well formed", rebuilt);
    vz::HexRecord again;
    Check(vz::ParseHexRecord(rebuilt, again), "built record does not parse", rebuilt);
    Check(again.count == record.count && again.type == record.type && again.address == record.address &&
              again.data == record.data,
          "built record reads back differently", rebuilt);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = vz::SplitLines(text);
    for (const std::string& line : lines)
        CheckRecord(line);

    using vz::HexImageSum;
    // The halves the keyboard banks use make up the whole space.
    const auto low = HexImageSum(lines, 0x0000, 0x7FFF);
    const auto high = HexImageSum(lines, 0x8000, 0xFFFF);
    Check(static_cast<std::uint16_t>(low + high) == HexImageSum(lines, 0x0000, 0xFFFF),
          "the two halves do not add up to the whole");
    // A range taken from the input, split anywhere inside it, adds up the same way.
    const auto first = static_cast<std::uint16_t>(size * 40503u);
    const auto last = static_cast<std::uint16_t>(first + (size * 7919u) % (0x10000u - first));
    const auto middle = static_cast<std::uint16_t>(first + (last - first) / 2);
    if (middle < last) {
        const auto parts =
            static_cast<std::uint16_t>(HexImageSum(lines, first, middle) +
                                       HexImageSum(lines, static_cast<std::uint16_t>(middle + 1), last));
        Check(parts == HexImageSum(lines, first, last), "a range split in two does not add up");
    }
    if (first > 0)
        Check(HexImageSum(lines, first, static_cast<std::uint16_t>(first - 1)) == 0, "empty range");

    // Nothing after the first end-of-file record counts.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        vz::HexRecord record;
        if (lines[i].starts_with(':') && vz::ParseHexRecord(lines[i], record) && record.type == 0x01) {
            const std::vector<std::string> head(lines.begin(),
                                                lines.begin() + static_cast<std::ptrdiff_t>(i + 1));
            Check(HexImageSum(head, 0x4000, 0x5FFF) == HexImageSum(lines, 0x4000, 0x5FFF),
                  "lines after the end-of-file record changed the sum", lines[i]);
            break;
        }
    }
    return 0;
}

#include "formats/hex_coverage.h"

#include "formats/hex.h"

namespace vz {

namespace {

std::string Hex4(std::uint32_t value) {
    return value > 0xFFFF ? LongToHex(value).substr(3) : WordToHex(static_cast<std::uint16_t>(value));
}

template <class Lines>
std::vector<HexCoverageFinding> Uncovered(const Lines& lines, std::uint16_t first, std::uint16_t last) {
    std::vector<HexCoverageFinding> findings;
    const std::string range = WordToHex(first) + "-" + WordToHex(last);
    int number = 0;
    for (const std::string_view line : lines) {
        ++number;
        HexRecord record;
        if (line.empty() || line[0] != ':' || !ParseHexRecord(line, record)) continue;
        if (record.type == 0x01) break;
        if ((record.type == 0x02 || record.type == 0x04) && record.count == 2) {
            const unsigned base = record.data[0] * 256u + record.data[1];
            if (base != 0)
                findings.push_back(
                    {number, std::string(record.type == 0x02 ? "extended segment" : "extended linear") +
                                 " address " + WordToHex(static_cast<std::uint16_t>(base)) +
                                 " is not applied: the data after it are summed at 16-bit addresses"});
            continue;
        }
        if (record.type != 0x00 || record.count == 0) continue;
        const std::uint32_t from = record.address;
        const std::uint32_t to = from + record.count - 1;
        const std::string span = Hex4(from) + "-" + Hex4(to);
        if (to > 0xFFFF) {
            findings.push_back({number, "data at " + span + " run past FFFF"});
        } else if (from < first || to > last) {
            findings.push_back(
                {number, "data at " + span + " lie outside " + range + ", the range the checksum covers"});
        }
    }
    return findings;
}

} // namespace

std::vector<HexCoverageFinding> FindUncoveredHexData(const std::vector<std::string>& lines,
                                                     std::uint16_t first, std::uint16_t last) {
    return Uncovered(lines, first, last);
}

std::vector<HexCoverageFinding> FindUncoveredHexDataInLines(const TextLines& lines, std::uint16_t first,
                                                            std::uint16_t last) {
    return Uncovered(lines, first, last);
}

} // namespace vz

// What the 16-bit image sum cannot see in an Intel HEX file: data placed by
// extended address records, data running past 0xFFFF, and data outside the
// range the checksum covers. The sum itself stays as it is; these are warnings.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/text_lines.h"

namespace vz {

struct HexCoverageFinding {
    int line = 0; // 1-based
    std::string text;
};

// Looks at the records up to the end-of-file record, as the image sum does;
// lines that are not well-formed records are left to the record checks.
std::vector<HexCoverageFinding> FindUncoveredHexData(const std::vector<std::string>& lines,
                                                     std::uint16_t first, std::uint16_t last);
std::vector<HexCoverageFinding> FindUncoveredHexDataInLines(const TextLines& lines, std::uint16_t first,
                                                            std::uint16_t last);
// The same for a file as loaded; a template only so that a braced list of
// lines still means the vector.
template <std::same_as<TextLines> Lines>
std::vector<HexCoverageFinding> FindUncoveredHexData(const Lines& lines, std::uint16_t first,
                                                     std::uint16_t last) {
    return FindUncoveredHexDataInLines(lines, first, last);
}

} // namespace vz

// Random and mutated input for the HEX functions and the statement translator:
// run in the sanitizer build, any read outside a text or the image fails it.
#include "formats/effect.h"
#include "formats/hex.h"

#include <gtest/gtest.h>

#include <random>

namespace vz {
namespace {

const std::vector<std::string> kSeeds{
    ":0440000001020304B2",
    ":00000001FF",
    ":020000040001F9",
    ":02FFFF001122CD",
    "ENDIR IDLE;",
    "ENDDR DRPAUSE;",
    "STATE RESET IDLE;",
    "RUNTEST 110000 TCK;",
    "SIR 8 TDI (fe);",
    "SDR 32 TDI (00000000) TDO (f5046093) MASK (0fffffff);",
    "SDR 16 TDI (1234) TDO (abcd) SMASK (ffff);",
    "SDRS 512 TDI (0102);",
    "// comment",
    "TRST OFF;",
};

std::string Mutate(std::string text, std::mt19937& random) {
    const char alphabet[] = ":0123456789ABCDEFabcdef ();/SIRDTOMASKENCLPX\t\r\x1b\xff";
    const int edits = static_cast<int>(random() % 6);
    for (int i = 0; i < edits; ++i) {
        const std::size_t pos = text.empty() ? 0 : random() % (text.size() + 1);
        const char c = alphabet[random() % (sizeof(alphabet) - 1)];
        switch (random() % 3) {
        case 0:
            text.insert(text.begin() + static_cast<std::ptrdiff_t>(pos), c);
            break;
        case 1:
            if (pos < text.size()) text.erase(pos, 1 + random() % 4);
            break;
        default:
            if (pos < text.size()) text[pos] = c;
            break;
        }
    }
    return text;
}

// A record line is well formed when its count matches its length and its checksum is right.
bool IsWellFormedRecord(const std::string& line) {
    if (line.size() < 11 || line[0] != ':' || line.size() % 2 == 0) return false;
    HexRecord record;
    if (!ParseHexRecord(line, record) || line.size() != 11 + 2 * std::size_t{record.count}) return false;
    unsigned sum = 0;
    for (std::size_t pos = 1; pos < line.size(); pos += 2)
        sum += HexPairAt(line, pos);
    return (sum & 0xFF) == 0;
}

TEST(FormatsRobustness, MutatedLinesNeverBreakTheReaders) {
    std::mt19937 random(20261208);
    std::vector<std::string> lines;
    for (int round = 0; round < 20000; ++round) {
        const std::string line = Mutate(kSeeds[random() % kSeeds.size()], random);
        TranslationState state;
        const std::string result = TranslateStatement(line, state);
        if (!result.empty() && result != "Error") {
            ASSERT_TRUE(IsWellFormedRecord(result)) << line << " -> " << result;
            ASSERT_LE(state.ScanLength, 512);
        }
        HexRecord record;
        if (ParseHexRecord(line, record)) {
            ASSERT_EQ(record.data.size(), record.count);
        }
        lines.push_back(line);
        if (lines.size() == 64) {
            HexImageSum(lines, static_cast<std::uint16_t>(random()), static_cast<std::uint16_t>(random()));
            lines.clear();
        }
        std::string copy = line;
        AndHexDigits(line, copy);
        AppendDataChecksum(copy);
        EXPECT_EQ(ReverseHexBytes(line).size(), line.size());
    }
}

TEST(FormatsRobustness, RandomBytesNeverBreakTheReaders) {
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string line(random() % 80, '\0');
        for (char& c : line)
            c = static_cast<char>(random());
        TranslationState state;
        const std::string result = TranslateStatement(line, state);
        if (!result.empty() && result != "Error") {
            ASSERT_TRUE(IsWellFormedRecord(result)) << result;
        }
        HexRecord record;
        ParseHexRecord(line, record);
        HexImageSum({line}, 0, 0xFFFF);
    }
}

} // namespace
} // namespace vz

#include "formats/hex_coverage.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

TEST(HexCoverage, NamesDataTheImageSumCannotSee) {
    const std::vector<std::string> lines{
        ":020000040001F9",                             // 1: linear base 0001
        ":10000000000102030405060708090A0B0C0D0E0F78", // 2: below 4000
        ":020000040000FA",                             // 3: base back to 0: fine
        ":0440000001020304B2",                         // 4: inside
        ":045FFE0001020304",                           // 5: crosses 5FFF
        ":020000021000EC",                             // 6: segment base 1000
        ":10FFF800000102030405060708090A0B0C0D0E0F81", // 7: past FFFF
        ":0400000512345678E3",                         // 8: start address: fine
        ":00000001FF",
        ":0100000011EE", // after the end: not read
    };
    const auto found = FindUncoveredHexData(lines, 0x4000, 0x5FFF);
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].line, 1);
    EXPECT_EQ(found[0].text,
              "extended linear address 0001 is not applied: the data after it are summed at 16-bit "
              "addresses");
    EXPECT_EQ(found[1].line, 2);
    EXPECT_EQ(found[1].text, "data at 0000-000F lie outside 4000-5FFF, the range the checksum covers");
    EXPECT_EQ(found[2].line, 5);
    EXPECT_EQ(found[2].text, "data at 5FFE-6001 lie outside 4000-5FFF, the range the checksum covers");
    EXPECT_EQ(found[3].line, 6);
    EXPECT_EQ(found[3].text.substr(0, 33), "extended segment address 1000 is ");
    EXPECT_EQ(found[4].line, 7);
    EXPECT_EQ(found[4].text, "data at FFF8-10007 run past FFFF");
}

} // namespace
} // namespace vz

#include "formats/hex.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

TEST(HexConversions, WriteUpperCaseDigitsMostSignificantFirst) {
    EXPECT_EQ(ByteToHex(0xAB), "AB");
    EXPECT_EQ(ByteToHex(0x05), "05");
    EXPECT_EQ(WordToHex(0x8012), "8012");
    EXPECT_EQ(WordToHex(0xBEEF), "BEEF");
    EXPECT_EQ(LongToHex(0x0001ADB0), "0001ADB0");
    EXPECT_EQ(NibbleToHexChar(10), 'A');
    EXPECT_EQ(NibbleToHexChar(0x1F), 'F');
}

TEST(HexConversions, NonDigitsReadAsZero) {
    EXPECT_EQ(HexCharToNibble('F'), 15);
    EXPECT_EQ(HexCharToNibble('f'), 0);
    EXPECT_EQ(HexCharToNibble('G'), 0);
    EXPECT_EQ(HexCharToNibble(' '), 0);
    EXPECT_EQ(HexToWord("12AB"), 0x12AB);
    EXPECT_EQ(HexToWord("12ab"), 0x1200);
    EXPECT_EQ(HexToWord("1 2Z"), 0x1020);
    EXPECT_EQ(HexToWord("ABCDEF"), 0xABCD);
}

TEST(HexConversions, ShortTextReadsMissingDigitsAsZero) {
    EXPECT_EQ(HexToWord("AB"), 0xAB00);
    EXPECT_EQ(HexToWord(""), 0);
}

TEST(BuildHexRecord, WorkedChecksumRecord) {
    EXPECT_EQ(BuildHexRecord(0x0C, 0x0000, "1234"), ":0200000C1234AC");
}

TEST(BuildHexRecord, EmptyDataGivesElevenCharacters) {
    const std::string record = BuildHexRecord(0x01, 0x0000, "");
    EXPECT_EQ(record, ":00000001FF");
    EXPECT_EQ(record.size(), 11u);
}

TEST(BuildHexRecord, AddressAndTypeEnterTheChecksum) {
    EXPECT_EQ(BuildHexRecord(0x62, 0x0008, "FE"), ":01000862FE97");
    EXPECT_EQ(BuildHexRecord(0x0C, 0x0000, "1A2B"), ":0200000C1A2BAD");
}

TEST(BuildHexRecord, OddDataCountsAndSumsOnlyWholePairs) {
    // "1A2" announces one byte and sums 0x1A; the stray digit is copied as it stands.
    EXPECT_EQ(BuildHexRecord(0x0C, 0x0000, "1A2"), ":0100000C1A2D9");
}

TEST(ParseHexRecord, ReadsFieldsAndData) {
    HexRecord record;
    ASSERT_TRUE(ParseHexRecord(":0440000001020304B2", record));
    EXPECT_EQ(record.count, 4);
    EXPECT_EQ(record.address, 0x4000);
    EXPECT_EQ(record.type, 0x00);
    EXPECT_EQ(record.data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST(ParseHexRecord, RefusesLinesShorterThanTheirByteCount) {
    HexRecord record;
    EXPECT_FALSE(ParseHexRecord(":04400000010203", record));
    EXPECT_FALSE(ParseHexRecord(":0440", record));
    EXPECT_FALSE(ParseHexRecord("", record));
    // Exactly long enough for the data, without a record checksum: read, never past the end.
    EXPECT_TRUE(ParseHexRecord(":0240000001FF", record));
    EXPECT_EQ(record.data, (std::vector<std::uint8_t>{0x01, 0xFF}));
}

TEST(HexImageSum, EmptyRangesSumToErasedBytes) {
    EXPECT_EQ(HexImageSum({}, 0x4000, 0x5FFF), 0xE000);
    EXPECT_EQ(HexImageSum({}, 0x0000, 0x7FFF), 0x8000);
    EXPECT_EQ(HexImageSum({":00000001FF"}, 0x0000, 0x0000), 0x00FF);
}

TEST(HexImageSum, FourBytesInTheBootArea) {
    EXPECT_EQ(HexImageSum({":0440000001020304B2", ":00000001FF"}, 0x4000, 0x5FFF), 0xDC0E);
}

TEST(HexImageSum, StopsAtEndOfFileRecord) {
    const std::vector<std::string> lines{":0100000011EE", ":00000001FF", ":0100000022DD"};
    EXPECT_EQ(HexImageSum(lines, 0x0000, 0x0000), 0x11);
}

TEST(HexImageSum, OtherRecordTypesMoveNothing) {
    const std::vector<std::string> lines{":020000040001F9", ":01001000AA45"};
    EXPECT_EQ(HexImageSum(lines, 0x0010, 0x0010), 0xAA);
}

TEST(HexImageSum, LowerCaseDigitsReadAsZero) {
    const std::vector<std::string> lines{":02402000ab12F8"};
    EXPECT_EQ(HexImageSum(lines, 0x4020, 0x4020), 0x00);
    EXPECT_EQ(HexImageSum(lines, 0x4021, 0x4021), 0x12);
}

TEST(HexImageSum, LaterRecordWinsAndNonRecordsAreSkipped) {
    const std::vector<std::string> lines{"", "garbage", ":0100000011EE", ":0100000022DD"};
    EXPECT_EQ(HexImageSum(lines, 0x0000, 0x0000), 0x22);
}

TEST(HexImageSum, FirstAboveLastGivesZero) {
    EXPECT_EQ(HexImageSum({}, 0x0001, 0x0000), 0);
}

TEST(HexImageSum, BytesPastTheTopAreDroppedNotWrapped) {
    // Two bytes at 0xFFFF: the second would land on 0x0000 if it wrapped.
    const std::vector<std::string> lines{":02FFFF001122CD"};
    EXPECT_EQ(HexImageSum(lines, 0xFFFF, 0xFFFF), 0x11);
    EXPECT_EQ(HexImageSum(lines, 0x0000, 0x0000), 0xFF);
}

TEST(HexImageSum, TruncatedRecordIsSkipped) {
    const std::vector<std::string> lines{":04000000AABB"};
    EXPECT_EQ(HexImageSum(lines, 0x0000, 0x0003), 4 * 0xFF);
}

TEST(HexImageSum, FullRangeReachesTheTopAddress) {
    EXPECT_EQ(HexImageSum({":01FFFF000100"}, 0x0000, 0xFFFF), 0xFF02);
}

} // namespace
} // namespace vz

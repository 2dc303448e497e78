#include "formats/text_lines.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vz {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitLines, AcceptsEveryLineEndAndKeepsNoCarriageReturn) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
}

TEST(SplitLines, FinalLineEndAddsNoEmptyLine) {
    EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(SplitLines("a\r"), (Lines{"a"}));
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("\n"), (Lines{""}));
}

TEST(TextLines, EachLineReadsTheSameInOrderAndByIndex) {
    // More lines than one index step, every kind of line end, empty lines among them.
    std::string text;
    Lines expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back(i % 3 == 0 ? "" : "line " + std::to_string(i));
        text += expected.back() + (i % 4 == 0 ? "\r\n" : i % 4 == 1 ? "\n" : "\r");
    }
    text += "last";
    expected.push_back("last");
    const TextLines lines(text);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(Lines(lines.begin(), lines.end()), expected);
    for (std::size_t i = expected.size(); i-- > 0;)
        EXPECT_EQ(lines[i], expected[i]) << i;
}

TEST(Trim, RemovesBlanksAndControlCharacters) {
    EXPECT_EQ(TrimBoth(" \t x y \x01"), "x y");
    EXPECT_EQ(TrimBoth("   "), "");
    EXPECT_EQ(TrimLeft("\t x "), "x ");
}

TEST(LoadTextLines, DistinguishesMissingFromUnreadable) {
    const auto dir = vz::testing::UniqueTempPath("vz_text_lines_test");
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "f.txt", std::ios::binary) << "one\r\ntwo\r\n";
    Lines lines;
    std::string reason;
    EXPECT_EQ(LoadTextLines((dir / "f.txt").string(), lines, &reason), LoadResult::Ok);
    EXPECT_EQ(lines, (Lines{"one", "two"}));
    EXPECT_EQ(LoadTextLines((dir / "none.txt").string(), lines, &reason), LoadResult::Missing);
    EXPECT_EQ(LoadTextLines(dir.string(), lines, &reason), LoadResult::Missing);
    EXPECT_EQ(reason, "Is a directory");

    // Past the size bound the file is not read at all (a sparse file: nothing to write).
    std::ofstream(dir / "big.txt", std::ios::binary).close();
    std::filesystem::resize_file(dir / "big.txt", kMaxTextFileBytes + 1);
    EXPECT_EQ(LoadTextLines((dir / "big.txt").string(), lines, &reason), LoadResult::Unreadable);
    EXPECT_EQ(reason, "File too large");
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace vz

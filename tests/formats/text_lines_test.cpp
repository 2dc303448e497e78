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
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace vz

#include "app/cli/inspect_commands.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vz::cli {
namespace {

class InspectCommands : public ::testing::Test {
protected:
    std::filesystem::path dir_ = vz::testing::UniqueTempPath("vz_inspect_commands_test");
    std::ostringstream out_;
    std::ostringstream err_;
    void SetUp() override { std::filesystem::create_directories(dir_); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& content) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
};

TEST_F(InspectCommands, HexSumPrintsFourDigits) {
    const std::string file = Write("boot.hex", ":0440000001020304B2\r\n:00000001FF\r\n");
    EXPECT_EQ(RunHexSum(file, "0x4000", "5FFF", out_, err_), 0);
    EXPECT_EQ(out_.str(), "DC0E\n");
}

TEST_F(InspectCommands, HexSumNamesDataTheSumCannotSeeOnStderr) {
    const std::string file =
        Write("big.hex", ":020000040030CA\r\n:0440000001020304B2\r\n:043FFC0001020304B3\r\n:00000001FF\r\n");
    EXPECT_EQ(RunHexSum(file, "4000", "5FFF", out_, err_), 0);
    EXPECT_EQ(out_.str(), "DC0E\n");
    EXPECT_EQ(err_.str(),
              file +
                  ":1: extended linear address 0030 is not applied: the data after it are summed at "
                  "16-bit addresses\n" +
                  file + ":3: data at 3FFC-3FFF lie outside 4000-5FFF, the range the checksum covers\n");
}

TEST_F(InspectCommands, HexSumMissingFileAndBadAddresses) {
    const std::string missing = (dir_ / "none.hex").string();
    EXPECT_EQ(RunHexSum(missing, "0", "FFFF", out_, err_), 1);
    EXPECT_EQ(err_.str(), missing + " File not found !!!\n");
    EXPECT_EQ(RunHexSum(missing, "10000", "0", out_, err_), 2);
    EXPECT_EQ(RunHexSum(missing, "xyz", "0", out_, err_), 2);
    EXPECT_TRUE(out_.str().empty());
}

TEST_F(InspectCommands, EffectListsEveryLineWithItsBlock) {
    const std::string file =
        Write("a.svf", "// c\nSTATE RESET;\nSIR 8 TDI (fe);\nSDR 16 TDI (1234) TDO (abcd);\n");
    EXPECT_EQ(RunEffect(file, out_, err_), 0);
    EXPECT_EQ(out_.str(), "1\t\n2\t:0100000500FA\n3\t:01000862FE97\n4\t:010010730676\t341246\n");
}

TEST_F(InspectCommands, EffectFailsOnABadLine) {
    const std::string file = Write("b.svf", "STATE RESET;\nBOGUS;\n");
    EXPECT_EQ(RunEffect(file, out_, err_), 1);
    EXPECT_EQ(out_.str(), "1\t:0100000500FA\n2\tError\n");
    EXPECT_EQ(RunEffect((dir_ / "none.svf").string(), out_, err_), 1);
}

} // namespace
} // namespace vz::cli

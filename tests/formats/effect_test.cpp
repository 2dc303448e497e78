#include "formats/effect.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vz {
namespace {

std::string Translate(std::string_view line) {
    TranslationState state;
    return TranslateStatement(line, state);
}

TEST(TranslateStatement, WorkedExamples) {
    EXPECT_EQ(Translate("ENDIR IDLE;"), ":0100000601F8");
    EXPECT_EQ(Translate("ENDIR IRPAUSE;"), ":010000060DEC");
    EXPECT_EQ(Translate("ENDDR DRPAUSE;"), ":0100000706F2");
    EXPECT_EQ(Translate("STATE RESET IDLE;"), ":020000050001F8");
    EXPECT_EQ(Translate("RUNTEST 110000 TCK;"), ":040000040001ADB09A");
    EXPECT_EQ(Translate("SIR 8 TDI (fe);"), ":01000862FE97");
}

TEST(TranslateStatement, FillScanKeepsTdoAndMaskReversed) {
    TranslationState state;
    EXPECT_EQ(TranslateStatement("SDR 32 TDI (00000000) TDO (f5046093) MASK (0fffffff);", state),
              ":010020F300EC");
    EXPECT_EQ(state.Tdo, "936004F5");
    EXPECT_EQ(state.Mask, "FFFFFF0F");
    EXPECT_EQ(state.ScanLength, 32);
    EXPECT_EQ(state.ScanCode & 0xFF, 0xF3);
    EXPECT_FALSE(state.DataBlockPending);
}

TEST(TranslateStatement, VariedDataGoesAsDataBlock) {
    TranslationState state;
    EXPECT_EQ(TranslateStatement("SDR 16 TDI (1234);", state), ":010010630686");
    EXPECT_TRUE(state.DataBlockPending);
    EXPECT_EQ(state.Tdi, "341246");

    EXPECT_EQ(TranslateStatement("SDR 16 TDI (1234) TDO (abcd);", state), ":010010730676");
    EXPECT_EQ(state.Tdo, "CDAB");
    EXPECT_EQ(state.Tdi, "341246");
}

TEST(TranslateStatement, StatementsWithoutCommand) {
    TranslationState state;
    state.DataBlockPending = true;
    EXPECT_EQ(TranslateStatement("   // a comment", state), "");
    EXPECT_FALSE(state.DataBlockPending);
    EXPECT_EQ(Translate("TRST OFF;"), "");
}

TEST(TranslateStatement, EndStates) {
    EXPECT_EQ(Translate("ENDIR DRPAUSE;"), "Error");
    EXPECT_EQ(Translate("ENDIR XXXX;"), ":0100000601F8");
    EXPECT_EQ(Translate("ENDIR RESET;"), ":0100000600F9");
    EXPECT_EQ(Translate("ENDDR IDLE ;"), ":0100000701F7");
    EXPECT_EQ(Translate("ENDDR IDLE"), "Error");
    EXPECT_EQ(Translate("ENDIR"), "Error");
}

TEST(TranslateStatement, StatePaths) {
    EXPECT_EQ(Translate("STATE;"), ":00000005FB");
    EXPECT_EQ(Translate("STATE IREXIT2 IRUPDATE;"), ":020000050E0FDC");
    EXPECT_EQ(Translate("STATE DRPAUSEIDLE;"), ":020000050601F2");
    EXPECT_EQ(Translate("STATE RESET BOGUS;"), "Error");
    // Cut off before its ";": refused rather than skipped.
    EXPECT_EQ(Translate("STATE RESET IDLE"), "Error");
}

TEST(TranslateStatement, RunTestForms) {
    EXPECT_EQ(Translate("RUNTEST 100;"), "Error");
    EXPECT_EQ(Translate("RUNTEST IDLE 100 TCK;"), "Error");
    EXPECT_EQ(Translate("RUNTEST -1 TCK;"), "Error");
    EXPECT_EQ(Translate("RUNTEST 100 SEC;"), "Error");
    EXPECT_EQ(Translate("RUNTEST 100 TCK"), "Error");
    EXPECT_EQ(Translate("RUNTEST 2147483648 TCK;"), "Error");
    EXPECT_EQ(Translate("RUNTEST 2147483647 TCK;"), ":040000047FFFFFFF7C");
    EXPECT_EQ(Translate("RUNTEST 0 TCK;"), ":0400000400000000F8");
}

TEST(TranslateStatement, ScanLengthLimits) {
    EXPECT_EQ(Translate("SIR 513 TDI (00);"), "Error");
    EXPECT_NE(Translate("SIR 512 TDI (" + std::string(128, '0') + ");"), "Error");
    EXPECT_EQ(Translate("SIR -1 TDI (00);"), "Error");
    EXPECT_EQ(Translate("SIR x TDI (00);"), "Error");
    EXPECT_EQ(Translate("SIR 8;"), "Error");
}

TEST(TranslateStatement, DataMustHoldExactlyTheScansBytes) {
    EXPECT_EQ(Translate("SIR 8 TDI (fefe);"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (123456);"), "Error");
    EXPECT_EQ(Translate("SIR 16 TDO (0101);"), "Error");
    EXPECT_EQ(Translate("SDR 9 TDI (01);"), "Error");
    EXPECT_NE(Translate("SDR 9 TDI (0101);"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (12) TDO (0012);"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (12) TDO (12) MASK (F);"), "Error");
    // A SMASK of another length leaves TDI as it is.
    TranslationState state;
    EXPECT_EQ(TranslateStatement("SDR 8 TDI (12) SMASK (0F0F);", state),
              TranslateStatement("SDR 8 TDI (12);", state));
}

TEST(TranslateStatement, UniformAndVariedEightBits) {
    TranslationState state;
    EXPECT_EQ(TranslateStatement("SDR 8 TDI (AA);", state), ":010008E3AA6A");
    EXPECT_FALSE(state.DataBlockPending);
    EXPECT_EQ(TranslateStatement("SDR 8 TDI (A5);", state), ":010008630490");
    EXPECT_EQ(state.Tdi, "A5A5");
    EXPECT_TRUE(state.DataBlockPending);
}

TEST(TranslateStatement, PieceLettersSetTheCode) {
    TranslationState state;
    TranslateStatement("SDRS 8 TDI (11);", state);
    EXPECT_EQ(state.ScanCode & 0x7F, 0x23);
    TranslateStatement("SDRC 8 TDI (11);", state);
    EXPECT_EQ(state.ScanCode & 0x7F, 0x03);
    TranslateStatement("SDRE 8 TDI (11) TDO (22);", state);
    EXPECT_EQ(state.ScanCode & 0x7F, 0x53);
    TranslateStatement("SIRE 8 TDI (11);", state);
    EXPECT_EQ(state.ScanCode, 0x42);
}

TEST(TranslateStatement, SmaskMasksTdiOnlyWhenLengthsMatch) {
    TranslationState state;
    TranslateStatement("SDR 16 TDI (1234) SMASK (0FF0);", state);
    EXPECT_EQ(state.Tdi.substr(0, 4), "3002");
    TranslateStatement("SDR 16 TDI (1234) SMASK (0F);", state);
    EXPECT_EQ(state.Tdi.substr(0, 4), "3412");
}

TEST(TranslateStatement, LowerCaseHexGivesTheSameRecord) {
    TranslationState lower;
    TranslationState upper;
    EXPECT_EQ(TranslateStatement("SDR 16 TDI (abcd) TDO (ef01) MASK (ffff);", lower),
              TranslateStatement("SDR 16 TDI (ABCD) TDO (EF01) MASK (FFFF);", upper));
    EXPECT_EQ(lower.Tdi, upper.Tdi);
    EXPECT_EQ(lower.Tdo, upper.Tdo);
}

TEST(TranslateStatement, MalformedScansAreErrors) {
    EXPECT_EQ(Translate("SIR"), "Error");
    EXPECT_EQ(Translate("SDR"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDO (12);"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (1);"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (123);"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (12) TDO (123);"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (12"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (12)"), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (12) BOGUS (1);"), "Error");
    // 254 digits plus the block checksum do not fit the one-byte count.
    EXPECT_EQ(Translate("SDR 512 TDI (" + std::string(126, '1') + std::string(128, '2') + ");"), "Error");
}

TEST(TranslateStatement, UnknownAndEmptyLinesAreErrors) {
    EXPECT_EQ(Translate(""), "Error");
    EXPECT_EQ(Translate("   "), "Error");
    EXPECT_EQ(Translate("endir IDLE;"), "Error");
    EXPECT_EQ(Translate("FREQUENCY 1E6 HZ;"), "Error");
}

TEST(TranslateStatement, SameLineTranslatesTheSame) {
    TranslationState first;
    TranslationState second;
    const std::string line = "SDR 24 TDI (123456) TDO (000000) MASK (00FF00);";
    EXPECT_EQ(TranslateStatement(line, first), TranslateStatement(line, second));
    EXPECT_EQ(first.Tdi, second.Tdi);
    EXPECT_EQ(first.Mask, second.Mask);
}

TEST(HexTextHelpers, ReverseHexBytes) {
    EXPECT_EQ(ReverseHexBytes("0123ABCD"), "CDAB2301");
    EXPECT_EQ(ReverseHexBytes("0123456789ABCDEF"), "EFCDAB8967452301");
    EXPECT_EQ(ReverseHexBytes("AB"), "AB");
    EXPECT_EQ(ReverseHexBytes(""), "");
    EXPECT_EQ(ReverseHexBytes("ABC").size(), 3u);
}

TEST(HexTextHelpers, AndHexDigits) {
    std::string text = "936004A5";
    AndHexDigits("FFFFFF0F", text);
    EXPECT_EQ(text, "93600405");
    std::string other = "1234";
    AndHexDigits("FF", other);
    EXPECT_EQ(other, "1234");
}

TEST(HexTextHelpers, IsUniformHexAndChecksum) {
    char digit = 0;
    EXPECT_TRUE(IsUniformHex("FFFF", digit));
    EXPECT_EQ(digit, 'F');
    EXPECT_FALSE(IsUniformHex("F", digit));
    EXPECT_FALSE(IsUniformHex("FFFE", digit));
    std::string text = "936004F5";
    AppendDataChecksum(text);
    EXPECT_EQ(text, "936004F5EC");
}

class EffectFileTest : public ::testing::Test {
protected:
    std::filesystem::path dir_ = vz::testing::UniqueTempPath("vz_effect_file_test");
    void SetUp() override { std::filesystem::create_directories(dir_); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& content) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
};

TEST_F(EffectFileTest, CountsLinesAndReadsThemInOrder) {
    TEffectFile file;
    EXPECT_EQ(file.OpenEffectFile(Write("a.svf", "// c\r\nSTATE RESET;\nSIR 8 TDI (fe);")), 3);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.ReadEffectLine(), "// c");
    EXPECT_EQ(file.ReadEffectLine(), "STATE RESET;");
    EXPECT_EQ(file.ReadEffectLine(), "SIR 8 TDI (fe);");
    EXPECT_EQ(file.ReadEffectLine(), "");
    file.CloseEffectFile();
    EXPECT_FALSE(file.IsOpen());
    file.CloseEffectFile();
}

TEST_F(EffectFileTest, TrailingLineEndAddsNoLine) {
    TEffectFile file;
    EXPECT_EQ(file.OpenEffectFile(Write("b.svf", "A\r\nB\r\n")), 2);
    EXPECT_EQ(file.OpenEffectFile(Write("empty.svf", "")), 0);
}

TEST_F(EffectFileTest, MissingAndUnreadableFiles) {
    TEffectFile file;
    EXPECT_EQ(file.OpenEffectFile((dir_ / "none.svf").string()), TEffectFile::kMissing);
    EXPECT_FALSE(file.IsOpen());
    // A directory where the file belongs is as good as no file.
    EXPECT_EQ(file.OpenEffectFile(dir_.string()), TEffectFile::kMissing);
    EXPECT_FALSE(file.Reason().empty());
}

} // namespace
} // namespace vz

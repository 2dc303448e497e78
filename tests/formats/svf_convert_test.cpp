// Each conversion rule on a small SVF text whose Effect lines were worked out by hand.
#include "formats/svf_convert.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vz {
namespace {

struct Converted {
    bool ok = false;
    std::vector<std::string> lines;
    std::vector<std::string> problems;
    SvfConvertSummary summary;
    std::string map;
};

Converted Convert(const std::string& svf, SvfConvertOptions options = {}) {
    if (options.sourceName.empty()) options.sourceName = "t.svf";
    if (options.traceEvery == 100) options.traceEvery = 0;
    std::istringstream in(svf);
    std::ostringstream out, map;
    Converted c;
    c.ok = ConvertSvf(in, out, &map, options, c.summary, c.problems);
    std::istringstream text(out.str());
    for (std::string line; std::getline(text, line);)
        c.lines.push_back(line);
    c.map = map.str();
    return c;
}

using Lines = std::vector<std::string>;

TEST(SvfConvert, StatementsOverLinesWithCommentsTabsAndAnyCase) {
    const auto c = Convert("! vendor header\n"
                           "endir\tidle ;\n"
                           "sdr 16 tdi (12\n"
                           "   34) // a comment inside the statement\n"
                           "  tdo (AB ! another\n"
                           "  cd) mask (ff\n"
                           "\tff)\n"
                           "  ;\r\n"
                           "\n"
                           "State Reset  Idle;");
    ASSERT_TRUE(c.ok) << c.problems.front();
    EXPECT_EQ(c.lines,
              (Lines{"ENDIR IDLE;", "SDR 16 TDI (1234) TDO (ABCD) MASK (FFFF);", "STATE RESET IDLE;"}));
    EXPECT_EQ(c.summary.statements, 3u);
}

TEST(SvfConvert, TdiMaskAndSmaskCarryOverToTheNextScanOfTheSameLength) {
    const auto c = Convert("SIR 8 TDI (fe) SMASK (0f);\n"
                           "SIR 8 TDO (01);\n"
                           "SDR 32 TDI (00000000) TDO (f5046093) MASK (0fffffff);\n"
                           "SDR 32 TDO (f5046093);\n"
                           "SDR 32;\n");
    ASSERT_TRUE(c.ok) << c.problems.front();
    EXPECT_EQ(c.lines,
              (Lines{"SIR 8 TDI (0E);", "SIR 8 TDI (0E) TDO (01) MASK (FF);",
                     "SDR 32 TDI (00000000) TDO (F5046093) MASK (0FFFFFFF);",
                     "SDR 32 TDI (00000000) TDO (F5046093) MASK (0FFFFFFF);", "SDR 32 TDI (00000000);"}));
    EXPECT_EQ(c.summary.parametersCarried, 5u); // TDI and SMASK, TDI and MASK, TDI

    const auto changed = Convert("SDR 32 TDI (00000000);\nSDR 16 TDO (1234);\n");
    EXPECT_FALSE(changed.ok);
    EXPECT_EQ(changed.problems,
              (Lines{"t.svf:2:1: SDR needs TDI: no earlier SDR of 16 bits to carry it over from"}));
}

TEST(SvfConvert, HeadersShiftFirstAndTrailersLastWithoutTdoMaskedOut) {
    // 13 bits: trailer 10, data C3, header 101 -> 1 0110 0001 1101.
    const auto c = Convert("HIR 3 TDI (5);\nTIR 2 TDI (2);\nSIR 8 TDI (c3) TDO (81) MASK (ff);\n"
                           "HIR 0;\nSIR 8 TDI (c3);\n"
                           "HDR 1 TDI (1) TDO (1);\nSDR 4 TDI (0);\n");
    ASSERT_TRUE(c.ok) << c.problems.front();
    EXPECT_EQ(c.lines, (Lines{"SIR 13 TDI (161D) TDO (0408) MASK (07F8);", "SIR 10 TDI (02C3);",
                              "SDR 5 TDI (01) TDO (01) MASK (01);"}));
    EXPECT_EQ(c.summary.emptyPadsDropped, 1u);
    EXPECT_EQ(c.summary.scansFolded, 3u);
}

TEST(SvfConvert, HexStringsGetExactlyTheirDigits) {
    const auto c =
        Convert("SDR 12 TDI (0000abc);\nSDR 12 TDI (c) TDO (abc);\nSDR 4 TDI (f3);\nSDR 12 TDI (fff);\n");
    ASSERT_TRUE(c.ok) << c.problems.front();
    // Pad bits above the length are 0, except that all ones make a fill byte.
    EXPECT_EQ(c.lines, (Lines{"SDR 12 TDI (0ABC);", "SDR 12 TDI (000C) TDO (0ABC) MASK (0FFF);",
                              "SDR 4 TDI (03);", "SDR 12 TDI (FFFF);"}));
    const auto surplus = Convert("SDR 12 TDI (01abc);\nSDR 12 TDI (11abc);");
    EXPECT_EQ(surplus.problems,
              (Lines{"t.svf:2:12: TDI has 5 digits with a non-zero one beyond the 4 of 12 bits"}));
}

TEST(SvfConvert, LongScansAreCutFromTheEndThatShiftsFirst) {
    // 1030 bits with bits 0, 511, 512 and 1029 set; TDO checked on bits 0-511 and 1024-1029.
    const std::string tdi = "2" + std::string(128, '0') + "18" + std::string(126, '0') + "1";
    const std::string mask = "3F" + std::string(128, '0') + std::string(128, 'F');
    const auto c = Convert("SDR 1030 TDI (" + tdi + ") TDO (" + tdi + ") MASK (" + mask + ");");
    ASSERT_TRUE(c.ok) << c.problems.front();
    const std::string first = "8" + std::string(126, '0') + "1";
    EXPECT_EQ(
        c.lines,
        (Lines{"SDRS 512 TDI (" + first + ") TDO (" + first + ") MASK (" + std::string(128, 'F') + ");",
               "SDRC 512 TDI (" + std::string(127, '0') + "1);", "SDRE 6 TDI (20) TDO (20) MASK (3F);"}));
    EXPECT_EQ(c.summary.scansSplit, 1u);
    EXPECT_EQ(c.summary.pieces, 3u);
}

TEST(SvfConvert, FoldedHeaderCrossesIntoTheNextPiece) {
    // A 2-bit header of ones ahead of 511 data bits of zeros: the last data bit
    // lands alone in the second piece.
    const auto c = Convert("HDR 2 TDI (3);\nSDR 511 TDI (0);\n");
    ASSERT_TRUE(c.ok) << c.problems.front();
    EXPECT_EQ(c.lines, (Lines{"SDRS 512 TDI (" + std::string(127, '0') + "3);", "SDRE 1 TDI (00);"}));
}

TEST(SvfConvert, RunTestBecomesClockCountsInIdle) {
    const auto c = Convert("FREQUENCY 1E6 HZ;\n"
                           "RUNTEST 1.10E-01 SEC;\n"
                           "RUNTEST IDLE 100 TCK 1E-3 SEC MAXIMUM 1 SEC;\n"
                           "RUNTEST 5000 TCK ENDSTATE DRPAUSE;\n"
                           "RUNTEST 10 TCK;\n"
                           "RUNTEST 3000000000 TCK ENDSTATE IDLE;\n");
    ASSERT_TRUE(c.ok) << c.problems.front();
    EXPECT_EQ(c.lines, (Lines{"RUNTEST 110000 TCK;", "RUNTEST 1000 TCK;", "RUNTEST 5000 TCK;",
                              "STATE DRPAUSE;", "RUNTEST 10 TCK;", "STATE DRPAUSE;",
                              "RUNTEST 2147483647 TCK;", "RUNTEST 852516353 TCK;"}));
    EXPECT_EQ(c.summary.waits, 5u);
    EXPECT_EQ(c.summary.maximumsDropped, 1u);
    EXPECT_EQ(c.summary.frequencies, 1u);

    SvfConvertOptions faster;
    faster.tckHz = 2e6;
    EXPECT_EQ(Convert("FREQUENCY 1E6 HZ;\nRUNTEST 1.10E-01 SEC;", faster).lines,
              (Lines{"RUNTEST 220000 TCK;"}));
    const auto noRate = Convert("RUNTEST 1E-3 SEC;");
    ASSERT_EQ(noRate.problems.size(), 1u);
    EXPECT_NE(noRate.problems[0].find("give --tck-hz"), std::string::npos) << noRate.problems[0];
}

TEST(SvfConvert, RunStateOtherThanIdleOnlyWithIdleRuntest) {
    const std::string svf = "RUNTEST DRPAUSE 100 TCK;\n";
    const auto refused = Convert(svf);
    EXPECT_EQ(refused.problems,
              (Lines{"t.svf:1:1: RUNTEST in DRPAUSE refused: the device clocks its waits in IDLE "
                     "(--idle-runtest accepts that)"}));
    SvfConvertOptions idle;
    idle.idleRuntest = true;
    const auto accepted = Convert(svf, idle);
    EXPECT_EQ(accepted.lines,
              (Lines{"RUNTEST 100 TCK;", "STATE DRPAUSE;"})); // the run state is the end state
    EXPECT_EQ(accepted.summary.waitsMovedToIdle, 1u);
}

TEST(SvfConvert, WhatTheDeviceCannotDoIsRefusedOrKeptInMeaning) {
    // ENDIR DRPAUSE: the scan ends in IRPAUSE and walks on to DRPAUSE.
    const auto detour =
        Convert("ENDIR DRPAUSE;\nSIR 8 TDI (ff);\nTRST OFF;\nTRST ON;\nTRST Z;\nSTATE IDLE;\n");
    ASSERT_TRUE(detour.ok) << detour.problems.front();
    EXPECT_EQ(detour.lines, (Lines{"ENDIR IRPAUSE;", "SIR 8 TDI (FF);",
                                   "STATE IREXIT2 IRUPDATE DRSELECT DRCAPTURE DREXIT1 DRPAUSE;",
                                   "STATE RESET;", "STATE IDLE;"}));

    const auto refused =
        Convert("PIOMAP (IN A);\nTRST ON;\nSDR 8 TDI (00);\nRUNTEST 10 SCK;\n"
                "STATE IDLE DRSHIFT;\nSTATE DRPAUSE DREXIT1 DRPAUSE;\nENDDR DRSHIFT;\nFOO;\nSDR 8 TDI (0g);\n"
                "SIR 8 TDI (00)");
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.lines.empty()) << "nothing is written once a problem is found";
    EXPECT_EQ(refused.problems,
              (Lines{"t.svf:1:1: PIOMAP refused: the device has no parallel test pins",
                     "t.svf:3:1: scan refused: TRST ON holds the TAP in reset",
                     "t.svf:4:12: RUNTEST refused: the device has no system clock for SCK",
                     "t.svf:5:12: no single TCK leads from IDLE to DRSHIFT",
                     "t.svf:6:15: no single TCK leads from DRPAUSE to DREXIT1",
                     "t.svf:7:7: ENDDR must be IDLE, RESET, DRPAUSE or IRPAUSE, not DRSHIFT",
                     "t.svf:8:1: unknown statement FOO", "t.svf:9:13: 'g' is not a hex digit",
                     "t.svf:10:1: the statement has no \";\" before the end of the file"}));
}

TEST(SvfConvert, ScansOverTheLimitAreRefusedWithoutTakingTheirMemory) {
    const std::string limit = std::to_string(kSvfMaxScanBits);
    const auto longest = Convert("SDR " + limit + " TDI (0);");
    ASSERT_TRUE(longest.ok) << longest.problems.front();
    EXPECT_EQ(longest.summary.pieces, kSvfMaxScanBits / kSvfPieceBits);

    // 24 bytes that once asked for gigabytes.
    const auto c = Convert("SDR 2147483648 TDI (0);\n"
                           "HDR 8 TDI (00);\nSDR " +
                           limit +
                           " TDI (0);\n"
                           "SIR 99999999999999999999 TDI (0);\n");
    EXPECT_EQ(c.problems, (Lines{"t.svf:1:5: SDR of 2147483648 bits is longer than the " + limit +
                                     " this converter takes",
                                 "t.svf:3:1: SDR of " + limit + " bits with its header and trailer makes " +
                                     std::to_string(kSvfMaxScanBits + 8) + ", longer than the " + limit +
                                     " this converter takes",
                                 "t.svf:4:5: SIR needs a length in bits"}));
}

TEST(SvfConvert, ReadingKeepsWithinBoundsWhateverTheText) {
    // A value, a word or a statement too long for any scan is refused where it
    // starts, and reading goes on after its ";".
    const std::string digits(kSvfMaxScanBits / 4 + 1, '0');
    std::string words;
    for (int i = 0; i < 1025; ++i)
        words += " IDLE";
    const auto c = Convert("SDR 8 TDI (" + digits + ");\nSTATE " + std::string(257, 'A') + " ;\nSTATE" +
                           words + ";\nSIR 8 TDI (ff);");
    EXPECT_EQ(c.problems, (Lines{"t.svf:1:11: a value in parentheses of more than " +
                                     std::to_string(kSvfMaxScanBits / 4) + " digits",
                                 "t.svf:2:7: a word of more than 256 characters",
                                 "t.svf:3:1: a statement of more than 1024 words and values"}));
    EXPECT_EQ(c.summary.statements, 4u);
}

TEST(SvfConvert, ReadsAcrossTheEndOfItsReadBuffer) {
    // The reader takes 64 KiB at a time: "//", words and hex digits on its edge.
    const std::string tail = "//c\nSIR 8 TDI (f\ne) ;//d\n";
    for (std::size_t blanks = 65536 - 8; blanks <= 65536 + 2; ++blanks) {
        const auto c = Convert(std::string(blanks, ' ') + tail);
        ASSERT_TRUE(c.ok) << blanks << ": " << c.problems.front();
        EXPECT_EQ(c.lines, (Lines{"SIR 8 TDI (FE);"})) << blanks;
    }
}

TEST(SvfConvert, TraceCommentsAndMapLeadBackToTheSvfLines) {
    SvfConvertOptions options;
    options.traceEvery = 2;
    const auto c =
        Convert("STATE RESET;\n! note\nSIR 8 TDI (fe);\nSDR 1030 TDI (0);\nSTATE IDLE;\n", options);
    ASSERT_TRUE(c.ok) << c.problems.front();
    EXPECT_EQ(c.lines, (Lines{"// t.svf line 1", "STATE RESET;", "SIR 8 TDI (FE);", "// t.svf line 4",
                              "SDRS 512 TDI (" + std::string(128, '0') + ");",
                              "SDRC 512 TDI (" + std::string(128, '0') + ");", "SDRE 6 TDI (00);",
                              "// t.svf line 5", "STATE IDLE;"}));
    EXPECT_EQ(c.map, "1\t1\n2\t1\n3\t3\n4\t4\n5\t4\n6\t4\n7\t4\n8\t5\n9\t5\n");
    EXPECT_EQ(c.summary.traceComments, 3u);
}

TEST(SvfConvert, CountsWhatTheDeviceWillReceive) {
    // :01000862FE97 and :00000001FF, each with CR LF.
    EXPECT_EQ(Convert("SIR 8 TDI (fe);").summary.deviceBytes, 15u + 13u);
    // :010010630686 with CR LF, then the data block 341246.
    EXPECT_EQ(Convert("SDR 16 TDI (1234);").summary.deviceBytes, 15u + 6u + 13u);
}

} // namespace
} // namespace vz

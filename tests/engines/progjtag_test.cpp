#include "engines/progjtag.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

using Log = std::vector<std::string>;

const std::string kEndRecord = ">:00000001FF\r\n";
const std::string kEsc = "\x1B";
// SDR 32 with all-zero TDI and TDO f5046093: expected answer 936004F5, sum EC.
const std::string kTdoRecord = ">:010020F300EC\r\n";

struct JtagFixture : ::testing::Test {
    JtagFixture() {
        engine.SetScriptDir(dir.Dir());
        dir.Write("a.svf", "// comment\nSTATE RESET;\nSIR 8 TDI (fe);\nSDR 16 TDI (1234) TDO (abcd);\n");
        dir.Write("notes.svf", "// one\r\n  // two\r\nTRST OFF;\r\n");
        dir.Write("empty.svf", "");
        dir.Write("bad.svf", "// a\nSTATE RESET;\n// b\n// c\nSIR 8 TDX (fe);\n");
        dir.Write("two.svf", "STATE RESET;\nSIR 8 TDI (fe);\n");
        dir.Write("tdo.svf", "SDR 32 TDI (00000000) TDO (f5046093);\n");
        dir.Write("mask.svf", "SDR 32 TDI (00000000) TDO (f5046093) MASK (0fffffff);\n");
        dir.Write("esc.svf", "SDR 16 TDI (0000) TDO (1b00);\n");
    }
    void Play(const std::string& line, const std::vector<std::string>& transcript) {
        owner.Transcript(transcript);
        owner.Dispatch(line);
        owner.Run();
        owner.VerifyDone();
    }
    FakeClock clock;
    TProgJtag engine{clock.Clock()};
    FakeOwner owner{engine};
    TempDir dir;
};

TEST_F(JtagFixture, PlaysTheWorkedExample) {
    Play("P8 a.svf", {">P8", ".", ">:0100000500FA\r\n", ".", ">:01000862FE97\r\n", ".", ">:010010730676\r\n",
                      kEsc + ".", ">341246", "CDAB78" + kEsc + ".", ">.", ".", kEndRecord, "."});
    EXPECT_EQ(owner.statuses, (Log{"Updating Prom Devices"}));
    EXPECT_EQ(owner.LogOf("max:"), (Log{"4"}));
    EXPECT_EQ(owner.progressSteps, 3);
    EXPECT_EQ(clock.pauses, (std::vector<std::uint32_t>{1000}));
    EXPECT_EQ(owner.LogOf("fast"), (Log{""}));
    EXPECT_FALSE(engine.Busy());
    EXPECT_FALSE(engine.EffectFileOpen());
}

TEST_F(JtagFixture, ReadsTheIdentificationInPieces) {
    Play("D9", {">D9", ".", "0123456789", "ABCDEF."});
    EXPECT_EQ(owner.statuses, (Log{"Extract Prom Devices ID", "ID Number : EFCDAB8967452301"}));
    owner.Transcript({">D8", ".", "0123456789ABCDEF0."});
    owner.Dispatch("D 8 rest");
    owner.Run(20);
    EXPECT_TRUE(engine.Busy()) << "the first dot is not at position 17";
}

TEST_F(JtagFixture, CommentsOnlyFileSendsTheEndRecordAtOnce) {
    Play("P 9 notes.svf", {">P9", ".", kEndRecord, "."});
    EXPECT_EQ(owner.progressSteps, 0);
}

TEST_F(JtagFixture, FCommandWaitsForItsDot) {
    Play("F9", {">F9", "Z", "."}); // "Z" at the start keeps it waiting
    EXPECT_EQ(owner.rx, "Z.");
    engine.Reset();
    owner.rx.clear();
    Play("F8", {">F8", ".I"});
    EXPECT_EQ(owner.rx, "I");
}

TEST_F(JtagFixture, OtherEnginesLinesAreLeftAlone) {
    for (const char* line : {"P7 x.svf", "PB boot.hex", "D", "F 1", "prompt"}) {
        owner.Dispatch(line);
        EXPECT_FALSE(engine.Busy()) << line;
    }
}

TEST_F(JtagFixture, RetransmissionsAreCountedPerUpdate) {
    owner.Transcript({">P8", ".", ">:0100000500FA\r\n"});
    for (int i = 0; i < 150; ++i)
        owner.Transcript({"R", ">:0100000500FA\r\n"});
    owner.Transcript({".", ">:01000862FE97\r\n"});
    for (int i = 0; i < 150; ++i)
        owner.Transcript({"zR", ">:01000862FE97\r\n"}); // found anywhere in the buffer
    Play("P8 two.svf", {"R"});
    EXPECT_EQ(owner.errors, (Log{"Too Many Transmission Error !!!"}));
    EXPECT_FALSE(engine.EffectFileOpen());
}

TEST_F(JtagFixture, TdoAnswersAreCheckedAndMasked) {
    Play("P8 tdo.svf", {">P8", ".", kTdoRecord, "936004F5ED" + kEsc + ".", ">R", kEsc + ".", ">R",
                        "5" + kEsc + ".", ">R", "936004F5EC" + kEsc + ".", ">.", ".", kEndRecord, "."});
    EXPECT_EQ(engine.RetryCount(), 3);
    engine.Reset();
    Play("P8 mask.svf", {">P8", ".", kTdoRecord, "936004A59C" + kEsc + ".", ">.", ".", kEndRecord, "."});
    engine.Reset();
    // ESC ESC and ESC "0" stand for "1B" and "00".
    Play("P8 esc.svf", {">P8", ".", ">:010010F300FC\r\n", kEsc + "0" + kEsc + kEsc + kEsc + kEsc + kEsc + ".",
                        ">.", ".", kEndRecord, "."});
    EXPECT_TRUE(owner.errors.empty());
}

TEST_F(JtagFixture, SlowUpdateSwitchesTheLinkBothWays) {
    engine.SetSlowMode(true);
    Play("P8 notes.svf", {">S8", ".", ">P8", ".", kEndRecord, "."});
    const Log link = {"send:S8", "slow", "send:P8", "send::00000001FF\\r\\n", "fast"};
    Log seen;
    for (const auto& entry : owner.log)
        if (entry.starts_with("send") || entry == "slow" || entry == "fast") seen.push_back(entry);
    EXPECT_EQ(seen, link);
}

TEST_F(JtagFixture, ErrorsAfterTheSlowLinkAskForTheFastOne) {
    const struct {
        std::vector<std::string> transcript;
        int fast;
    } cases[] = {
        {{">S8", "I"}, 0},
        {{">S8", ".", ">P8", "I"}, 1},
        {{">S8", ".", ">P8", ".", ">:0100000500FA\r\n", "X"}, 1},
    };
    for (const auto& c : cases) {
        engine.Reset();
        engine.SetSlowMode(true);
        FakeOwner owner(engine);
        owner.Transcript(c.transcript);
        owner.Dispatch("P8 two.svf");
        owner.Run();
        owner.VerifyDone();
        EXPECT_EQ(owner.errors.size(), 1u);
        EXPECT_EQ(owner.LogOf("fast").size(), static_cast<std::size_t>(c.fast));
    }
}

TEST_F(JtagFixture, FailuresParkTheEngineWithTheirTexts) {
    const struct {
        const char* line;
        std::vector<std::string> transcript;
        std::string error;
    } cases[] = {
        {"P8 none.svf", {">P8"}, dir.Dir() + "none.svf File not found !!!"},
        {"P9 .", {">P9"}, "Cannot read Effect file " + dir.Dir() + ". : Is a directory"},
        {"P8 empty.svf", {">P8", "."}, "Effect File Empty !!!"},
        {"P8 bad.svf", {">P8", ".", ">:0100000500FA\r\n", "."}, "Error in Effect file line : 5"},
        {"P8 two.svf",
         {">P8", ".", ">:0100000500FA\r\n", ".", ">:01000862FE97\r\n", "ab X"},
         "Error while executing Effect file line : 2"},
        {"P8 tdo.svf",
         {">P8", ".", kTdoRecord, "936004A59C" + kEsc + ".", ">."},
         "Error while executing Effect file line : 1"},
        // An odd digit before the checksum is not summed, but it is compared.
        {"P8 tdo.svf",
         {">P8", ".", kTdoRecord, "936004F50EC" + kEsc + ".", ">."},
         "Error while executing Effect file line : 1"},
        {"P8 notes.svf", {">P8", ".", kEndRecord, "X"}, "Instruction unknown"},
        {"P8 notes.svf", {">P8", ".", kEndRecord, "R"}, "Too Many Transmission Error !!!"},
        {"P8 a.svf", {">P8", "I"}, "Instruction unknown"},
        {"D8", {">D8", "I"}, "Instruction unknown"},
        {"F8", {">F8", "I"}, "Instruction unknown"},
    };
    for (const auto& c : cases) {
        engine.Reset();
        FakeOwner owner(engine);
        owner.Transcript(c.transcript);
        owner.Dispatch(c.line);
        owner.Run();
        owner.VerifyDone();
        EXPECT_EQ(owner.errors, (Log{c.error})) << c.line;
        EXPECT_EQ(engine.Step(), 1) << c.line;
        EXPECT_FALSE(engine.EffectFileOpen()) << c.line;
        owner.Dispatch("F8");
        EXPECT_FALSE(engine.Busy()) << c.line;
    }
}

TEST_F(JtagFixture, ResetClosesTheEffectFile) {
    owner.Transcript({">P8", "."});
    owner.Dispatch("P8 a.svf");
    owner.Step();
    EXPECT_TRUE(engine.EffectFileOpen());
    engine.Reset();
    EXPECT_FALSE(engine.EffectFileOpen());
    EXPECT_EQ(engine.Step(), 0);
    EXPECT_TRUE(owner.LogOf("fast").empty());
}

} // namespace
} // namespace vz::test

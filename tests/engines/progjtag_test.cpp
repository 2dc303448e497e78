#include "engines/progjtag.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

using Log = std::vector<std::string>;

const std::string kEnd = ">:00000001FF\r\n", kEsc = "\x1B", kUpdating = "status:Updating Prom Devices";
// SDR 32 with all-zero TDI and TDO f5046093: the answer 936004F5 has the sum EC.
const std::string kTdoRecord = ">:010020F300EC\r\n";
const std::string kState = ">:0100000500FA\r\n", kSir = ">:01000862FE97\r\n";

struct JtagFixture : ::testing::Test {
    JtagFixture() {
        clock.stepMs = 10; // the sequencer's timer, so the second after "P8" passes
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
    FakeClock clock;
    TProgJtag engine{clock.Clock()};
    TempDir dir;
};

TEST_F(JtagFixture, PlaysTheWorkedExample) {
    FakeOwner owner(engine);
    owner.Play("P8 a.svf", {">P8", ".", kState, ".", kSir, ".", ">:010010730676\r\n", kEsc + ".", ">341246",
                            "CDAB78" + kEsc + ".", ">.", ".", kEnd, "."});
    EXPECT_EQ(owner.Events(), (Log{"max:4", kUpdating, "step", "step", "step", "fast"}));
    EXPECT_FALSE(engine.EffectFileOpen());
}

TEST_F(JtagFixture, FirstRecordWaitsASecondAfterTheCommandWithoutHoldingTheThread) {
    clock.stepMs = 0;
    FakeOwner owner(engine);
    owner.strict = false;
    owner.Dispatch("P8 a.svf");
    owner.rx = "."; // the device accepts at once; the answer waits for the second to pass
    for (int i = 0; i < 20; ++i)
        owner.Step();
    EXPECT_FALSE(engine.WaitsForDevice());
    clock.now += 999;
    owner.Step();
    EXPECT_EQ(owner.sent, (std::vector<std::string>{"P8"}));
    clock.now += 1;
    owner.Step();
    owner.Step();
    EXPECT_EQ(owner.sent.size(), 2u);
    EXPECT_TRUE(engine.WaitsForDevice());
}

TEST_F(JtagFixture, ScriptLinesAgainstTheDevice) {
    std::vector<std::string> retries = {">P8", ".", kState};
    for (int i = 0; i < 150; ++i)
        retries = Join(retries, {"R", kState});
    retries = Join(retries, {".", kSir});
    for (int i = 0; i < 150; ++i) // found anywhere in the buffer; counted for the whole update
        retries = Join(retries, {"zR", kSir});
    const std::string unknown = "error:Instruction unknown",
                      tdoLine = "error:Error while executing Effect file line : 1";
    const EngineCase cases[] = {
        {"D9",
         {">D9", ".", "0123456789", "ABCDEF."},
         {"status:Extract Prom Devices ID", "status:ID Number : EFCDAB8967452301"}},
        {"D9",
         {">D9", ".", "0123456789AB\x1B[8m."},
         {"status:Extract Prom Devices ID", "status:ID Number : 8m\\x1B[AB8967452301"}},
        {"D 8 rest",
         {">D8", ".", "0123456789ABCDEF0."},
         {"status:Extract Prom Devices ID"},
         "0123456789ABCDEF0."},
        {"P 9 notes.svf", {">P9", ".", kEnd, "."}, {"max:3", kUpdating, "fast"}},
        // A stray byte before the end of a data block goes with it.
        {"P8 a.svf",
         {">P8", ".", kState, ".", kSir, ".", ">:010010730676\r\n", "z" + kEsc + ".", ">341246",
          "CDAB78" + kEsc + ".", ">.", ".", kEnd, "."},
         {"max:4", kUpdating, "step", "step", "step", "fast"}},
        {"F9", {">F9", "Z", "."}, {}, "Z."},
        {"F8", {">F8", ".I"}, {}, "I"},
        {"P8 tdo.svf",
         {">P8", ".", kTdoRecord, "936004F5ED" + kEsc + ".", ">R", kEsc + ".", ">R", "5" + kEsc + ".", ">R",
          "936004F5EC" + kEsc + ".", ">.", ".", kEnd, "."},
         {"max:1", kUpdating, "step", "fast"}},
        {"P8 mask.svf",
         {">P8", ".", kTdoRecord, "936004A59C" + kEsc + ".", ">.", ".", kEnd, "."},
         {"max:1", kUpdating, "step", "fast"}},
        // ESC ESC and ESC "0" stand for "1B" and "00".
        {"P8 esc.svf",
         {">P8", ".", ">:010010F300FC\r\n", kEsc + "0" + kEsc + kEsc + kEsc + kEsc + kEsc + ".", ">.", ".",
          kEnd, "."},
         {"max:1", kUpdating, "step", "fast"}},
        {"P8 two.svf",
         Join(retries, {"R"}),
         {"max:2", kUpdating, "step", "error:Too Many Transmission Error !!!"}},
        {"P8 none.svf", {">P8"}, {"error:" + dir.Dir() + "none.svf File not found !!!"}},
        {"P9 .", {">P9"}, {"error:" + dir.Dir() + ". File not found !!!"}},
        {"P8 empty.svf", {">P8", "."}, {"max:0", kUpdating, "error:Effect File Empty !!!"}},
        {"P8 bad.svf",
         {">P8", ".", kState, "."},
         {"max:5", kUpdating, "step", "error:Error in Effect file line : 5"}},
        {"P8 two.svf",
         {">P8", ".", kState, ".", kSir, "ab X"},
         {"max:2", kUpdating, "step", "error:Error while executing Effect file line : 2"}},
        {"P8 tdo.svf",
         {">P8", ".", kTdoRecord, "936004A59C" + kEsc + ".", ">."},
         {"max:1", kUpdating, tdoLine}},
        // An odd digit before the checksum is not summed, but it is compared.
        {"P8 tdo.svf",
         {">P8", ".", kTdoRecord, "936004F50EC" + kEsc + ".", ">."},
         {"max:1", kUpdating, tdoLine}},
        {"P8 notes.svf", {">P8", ".", kEnd, "X"}, {"max:3", kUpdating, "fast", unknown}},
        {"P8 notes.svf",
         {">P8", ".", kEnd, "R"},
         {"max:3", kUpdating, "fast", "error:Too Many Transmission Error !!!"}},
        {"P8 a.svf", {">P8", "I"}, {"max:4", unknown}},
        {"D8", {">D8", "I"}, {unknown}},
        {"F8", {">F8", "I"}, {unknown}},
    };
    for (const EngineCase& c : cases) {
        CheckCase(engine, c);
        EXPECT_FALSE(engine.EffectFileOpen()) << c.line;
    }
}

TEST_F(JtagFixture, SlowUpdateSwitchesTheLinkBack) {
    const EngineCase cases[] = {
        {"P8 notes.svf", {">S8", ".", ">P8", ".", kEnd, "."}, {"max:3", "slow", kUpdating, "fast"}},
        {"P8 two.svf", {">S8", "I"}, {"max:2", "error:Instruction unknown"}},
        {"P8 two.svf", {">S8", ".", ">P8", "I"}, {"max:2", "slow", "fast", "error:Instruction unknown"}},
        {"P8 two.svf",
         {">S8", ".", ">P8", ".", kState, "X"},
         {"max:2", "slow", kUpdating, "fast", "error:Error while executing Effect file line : 1"}},
    };
    for (const EngineCase& c : cases) {
        engine.Reset();
        engine.SetSlowMode(true);
        FakeOwner owner(engine);
        owner.Play(c.line, c.transcript);
        EXPECT_EQ(owner.Events(), c.events);
    }
}

TEST_F(JtagFixture, ResetClosesTheEffectFileAndOtherLinesAreLeftAlone) {
    FakeOwner owner(engine);
    for (const char* line : {"P7 x.svf", "PB boot.hex", "D", "F 1", "prompt"})
        owner.Dispatch(line);
    EXPECT_FALSE(engine.Busy());
    owner.Transcript({">P8"});
    owner.Dispatch("P8 a.svf");
    owner.Step();
    EXPECT_TRUE(engine.EffectFileOpen());
    const std::size_t events = owner.log.size();
    engine.Reset();
    EXPECT_FALSE(engine.EffectFileOpen());
    EXPECT_EQ(engine.Step(), TProgJtag::stIdle);
    EXPECT_EQ(owner.log.size(), events) << "Reset raises nothing, not even the fast link";
}

} // namespace
} // namespace vz::test

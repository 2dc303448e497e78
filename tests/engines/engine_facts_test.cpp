// What the engines tell their owner beyond status texts: which memory a line
// programs and when it is done, and which file a line would program.
#include "engines/inst_courante.h"
#include "engines/progboot.h"
#include "engines/progjtag.h"
#include "engines/progpsd.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>

namespace vz::test {
namespace {

using Log = std::vector<std::string>;

std::string Name(const TMemory& memory) {
    const char* kinds[] = {"boot", "bank", "prom"};
    return std::string(kinds[memory.Kind]) + std::to_string(memory.Index);
}

// The owner's log, with the memory events in their place among the others.
void RecordMemories(TGestionnaire& engine, FakeOwner& owner) {
    engine.OnMemoryStarted = [&owner](TGestionnaire&, const TMemory& m) {
        owner.log.push_back("started:" + Name(m));
    };
    engine.OnMemoryDone = [&owner](TGestionnaire&, const TMemory& m) {
        owner.log.push_back("done:" + Name(m));
    };
}

void Check(TGestionnaire& engine, const EngineCase& c) {
    engine.Reset();
    FakeOwner owner(engine);
    RecordMemories(engine, owner);
    owner.Play(c.line, c.transcript);
    EXPECT_EQ(owner.Events(), c.events) << c.line;
}

TEST(MemoryEvents, StartWithTheEraseAndEndOnlyWithASuccessfulLine) {
    TempDir dir;
    dir.Write("boot.hex", ":00000001FF\r\n");
    dir.Write("k.hex", ":048000000102030472\r\n");
    dir.Write("notes.svf", "// nothing to play\r\n");
    FakeClock clock;
    clock.stepMs = 10; // the second after "P8" passes
    TProgBoot boot(clock.Clock());
    TProgPsd psd(clock.Clock());
    TProgJtag jtag(clock.Clock());
    for (TGestionnaire* engine : std::initializer_list<TGestionnaire*>{&boot, &psd, &jtag})
        engine->SetScriptDir(dir.Dir());

    const Log bootDone = {
        "max:3", "started:boot0", "status:Erase Extended Boot", "step", "status:Upload Extended Boot",
        "step",  "step",          "status:Verify Checksum"};
    const std::vector<std::string> bootUpload = {
        ">PB", ".", ".", ">:00000001FF\r\n", ".", ">:00000001FF\r\n", ".", ">:0200000C1A2BAD\r\n"};
    Check(boot, {"P B boot.hex 1A2B", Join(bootUpload, {"."}), Join(bootDone, {"done:boot0"})});
    Check(boot, {"PB boot.hex 1A2B", Join(bootUpload, {"X"}), Join(bootDone, {"error:Checksum Error"})});

    const std::string line = ">:048000000102030472\r\n";
    const std::vector<std::string> bankUpload = {">P3", ".",  ".", line,
                                                 ".",   line, ".", ">:0200000C7C0E68\r\n"};
    const Log bankDone = {"started:bank3", "status:Erase Bank3", "max:1", "status:Upload Bank3", "step",
                          "step",          "status:Verify Bank3"};
    Check(psd, {"P 3 k.hex", Join(bankUpload, {"R", bankUpload.back(), "."}),
                Join(bankDone, {"status:Verify Bank3", "done:bank3"})});
    Check(psd, {"P3 k.hex",
                {">P3", ".", "X"},
                {"started:bank3", "status:Erase Bank3", "error:Error while erasing !!!"}});
    Check(psd, {"D2", {">D2", ".", "4F."}, {"status:Extract ID Keyb", "status:ID Number : 4F"}});

    const std::string end = ">:00000001FF\r\n";
    Check(jtag, {"P 9 notes.svf",
                 {">P9", ".", end, "."},
                 {"max:1", "started:prom2", "status:Updating Prom Devices", "fast", "done:prom2"}});
    Check(jtag,
          {"P8 notes.svf",
           {">P8", ".", end, "X"},
           {"max:1", "started:prom1", "status:Updating Prom Devices", "fast", "error:Instruction unknown"}});
    Check(jtag, {"F8", {">F8", "."}, {}});
}

TEST(MemoryEvents, AMemoryCutShortByResetIsNeverDone) {
    TempDir dir;
    dir.Write("k.hex", ":048000000102030472\r\n");
    TProgPsd psd;
    psd.SetScriptDir(dir.Dir());
    FakeOwner owner(psd);
    RecordMemories(psd, owner);
    owner.Transcript({">P5", "."});
    owner.Dispatch("P5 k.hex");
    owner.Run(3); // loads, sends "P5", takes the "." and waits for the erase
    psd.Reset();  // the operator stops the run
    owner.Play("F5", {">F5", "."});
    EXPECT_EQ(owner.Events(), (Log{"started:bank5", "status:Erase Bank5"}));
}

TEST(DescribeLine, NamesTheFileAndTheRangeTheEngineWouldUse) {
    TProgBoot boot;
    TProgPsd psd;
    TProgJtag jtag;
    TInstCrt inst;
    const std::string dir = "/upd/";
    for (TGestionnaire* engine : std::initializer_list<TGestionnaire*>{&boot, &psd, &jtag, &inst})
        engine->SetScriptDir(dir);
    const TAddressRange bootRange{0x4000, 0x5FFF}, low{0x0000, 0x7FFF}, high{0x8000, 0xFFFF};
    const struct {
        TGestionnaire& engine;
        std::string line;
        std::optional<TProgrammedFile> file;
    } cases[] = {
        {boot, "P B boot.hex 1A2B", TProgrammedFile{{mkBootArea, 0}, dir + "boot.hex", bootRange}},
        {boot, "PBboot.hex", TProgrammedFile{{mkBootArea, 0}, dir + "boot.hex", bootRange}},
        {boot, "SYN", std::nullopt},
        {boot, "P0 boot.hex", std::nullopt},
        {psd, "P 0 my keyb.hex", TProgrammedFile{{mkKeyboardBank, 0}, dir + "my keyb.hex", low}},
        {psd, "P7 k.hex", TProgrammedFile{{mkKeyboardBank, 7}, dir + "k.hex", high}},
        {psd, "P1  k.hex ", TProgrammedFile{{mkKeyboardBank, 1}, dir + "k.hex", high}},
        {psd, "P8 x.svf", std::nullopt},
        {psd, "D3", std::nullopt},
        {jtag, "P 9 x.svf", TProgrammedFile{{mkProm, 2}, dir + "x.svf", std::nullopt}},
        {jtag, "P8 a b.svf", TProgrammedFile{{mkProm, 1}, dir + "a b.svf", std::nullopt}},
        {jtag, "P7 x.svf", std::nullopt},
        {jtag, "D8", std::nullopt},
        {inst, "V8 0101", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.engine.DescribeLine(c.line), c.file) << c.line;
}

TEST(DescribeLine, PathIsTheOneTheEngineOpens) {
    TempDir dir;
    FakeClock clock;
    TProgBoot boot(clock.Clock());
    TProgPsd psd(clock.Clock());
    TProgJtag jtag(clock.Clock());
    const struct {
        TGestionnaire& engine;
        std::string line;
    } cases[] = {{boot, "P B none.hex"}, {psd, "P 4 no ne.hex "}, {jtag, "P9  none.svf"}};
    for (const auto& c : cases) {
        c.engine.SetScriptDir(dir.Dir());
        FakeOwner owner(c.engine);
        owner.strict = false;
        owner.Dispatch(c.line);
        owner.Run();
        const std::optional<TProgrammedFile> file = c.engine.DescribeLine(c.line);
        ASSERT_TRUE(file.has_value()) << c.line;
        EXPECT_EQ(owner.errors, Log{file->Path + " File not found !!!"}) << c.line;
    }
}

} // namespace
} // namespace vz::test

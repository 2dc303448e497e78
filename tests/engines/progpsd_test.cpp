#include "engines/progpsd.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

// Data 01 02 03 04 at 0x0000 (bank 0's half) or at 0x8000 (the other banks' half).
const std::string kLow = ":0400000001020304F2\r\n", kHigh = ":048000000102030472\r\n",
                  kEnd = ":00000001FF\r\n";
// Sum with the four bytes in range: 0x8000 - 4 x 0xFF + 10 = 0x7C0E; without them: 0x8000.
const std::string kSumWith = ">:0200000C7C0E68\r\n", kSumEmpty = ">:0200000C800072\r\n";

TEST(ProgPsd, ScriptLinesAgainstTheDevice) {
    TempDir dir;
    // The upper-half record comes after the end record and is never applied.
    dir.Write("KEYB.HEX", kLow + kEnd + kHigh);
    dir.Write("my keyb.hex", kHigh);
    dir.Write("empty.hex", "");
    auto upload = [](char digit, const std::string& sum) {
        return std::vector<std::string>{std::string(">P") + digit,
                                        ".",
                                        ".",
                                        ">" + kLow,
                                        ".",
                                        ">" + kLow,
                                        ".",
                                        ">" + kEnd,
                                        ".",
                                        ">" + kHigh,
                                        ".",
                                        sum};
    };
    auto events = [](char d) {
        const std::string b(1, d);
        return std::vector<std::string>{
            "status:Erase Bank" + b, "max:3", "status:Upload Bank" + b, "step", "step", "step", "step",
            "status:Verify Bank" + b};
    };
    const std::string high = ">" + kHigh;
    std::vector<std::string> shared = {">P1", ".", ".", high};
    for (int i = 0; i < 200; ++i) // before the first acknowledgement: line 0 again
        shared = Join(shared, {"R", high});
    shared = Join(shared, {".", high, ".", kSumWith});
    for (int i = 0; i < 100; ++i) // the checksum's retries count with the upload's
        shared = Join(shared, {"R", kSumWith});
    const std::string unknown = "error:Instruction unknown";
    const EngineCase cases[] = {
        {"P0 KEYB.HEX", Join(upload('0', kSumWith), {"."}), events('0')},
        {"P 5  KEYB.HEX", Join(upload('5', kSumEmpty), {"."}), events('5')},
        {"P0 KEYB.HEX", Join(upload('0', kSumWith), {"R", kSumWith, ".."}),
         Join(events('0'), {"status:Verify Bank0"})},
        {"P 3 my keyb.hex",
         {">P3", ".", ".", high, ".", high, ".", kSumWith, "."},
         {"status:Erase Bank3", "max:1", "status:Upload Bank3", "step", "step", "status:Verify Bank3"}},
        {"P1 my keyb.hex", Join(shared, {"R"}),
         Join(Join({"status:Erase Bank1", "max:1", "status:Upload Bank1", "step", "step"},
                   std::vector<std::string>(101, "status:Verify Bank1")),
              {"error:Too Many Transmission Error !!!"})},
        {"D2", {">D2", ".4", "F."}, {"status:Extract ID Keyb", "status:ID Number : 4F"}},
        // A device's bytes reach a person printable: no escape sequence hides later lines.
        {"D2", {">D2", ".\x1B[", "."}, {"status:Extract ID Keyb", "status:ID Number : \\x1B["}},
        {"D 2 trailing text", {">D2", ".", "4F5."}, {"status:Extract ID Keyb"}, "4F5."},
        {"F5", {">F5", ".X"}, {}, "X"},
        {"P0 none.hex", {}, {"error:" + dir.Dir() + "none.hex File not found !!!"}},
        {"P0 empty.hex", {">P0", ".", "."}, {"status:Erase Bank0", "max:0", "error:Keyb File Empty !!!"}},
        {"P0 KEYB.HEX", {">P0", "I"}, {unknown}},
        {"D0", {">D0", "I"}, {unknown}},
        {"F0", {">F0", "I"}, {unknown}},
        {"P0 KEYB.HEX", {">P0", ".", "X"}, {"status:Erase Bank0", "error:Error while erasing !!!"}},
        {"P0 KEYB.HEX",
         {">P0", ".", ".", ">" + kLow, "X"},
         {"status:Erase Bank0", "max:3", "status:Upload Bank0", "error:Error while writing!!!"}},
        {"P0 KEYB.HEX", Join(upload('0', kSumWith), {"X"}), Join(events('0'), {"error:Checksum Error"})},
    };
    TProgPsd engine;
    engine.SetScriptDir(dir.Dir());
    for (const EngineCase& c : cases)
        CheckCase(engine, c);
}

TEST(ProgPsd, LinesOfOtherEnginesAreLeftAlone) {
    TProgPsd engine;
    FakeOwner owner(engine);
    for (const char* line : {"P8 x.svf", "P9", "D8", "F 9", "PB boot.hex", "P", "RS", ""})
        owner.Dispatch(line);
    EXPECT_TRUE(owner.log.empty());
}

} // namespace
} // namespace vz::test

#include "engines/inst_courante.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

using Log = std::vector<std::string>;

TEST(InstCrt, ScriptLinesAgainstTheDevice) {
    const std::string unknown = "error:Instruction unknown",
                      written = "error:Error while writing version number !!!";
    const EngineCase cases[] = {
        {"V1 0105", {">V1", ".", ">0105", "."}, {"max:2", "step", "written:1=0105", "step"}},
        {"T2 0105", {">T2", ".", "0105."}, {"max:2", "step", "same:2", "step"}},
        {"T2 0105", {">T2", ".", "01", "05", ".junk"}, {"max:2", "step", "same:2", "step"}},
        {"T9 0105", {">T9", ".", "0104."}, {"max:2", "step", "step"}},
        {"T2 abcd", {">T2", ".", "ABCD."}, {"max:2", "step", "step"}},  // letter case counts
        {"T1 0105", {">T1", ".", "1.05."}, {"max:2", "step"}, "1.05."}, // not a held version: still waiting
        {"T1 0105",
         {">T1", ".", "X1"},
         {"max:2", "step", "error:Error while reading version number !!!"},
         "1"},
        {"RS now", {">RS", "."}, {"status:Reset"}},
        {"NP x", {">NP", "Z", "."}, {}, "Z."}, // an unknown answer stays and keeps the engine waiting
        {"FI y", {">FI", ".."}, {}, "."},
        {"UV   1.2 beta ", {">UV", ".", ">1.2 beta", "."}, {"max:2", "step", "step"}},
        {"OPx", {">OP", ".", ">x", "."}, {"max:2", "step", "step"}},
        {"prompt", {}, {"status:"}},
        {"prompt   Switch the device off  ", {}, {"status:Switch the device off"}},
        {"RS", {">RS", "I"}, {"status:Reset", unknown}},
        {"NP", {">NP", "I"}, {unknown}},
        {"FI", {">FI", "I"}, {unknown}},
        {"V3 0105", {">V3", "I"}, {unknown}},
        {"T8 0105", {">T8", "I"}, {unknown}},
        {"UV 1", {">UV", "I"}, {"max:2", unknown}},
        {"OP 1", {">OP", "I"}, {"max:2", unknown}},
        {"V3 0105", {">V3", ".", ">0105", "X"}, {"max:2", "step", written}},
        {"UV 1", {">UV", ".", ">1", "X"}, {"max:2", "step", written}},
        {"OP 1", {">OP", ".", ">1", "X"}, {"max:2", "step", written}},
        {"wait abc", {}, {"error:Bad wait time in script line : wait abc"}},
        {"wait -5", {}, {"error:Bad wait time in script line : wait -5"}},
        {"wait 12x", {}, {"error:Bad wait time in script line : wait 12x"}},
        {"wait", {}, {"error:Bad wait time in script line : wait"}},
        {"V", {}, {"error:Missing component in script line : V"}},
        {"T", {}, {"error:Missing component in script line : T"}},
        // A letter would be compared as bank 0 and skip the whole keyboard.
        {"TA 0105", {}, {"error:Missing component in script line : TA 0105"}},
    };
    TInstCrt engine;
    for (const EngineCase& c : cases)
        CheckCase(engine, c);
}

TEST(InstCrt, AnnouncementsComeBeforeTheirSends) {
    TInstCrt engine;
    FakeOwner owner(engine);
    owner.Play("RS", {">RS", "."});
    owner.Play("UV 1", {">UV", ".", ">1", "."});
    EXPECT_EQ(owner.log, (Log{"busy", "status:Reset", "send:RS", "idle", "busy", "max:2", "send:UV", "step",
                              "send:1", "step", "idle"}));
}

TEST(InstCrt, WaitEndsOnlyOnceMoreThanItsTimeHasPassed) {
    FakeClock clock;
    TInstCrt engine(clock.Clock());
    FakeOwner owner(engine);
    for (std::uint32_t ms : {0u, 500u}) {
        owner.Dispatch("wait " + std::to_string(ms));
        owner.Step(); // the start step reads the clock
        clock.now += ms;
        owner.Step();
        EXPECT_EQ(engine.Step(), TInstCrt::stWaiting) << ms;
        EXPECT_FALSE(engine.WaitsForDevice()) << "a wait counts the clock";
        clock.now += 1;
        owner.Run(2);
        EXPECT_FALSE(engine.Busy()) << ms;
    }
    clock.now = 0xFFFFFFF0u; // the tick count wraps during the wait
    owner.Dispatch("wait 20");
    owner.Step();
    clock.now += 21;
    owner.Run(2);
    EXPECT_FALSE(engine.Busy());
    owner.strict = false;
    owner.Dispatch("RS");
    EXPECT_TRUE(engine.WaitsForDevice()) << "every other instruction waits for the device";
}

} // namespace
} // namespace vz::test

#include "engines/inst_courante.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

using Log = std::vector<std::string>;

struct InstFixture : ::testing::Test {
    FakeClock clock;
    TInstCrt engine{clock.Clock()};
    FakeOwner owner{engine};
};

TEST_F(InstFixture, VersionWriteWorkedExample) {
    owner.Expect("V1").Answer(".").Expect("0105").Answer(".");
    owner.Dispatch("V1 0105");
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.log, (Log{"busy", "send:V1", "max:2", "step", "send:0105", "step", "idle"}));
}

TEST_F(InstFixture, VersionCompareRaisesOnlyForTheSameText) {
    const struct {
        const char* line;
        std::vector<std::string> chunks;
        Log same;
    } cases[] = {
        {"T2 0105", {"0105."}, {"2"}},
        {"T2 0105", {"01", "05", "."}, {"2"}}, // the held version in pieces
        {"T2 0105", {"0104."}, {}},
        {"T2 abcd", {"ABCD."}, {}}, // letter case counts
        {"T9 0105", {"0105.junk"}, {"9"}},
    };
    for (const auto& c : cases) {
        FakeOwner owner(engine);
        engine.Reset();
        owner.Expect(std::string("T") + c.line[1]).Answer(".");
        for (const auto& chunk : c.chunks)
            owner.Answer(chunk);
        owner.Dispatch(c.line);
        owner.Run();
        owner.VerifyDone();
        EXPECT_EQ(owner.LogOf("same:"), c.same) << c.line;
        EXPECT_EQ(owner.rx, "") << c.line;
        EXPECT_EQ(owner.progressSteps, 2);
        EXPECT_FALSE(engine.Busy());
    }
}

TEST_F(InstFixture, HeldVersionWithMisplacedDotKeepsWaitingUntilX) {
    owner.Expect("T1").Answer(".").Answer("1.05.");
    owner.Dispatch("T1 0105");
    owner.Run(20);
    EXPECT_TRUE(engine.Busy());
    EXPECT_EQ(owner.rx, "1.05.");
    owner.rx = "X1";
    owner.Step();
    EXPECT_EQ(owner.errors, (Log{"Error while reading version number !!!"}));
    EXPECT_EQ(owner.rx, "1");
    EXPECT_EQ(engine.Step(), 9);
}

TEST_F(InstFixture, PromptShowsTheTrimmedText) {
    owner.Dispatch("prompt");
    owner.Run();
    EXPECT_EQ(owner.statuses, (Log{""}));
    owner.Dispatch("prompt   Switch the device off  ");
    owner.Run();
    EXPECT_EQ(owner.statuses, (Log{"", "Switch the device off"}));
    EXPECT_TRUE(owner.sent.empty());
}

TEST_F(InstFixture, WaitEndsOnlyOnceMoreThanItsTimeHasPassed) {
    for (std::uint32_t ms : {0u, 500u}) {
        owner.Dispatch("wait " + std::to_string(ms));
        owner.Step(); // the start step reads the clock
        clock.now += ms;
        owner.Step();
        EXPECT_EQ(engine.Step(), 3) << ms;
        clock.now += 1;
        owner.Step();
        owner.Step();
        EXPECT_FALSE(engine.Busy()) << ms;
    }
    clock.now = 0xFFFFFFF0u; // the tick count wraps during the wait
    owner.Dispatch("wait 20");
    owner.Step();
    clock.now += 21;
    owner.Run(2);
    EXPECT_FALSE(engine.Busy());
}

TEST_F(InstFixture, ResetAndCommandsIgnoreTrailingText) {
    owner.Expect("RS").Answer(".").Expect("NP").Answer(".").Expect("FI").Answer(".");
    for (const char* line : {"RS now", "NP x", "FI y"}) {
        owner.Dispatch(line);
        owner.Run();
    }
    owner.VerifyDone();
    EXPECT_EQ(owner.log[1], "status:Reset");
    EXPECT_EQ(owner.log[2], "send:RS");
}

TEST_F(InstFixture, TextCommandsSetTheMaximumFirst) {
    owner.Expect("UV")
        .Answer(".")
        .Expect("1.2 beta")
        .Answer(".")
        .Expect("OP")
        .Answer(".")
        .Expect("x")
        .Answer(".");
    owner.Dispatch("UV   1.2 beta ");
    owner.Run();
    owner.Dispatch("OPx");
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.log, (Log{"busy", "max:2", "send:UV", "step", "send:1.2 beta", "step", "idle", "busy",
                              "max:2", "send:OP", "step", "send:x", "step", "idle"}));
}

TEST_F(InstFixture, DeviceRefusalsParkTheEngineUntilReset) {
    const struct {
        const char* line;
        std::vector<std::string> transcript; // send, answer, send, answer...
        const char* error;
    } cases[] = {
        {"RS", {"RS", "I"}, "Instruction unknown"},
        {"NP", {"NP", "I"}, "Instruction unknown"},
        {"FI", {"FI", "I"}, "Instruction unknown"},
        {"V3 0105", {"V3", "I"}, "Instruction unknown"},
        {"T8 0105", {"T8", "I"}, "Instruction unknown"},
        {"UV 1", {"UV", "I"}, "Instruction unknown"},
        {"OP 1", {"OP", "I"}, "Instruction unknown"},
        {"V3 0105", {"V3", ".", "0105", "X"}, "Error while writing version number !!!"},
        {"UV 1", {"UV", ".", "1", "X"}, "Error while writing version number !!!"},
        {"OP 1", {"OP", ".", "1", "X"}, "Error while writing version number !!!"},
    };
    for (const auto& c : cases) {
        engine.Reset();
        FakeOwner owner(engine);
        for (std::size_t i = 0; i < c.transcript.size(); i += 2)
            owner.Expect(c.transcript[i]).Answer(c.transcript[i + 1]);
        owner.Dispatch(c.line);
        owner.Run();
        owner.VerifyDone();
        EXPECT_EQ(owner.errors, (Log{c.error})) << c.line;
        EXPECT_EQ(owner.rx, "") << c.line; // the refusal was consumed
        owner.Dispatch("RS");
        owner.Step();
        EXPECT_EQ(owner.sent.size(), c.transcript.size() / 2) << c.line;
        EXPECT_EQ(engine.Step(), 9);
    }
}

TEST_F(InstFixture, UnknownAnswerStaysInPlace) {
    owner.Expect("RS").Answer("Z.");
    owner.Dispatch("RS");
    owner.Run(30);
    EXPECT_TRUE(engine.Busy());
    EXPECT_EQ(owner.rx, "Z.");
}

TEST_F(InstFixture, MalformedLinesEndThroughError) {
    const std::pair<const char*, const char*> cases[] = {
        {"wait abc", "Bad wait time in script line : wait abc"},
        {"wait -5", "Bad wait time in script line : wait -5"},
        {"wait 12x", "Bad wait time in script line : wait 12x"},
        {"wait", "Bad wait time in script line : wait"},
        {"V", "Missing component in script line : V"},
        {"T", "Missing component in script line : T"},
    };
    for (const auto& [line, error] : cases) {
        engine.Reset();
        FakeOwner owner(engine);
        owner.Dispatch(line);
        EXPECT_TRUE(owner.errors.empty()) << "raised by the step that would have failed";
        owner.Run();
        EXPECT_EQ(owner.errors, (Log{error}));
        EXPECT_TRUE(owner.sent.empty());
    }
}

} // namespace
} // namespace vz::test

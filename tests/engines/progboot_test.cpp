#include "engines/progboot.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

using Log = std::vector<std::string>;

const std::string kBadType =
    "Bad type of device !!! If you attempt to update a VORNA-PLUS, Select manualy the "
    "model in the DEVICE menu.";
// Data at 0x4000-0x4003 = 01 02 03 04, a record outside the checked range, the end record.
const std::string L0 = ":0440000001020304B2", L1 = ":02700000AABB29", L2 = ":00000001FF";

struct BootFixture : ::testing::Test {
    BootFixture() {
        engine.SetScriptDir(dir.Dir());
        dir.Write("boot.hex", L0 + "\r\n" + L1 + "\n" + L2 + "\n");
    }
    // Runs "SYN" up to the type check; the device has called and synchronised.
    void StartTypeCheck(std::uint8_t menuModel) {
        engine.SetMenuModel(menuModel);
        owner.Transcript({"%", ">%", "."});
        owner.Dispatch("SYN");
    }
    FakeClock clock;
    TProgBoot engine{clock.Clock()};
    FakeOwner owner{engine};
    TempDir dir;
};

TEST_F(BootFixture, SynchronisesAndReadsTheShortReply) {
    owner.Transcript({"ab%cd", ">%", "x.", ">21", ".", "1234ABCD."});
    owner.Dispatch("SYN");
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.statuses, (Log{"Verify Device Type", "Boot Checksum : B234", "Device ID : ABCD"}));
    EXPECT_EQ(owner.LogOf("model:"), (Log{"2"}));
    EXPECT_EQ(owner.LogOf("id:"), (Log{std::to_string(0xABCD)}));
    EXPECT_EQ(owner.LogOf("options:"), (Log{"0"}));
    EXPECT_EQ(owner.LogOf("reported:"), (Log{"2"}));
    EXPECT_EQ(owner.rx, "");
}

TEST_F(BootFixture, LongReplyReportsTheTypeByteModels) {
    StartTypeCheck(0);
    owner.Transcript({">21", ".", "0000123400", "0215.rest"});
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.statuses, (Log{"Verify Device Type", "Boot Checksum : A000", "Device ID : 1234"}));
    EXPECT_EQ(owner.LogOf("options:"), (Log{"2"}));
    EXPECT_EQ(owner.LogOf("reported:"), (Log{"2", "2", "6"}));
    EXPECT_EQ(owner.rx, "");
}

TEST_F(BootFixture, ReplyWithDotElsewhereIsNotTaken) {
    StartTypeCheck(0);
    owner.Transcript({">21", ".", "00001234 000215."});
    owner.Run(30);
    EXPECT_TRUE(engine.Busy());
    EXPECT_EQ(engine.Step(), 6);
    EXPECT_EQ(owner.rx, "00001234 000215.");
}

TEST_F(BootFixture, EveryFurtherDotStartsTheTypeCheckAgain) {
    owner.Transcript({"%", ">%", "..", ">21", ">21"});
    owner.Dispatch("SYN");
    owner.Run(10);
    owner.VerifyDone();
    EXPECT_EQ(engine.Step(), 9);
    EXPECT_EQ(engine.Cursor(), 1);
}

TEST_F(BootFixture, TypeCheckSequences) {
    const struct {
        std::uint8_t menuModel;
        std::vector<std::string> transcript;
        Log models;
        bool fails;
    } cases[] = {
        {0, {">21", "X", ">18", "X", ">22", "X", ">23", "X", ">26", "X", ">25", "X", ">21", "X"}, {}, true},
        {0, {">21", "X", ">18", "X", ">22", "."}, {"3"}, false},
        {3, {">22", "X"}, {}, true},
        {7, {">26", "."}, {"7"}, false},
        {1, {">18", "X", ">25", "."}, {"5"}, false},
        {1, {">18", "X", ">25", "X"}, {}, true},
        {9, {">21", "."}, {"2"}, false}, // a code outside the table starts at the first position
    };
    for (const auto& c : cases) {
        engine.Reset();
        FakeOwner owner(engine);
        engine.SetMenuModel(c.menuModel);
        owner.Transcript({"%", ">%", "."}).Transcript(c.transcript);
        owner.Dispatch("SYN");
        owner.Run(40);
        owner.VerifyDone();
        EXPECT_EQ(owner.LogOf("model:"), c.models) << int(c.menuModel);
        EXPECT_EQ(owner.errors, c.fails ? Log{kBadType} : Log{}) << int(c.menuModel);
    }
}

TEST_F(BootFixture, TypeCheckTimesOutAfterOneSecond) {
    StartTypeCheck(0);
    owner.Transcript({">21", "Z"});
    owner.Run(5);
    clock.now += 1000;
    owner.Step();
    EXPECT_TRUE(owner.errors.empty());
    EXPECT_EQ(owner.rx, "Z"); // an unknown character stays in place
    clock.now += 1;
    owner.Step();
    EXPECT_EQ(owner.errors, (Log{kBadType}));
    EXPECT_EQ(engine.Step(), 7);
}

TEST_F(BootFixture, ProgramsThreeLineFile) {
    owner.Transcript({">PB", ".", ".", ">" + L0 + "\r\n", ".", ">" + L0 + "\r\n", ".", ">" + L1 + "\r\n", ".",
                      ">" + L2 + "\r\n", ".", ">:0200000CDC0E08\r\n", "."});
    owner.Dispatch("PB boot.hex");
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.statuses, (Log{"Erase Extended Boot", "Upload Extended Boot", "Verify Checksum"}));
    EXPECT_EQ(owner.LogOf("max:"), (Log{"5"}));
    EXPECT_EQ(owner.progressSteps, 5);
    EXPECT_FALSE(engine.Busy());
}

TEST_F(BootFixture, ScriptChecksumIsUsedUnchanged) {
    owner.Transcript({">PB", ".", ".", ">" + L0 + "\r\n", ".", ">" + L0 + "\r\n", ".", ">" + L1 + "\r\n", ".",
                      ">" + L2 + "\r\n", ".", ">:0200000C1A2BAD\r\n", "."});
    owner.Dispatch("P Bboot.hex   1A2B ");
    owner.Run();
    owner.VerifyDone();
}

TEST_F(BootFixture, MissingOrUnreadableFileNamesTheWholeRest) {
    engine.SetScriptDir("D:\\upd\\KRA350\\");
    owner.Dispatch("PB missing.hex");
    owner.Run();
    engine.Reset();
    engine.SetScriptDir(dir.Dir());
    owner.Dispatch("PB . 1A2B"); // a directory cannot be read
    owner.Run();
    EXPECT_EQ(owner.errors, (Log{"D:\\upd\\KRA350\\missing.hex File not found !!!",
                                 dir.Dir() + ". 1A2B File not found !!!"}));
    EXPECT_TRUE(owner.sent.empty());
}

TEST_F(BootFixture, ResendsTheLastLineAndCountsRetriesPerFile) {
    owner.Transcript({">PB", ".", ".", ">" + L0 + "\r\n", ".", ">" + L0 + "\r\n", ".", ">" + L1 + "\r\n", "R",
                      ">" + L1 + "\r\n"});
    owner.Dispatch("PB boot.hex");
    owner.Run(30);
    owner.VerifyDone();
    EXPECT_EQ(engine.RetryCount(), 1);

    engine.Reset();
    FakeOwner limit(engine);
    // Before the first acknowledgement the line to repeat is line 0.
    limit.Transcript({">PB", ".", ".", ">" + L0 + "\r\n"});
    for (int i = 0; i < 299; ++i)
        limit.Transcript({"R", ">" + L0 + "\r\n"});
    limit.Transcript({".", ">" + L0 + "\r\n", "R", ">" + L0 + "\r\n", "R"});
    limit.Dispatch("PB boot.hex");
    limit.Run();
    limit.VerifyDone();
    EXPECT_EQ(limit.errors, (Log{"Too Many Transmission Error !!!"}));
}

TEST_F(BootFixture, DeviceRefusalsParkTheEngine) {
    dir.Write("empty.hex", "");
    const std::string first = ">" + L0 + "\r\n";
    const struct {
        const char* line;
        std::vector<std::string> transcript;
        const char* error;
    } cases[] = {
        {"PB boot.hex", {">PB", "I"}, "Instruction unknown"},
        {"PB boot.hex", {">PB", ".", "X"}, "Error while erasing !!!"},
        {"PB empty.hex", {">PB", ".", "."}, "Boot File Empty !!!"},
        {"PB boot.hex", {">PB", ".", ".", first, ".", first, "X"}, "Error while writing!!!"},
        {"PB boot.hex 1234",
         {">PB", ".", ".", first, ".", first, ".", ">" + L1 + "\r\n", ".", ">" + L2 + "\r\n", ".",
          ">:0200000C1234AC\r\n", "X"},
         "Checksum Error"},
    };
    for (const auto& c : cases) {
        engine.Reset();
        FakeOwner owner(engine);
        owner.Transcript(c.transcript);
        owner.Dispatch(c.line);
        owner.Run();
        owner.VerifyDone();
        EXPECT_EQ(owner.errors, (Log{c.error})) << c.error;
        EXPECT_EQ(owner.rx, "") << c.error;
        EXPECT_EQ(engine.Step(), 7);
        owner.Dispatch("SYN");
        EXPECT_FALSE(engine.Busy()) << "parked until Reset";
    }
}

} // namespace
} // namespace vz::test

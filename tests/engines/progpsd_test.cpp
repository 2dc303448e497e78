#include "engines/progpsd.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

using Log = std::vector<std::string>;

// Data 01 02 03 04 at 0x0000 (bank 0's half) or at 0x8000 (the other banks' half).
const std::string kLow = ":0400000001020304F2", kHigh = ":048000000102030472", kEnd = ":00000001FF";
// Sum with the four bytes in range: 0x8000 - 4 x 0xFF + 10 = 0x7C0E; without them: 0x8000.
const std::string kSumWith = ":0200000C7C0E68\r\n", kSumEmpty = ":0200000C800072\r\n";

struct PsdFixture : ::testing::Test {
    PsdFixture() {
        engine.SetScriptDir(dir.Dir());
        // The upper-half record comes after the end record and is never applied.
        dir.Write("KEYB.HEX", kLow + "\r\n" + kEnd + "\r\n" + kHigh + "\r\n");
        dir.Write("my keyb.hex", kHigh + "\r\n");
        dir.Write("empty.hex", "");
    }
    // The full dialogue for KEYB.HEX, ending with the given checksum record.
    static std::vector<std::string> Upload(char digit, const std::string& sumRecord) {
        const std::string p = std::string(">P") + digit;
        return {p,   ".",
                ".", ">" + kLow + "\r\n",
                ".", ">" + kLow + "\r\n",
                ".", ">" + kEnd + "\r\n",
                ".", ">" + kHigh + "\r\n",
                ".", ">" + sumRecord,
                "."};
    }
    TProgPsd engine;
    FakeOwner owner{engine};
    TempDir dir;
};

TEST_F(PsdFixture, BankZeroChecksumCoversTheLowerHalf) {
    owner.Transcript(Upload('0', kSumWith));
    owner.Dispatch("P0 KEYB.HEX");
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.statuses, (Log{"Erase Bank0", "Upload Bank0", "Verify Bank0"}));
    EXPECT_EQ(owner.LogOf("max:"), (Log{"3"}));
    EXPECT_EQ(owner.progressSteps, 4);
    EXPECT_FALSE(engine.Busy());
}

TEST_F(PsdFixture, OtherBanksChecksumTheUpperHalf) {
    // The data of the lower half no longer count.
    owner.Transcript(Upload('5', kSumEmpty));
    owner.Dispatch("P 5  KEYB.HEX");
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.statuses, (Log{"Erase Bank5", "Upload Bank5", "Verify Bank5"}));
    EXPECT_EQ(engine.Bank(), 5);
}

TEST_F(PsdFixture, FileNameWithBlanksIsTakenWhole) {
    owner.Transcript(
        {">P3", ".", ".", ">" + kHigh + "\r\n", ".", ">" + kHigh + "\r\n", ".", ">" + kSumWith, "."});
    owner.Dispatch("P 3 my keyb.hex");
    owner.Run();
    owner.VerifyDone();
}

TEST_F(PsdFixture, LinesOfOtherEnginesAreLeftAlone) {
    for (const char* line : {"P8 x.svf", "P9", "D8", "F 9", "PB boot.hex", "P", "RS", ""}) {
        owner.Dispatch(line);
        EXPECT_FALSE(engine.Busy()) << line;
    }
    EXPECT_TRUE(owner.log.empty());
}

TEST_F(PsdFixture, ChecksumResentOnR) {
    auto transcript = Upload('0', kSumWith);
    transcript.back() = "R";
    transcript.insert(transcript.end(), {">" + kSumWith, "."});
    owner.Transcript(transcript);
    owner.Dispatch("P0 KEYB.HEX");
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.statuses, (Log{"Erase Bank0", "Upload Bank0", "Verify Bank0", "Verify Bank0"}));
    EXPECT_EQ(engine.RetryCount(), 1);
}

TEST_F(PsdFixture, RetriesAreSharedByUploadAndChecksum) {
    const std::string line = ">" + kHigh + "\r\n";
    owner.Transcript({">P1", ".", ".", line});
    for (int i = 0; i < 200; ++i) // before the first acknowledgement: line 0 again
        owner.Transcript({"R", line});
    owner.Transcript({".", line, ".", ">" + kSumWith});
    for (int i = 0; i < 100; ++i)
        owner.Transcript({"R", ">" + kSumWith});
    owner.Transcript({"R"});
    owner.Dispatch("P1 my keyb.hex");
    owner.Run();
    owner.VerifyDone();
    EXPECT_EQ(owner.errors, (Log{"Too Many Transmission Error !!!"}));
    EXPECT_EQ(engine.Step(), 4);
}

TEST_F(PsdFixture, ReadsTheIdentificationNumber) {
    owner.Transcript({">D2", ".4", "F.", ">D2", ".", "4F5."});
    owner.Dispatch("D2");
    owner.Run();
    EXPECT_EQ(owner.statuses, (Log{"Extract ID Keyb", "ID Number : 4F"}));
    owner.Dispatch("D 2 trailing text");
    owner.Run(20);
    owner.VerifyDone();
    EXPECT_TRUE(engine.Busy()) << "the first dot stands at position 4";
    EXPECT_EQ(owner.rx, "4F5.");
}

TEST_F(PsdFixture, FCommandShowsNothing) {
    owner.Transcript({">F5", "."});
    owner.Dispatch("F5");
    owner.Run();
    owner.VerifyDone();
    EXPECT_TRUE(owner.statuses.empty());
    EXPECT_FALSE(engine.Busy());
}

TEST_F(PsdFixture, FailuresParkTheEngine) {
    const std::string line = ">" + kLow + "\r\n";
    const struct {
        const char* line;
        std::vector<std::string> transcript;
        std::string error;
    } cases[] = {
        {"P0 none.hex", {}, dir.Dir() + "none.hex File not found !!!"},
        {"P0 empty.hex", {">P0", ".", "."}, "Keyb File Empty !!!"},
        {"P0 KEYB.HEX", {">P0", "I"}, "Instruction unknown"},
        {"D0", {">D0", "I"}, "Instruction unknown"},
        {"F0", {">F0", "I"}, "Instruction unknown"},
        {"P0 KEYB.HEX", {">P0", ".", "X"}, "Error while erasing !!!"},
        {"P0 KEYB.HEX", {">P0", ".", ".", line, "X"}, "Error while writing!!!"},
        {"P0 KEYB.HEX",
         {">P0", ".", ".", line, ".", line, ".", ">" + kEnd + "\r\n", ".", ">" + kHigh + "\r\n", ".",
          ">" + kSumWith, "X"},
         "Checksum Error"},
    };
    for (const auto& c : cases) {
        engine.Reset();
        FakeOwner owner(engine);
        owner.Transcript(c.transcript);
        owner.Dispatch(c.line);
        owner.Run();
        owner.VerifyDone();
        EXPECT_EQ(owner.errors, (Log{c.error})) << c.line;
        EXPECT_EQ(engine.Step(), 4) << c.line;
        owner.Dispatch("F1");
        EXPECT_FALSE(engine.Busy());
    }
}

TEST_F(PsdFixture, AnswersArrivingTogetherAreTakenOneAtATime) {
    owner.Transcript({">F1", ".X"});
    owner.Dispatch("F1");
    owner.Run();
    EXPECT_EQ(owner.rx, "X") << "only the understood character is consumed";
}

} // namespace
} // namespace vz::test

// Boot loader call, type check, identification and the general commands.
#include "test_host.h"

#include "emulator/models.h"

#include <gtest/gtest.h>

namespace vz::emu::test {
namespace {

DeviceConfig Configured() {
    DeviceConfig c;
    c.modelCode = 2; // KRB350, type 21
    c.bootChecksum = 0x1234;
    c.deviceId = 0xABCD;
    c.options = 0x0002;
    return c;
}

TEST(BootLoader, CallsEveryHundredMillisecondsUntilAnswered) {
    Bench bench;
    EXPECT_EQ(bench.wait(99 * kMillisecond), "");
    EXPECT_EQ(bench.wait(1 * kMillisecond), "%");
    EXPECT_EQ(bench.wait(250 * kMillisecond), "%%");
    EXPECT_EQ(bench.send("ab."), "") << "anything but \"%\" is ignored while calling";
    EXPECT_EQ(bench.send("%"), ".");
    EXPECT_EQ(bench.wait(500 * kMillisecond), "") << "no calls once synchronised";
    EXPECT_EQ(bench.device().mode(), Device::Mode::TypeCheck);
}

TEST(BootLoader, RefusesOtherTypesAndSendsLongIdentification) {
    Bench bench(Configured());
    bench.send("%");
    EXPECT_EQ(bench.send("18"), "X");
    EXPECT_EQ(bench.send("2"), "") << "waits for the second digit";
    EXPECT_EQ(bench.send("1"), ".1234ABCD000215.");
    EXPECT_EQ(bench.device().mode(), Device::Mode::Command);
}

TEST(BootLoader, ShortIdentificationHasChecksumAndIdOnly) {
    DeviceConfig c = Configured();
    c.shortId = true;
    Bench bench(c);
    EXPECT_EQ(bench.connect(), "..1234ABCD.");
}

TEST(BootLoader, DefaultsReportBootSumAndModelIdentifier) {
    DeviceConfig c;
    c.modelCode = 6; // KRB350 "_256": type 21 and an identifier of 0x8000 or more
    Bench bench(c);
    std::string reply = bench.connect();
    ASSERT_EQ(reply.size(), 17u);
    EXPECT_EQ(reply.substr(2, 4), "E000") << "erased boot area: 8192 x 0xFF";
    EXPECT_GE(std::stoi(reply.substr(6, 4), nullptr, 16), 0x8000);
    EXPECT_EQ(reply.substr(14, 2), "15");
}

TEST(BootLoader, RefuseTypeOptionAndNonDigits) {
    DeviceConfig c;
    c.faults.refuseType = true;
    Bench bench(c);
    bench.send("%");
    EXPECT_EQ(bench.send("18"), "X");
    EXPECT_EQ(bench.send("%"), "X") << "a non-digit is no type number";
}

class Commands : public ::testing::Test {
protected:
    Commands() { bench.connect(); }
    Bench bench;
};

TEST_F(Commands, BareCommandsAreAcknowledged) {
    EXPECT_EQ(bench.send("RS"), ".");
    EXPECT_EQ(bench.send("NP"), ".");
    EXPECT_EQ(bench.send("F5"), ".");
    EXPECT_EQ(bench.send("F9"), ".");
    EXPECT_EQ(bench.send("D3"), ".4F.");
}

TEST_F(Commands, UnknownCommandsAnswerI) {
    EXPECT_EQ(bench.send("Q"), "I");
    EXPECT_EQ(bench.send("RX"), "I");
    EXPECT_EQ(bench.send("VA"), "I") << "component must be a digit";
    EXPECT_EQ(bench.send("\r\n"), "II") << "bare commands carry no line end";
    EXPECT_EQ(bench.send(":00000001FF\r"), "");
    EXPECT_EQ(bench.send("\n"), "I") << "a record outside any upload is refused at its end";
    EXPECT_EQ(bench.send("NP"), ".") << "and the device still listens";
    EXPECT_EQ(bench.send(":0100"), "");
    EXPECT_EQ(bench.wait(kPartialSilence), "I") << "a record that never ends is refused after a silence";
}

TEST_F(Commands, VersionWrittenThenRead) {
    EXPECT_EQ(bench.send("T1"), ".0000.") << "never written";
    EXPECT_EQ(bench.send("V1"), ".");
    EXPECT_EQ(bench.send("010"), "");
    EXPECT_EQ(bench.send("5"), ".") << "four characters end the text at once";
    EXPECT_EQ(bench.send("T1"), ".0105.");
    EXPECT_EQ(bench.send("T2"), ".0000.");
    EXPECT_TRUE(bench.device().takeMemoryChanged());
}

TEST_F(Commands, ShortVersionEndsWithSilenceAndIsPadded) {
    bench.send("V3");
    EXPECT_EQ(bench.send("12"), "");
    EXPECT_EQ(bench.wait(kTextSilence - 1), "") << "not before the line has been silent";
    EXPECT_EQ(bench.wait(1), ".");
    EXPECT_EQ(bench.send("T3"), ".0012.");
}

TEST_F(Commands, VersionThatCannotBeReadBackIsRefused) {
    bench.send("V4");
    EXPECT_EQ(bench.send("1.05"), "X");
    EXPECT_EQ(bench.send("T4"), ".0000.");
}

TEST_F(Commands, TextCommandsEndWithSilence) {
    EXPECT_EQ(bench.send("UV"), ".");
    EXPECT_EQ(bench.wait(100 * kMillisecond), "") << "no text yet: the device keeps waiting";
    EXPECT_EQ(bench.send("user 2.1"), "");
    EXPECT_EQ(bench.wait(kTextSilence), ".");
    EXPECT_EQ(bench.send("OP"), ".");
    bench.send("LOGO");
    EXPECT_EQ(bench.wait(kTextSilence), ".");
    EXPECT_EQ(bench.device().memory().userVersion, "user 2.1");
    EXPECT_EQ(bench.device().memory().optionText, "LOGO");
}

TEST_F(Commands, FinishRestartsTheLoaderAfterAWhile) {
    EXPECT_EQ(bench.send("FI"), ".");
    EXPECT_TRUE(bench.device().finishAcknowledged());
    EXPECT_EQ(bench.send("NP"), "") << "restarting: deaf";
    EXPECT_EQ(bench.wait(kRebootDelay), "%");
    EXPECT_EQ(bench.device().mode(), Device::Mode::Calling);
}

TEST_F(Commands, RebootStartsCallingAtOnce) {
    bench.send("V1");
    bench.device().reboot(bench.now());
    EXPECT_EQ(bench.wait(0), "%");
    EXPECT_EQ(bench.send("%"), ".");
}

TEST(Faults, SilenceAfterSoManyBytes) {
    DeviceConfig c;
    c.faults.silenceAfter = 3; // "%", "1", "8"
    Bench bench(c);
    EXPECT_EQ(bench.send("%"), ".");
    EXPECT_EQ(bench.send("18"), "") << "the third byte silences the device";
    EXPECT_EQ(bench.device().mode(), Device::Mode::Command) << "it still listens";
    EXPECT_EQ(bench.send("NP"), "");
}

TEST(Faults, StrayBytesOnlyWhereTheHostSkipsThem) {
    DeviceConfig c;
    c.faults.strayShare = 1.0;
    Bench bench(c);
    std::string calls = bench.wait(300 * kMillisecond);
    EXPECT_EQ(Clean(calls), "%%%");
    EXPECT_GT(calls.size(), 3u) << "strays before each call";
    std::string sync = bench.send("%");
    EXPECT_EQ(sync.back(), '.');
    EXPECT_GT(sync.size(), 1u);
    for (char ch : calls + sync)
        EXPECT_TRUE(ch == '%' || ch == '.' || (ch >= 'a' && ch <= 'z')) << int(ch);
    EXPECT_EQ(bench.send("18").front(), '.') << "no stray before an answer read at the start";
    EXPECT_EQ(bench.send("T0"), ".0000.");
}

TEST(Faults, ZeroBytesOnlyAfterFinishedAnswers) {
    DeviceConfig c;
    c.faults.zeroShare = 1.0;
    const std::string zero(1, '\0');
    Bench bench(c);
    EXPECT_EQ(bench.wait(100 * kMillisecond), "%" + zero);
    EXPECT_EQ(bench.send("%"), "." + zero);
    std::string id = bench.send("18");
    EXPECT_EQ(id.find('\0'), id.size() - 1) << "not between the \".\" and the identification";
    EXPECT_EQ(bench.send("T0"), ".0000." + zero);
    EXPECT_EQ(bench.send("PB"), ".") << "the erase answer follows without the host";
    EXPECT_EQ(bench.wait(c.eraseTime), "." + zero);
}

TEST(Faults, VersionRefusedAtTheChosenOccurrence) {
    DeviceConfig c;
    c.faults.refuseAt[FaultKind::Version] = {2};
    Bench bench(c);
    bench.connect();
    bench.send("V1");
    EXPECT_EQ(bench.send("0101"), ".");
    bench.send("V2");
    EXPECT_EQ(bench.send("0202"), "X");
    bench.send("V3");
    EXPECT_EQ(bench.send("0303"), ".");
    EXPECT_EQ(bench.send("T2"), ".0000.");
}

} // namespace
} // namespace vz::emu::test

// Command line, line timing, transcript, state file and record text.
#include "emulator/hex_text.h"
#include "emulator/options.h"
#include "emulator/pacer.h"
#include "emulator/state_file.h"
#include "emulator/transcript.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vz::emu {
namespace {

ProgramOptions Parse(std::vector<std::string> args) {
    return ParseOptions(args);
}

TEST(Options, DeviceSettings) {
    ProgramOptions o =
        Parse({"--model", "KRB350_256", "--id", "8012", "--options", "0x000A", "--short-id", "--prom-id",
               "2:F5046093", "--keyb-id", "7C", "--erase-ms", "5", "--strict-speed"});
    EXPECT_EQ(o.command, ProgramOptions::Command::Run);
    EXPECT_EQ(o.device.modelCode, 6);
    EXPECT_EQ(o.device.deviceId, 0x8012);
    EXPECT_EQ(o.device.options, 0x000A);
    EXPECT_TRUE(o.device.shortId);
    EXPECT_EQ(o.device.promIds[1], 0xF5046093u);
    EXPECT_EQ(o.device.keybId, "7C");
    EXPECT_EQ(o.device.eraseTime, 5 * kMillisecond);
    EXPECT_TRUE(o.device.strictSpeed);
    EXPECT_EQ(Parse({"--model", "7"}).device.modelCode, 7);
}

TEST(Options, FaultsAndRunner) {
    ProgramOptions o = Parse({"--fault-resend", "5%", "--seed", "42", "--fault-x", "bank:3", "--fault-x",
                              "bank:9", "--fault-zero", "0.25", "--hangup-after", "100", "--baud-pacing",
                              "--log", "l.txt", "--latency-ms", "16"});
    EXPECT_DOUBLE_EQ(o.device.faults.resendShare, 0.05);
    EXPECT_EQ(o.device.faults.seed, 42u);
    EXPECT_EQ(o.device.faults.refuseAt[FaultKind::Bank], (std::set<long>{3, 9}));
    EXPECT_DOUBLE_EQ(o.device.faults.zeroShare, 0.25);
    EXPECT_EQ(o.runner.hangupAfter, 100);
    EXPECT_TRUE(o.runner.baudPacing);
    EXPECT_EQ(o.runner.logPath, "l.txt");
    EXPECT_EQ(o.runner.latency, 16 * kMillisecond);
}

TEST(Options, SubcommandsAndMistakes) {
    ProgramOptions o = Parse({"make-package", "out", "--small"});
    EXPECT_EQ(o.command, ProgramOptions::Command::MakePackage);
    EXPECT_EQ(o.packageDir, "out");
    EXPECT_TRUE(o.smallPackage);
    o = Parse({"verify-dump", "pkg/KRA350", "dump"});
    EXPECT_EQ(o.modelDir, "pkg/KRA350");
    EXPECT_EQ(o.dumpDir, "dump");
    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{"--model", "KRZ999"},
                                               {"--fault-resend", "2"},
                                               {"--fault-x", "flash:1"},
                                               {"--fault-x", "bank:0"},
                                               {"--id", "12345"},
                                               {"--prom-id", "3:1"},
                                               {"--erase-ms"},
                                               {"--devices", "2", "--gap-ms", "9223372036854775"},
                                               {"--devices", "2", "--cycle", "resend=nan"},
                                               {"--devices", "2", "--cycle", "clean,stray=NaN%"},
                                               {"--whatever"},
                                               {"stray"},
                                               {"verify-dump", "only-one"}}) {
        EXPECT_THROW(Parse(bad), std::invalid_argument) << bad[0];
    }
    try {
        Parse({"--seed", "x"});
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("--seed"), std::string::npos) << "the error names the option";
    }
}

TEST(Pacing, HostBytesArriveOneCharacterTimeApart) {
    LinePacer pacer(true);
    pacer.received("ABC", 1000, 57600, 57600);
    EXPECT_EQ(pacer.nextInputAt(), 1174);
    EXPECT_TRUE(pacer.dueInput(1173).empty());
    EXPECT_EQ(pacer.dueInput(1348).size(), 2u) << "A at 1174, B at 1348";
    EXPECT_EQ(pacer.dueInput(1521).size(), 0u);
    EXPECT_EQ(pacer.dueInput(1522).size(), 1u);
    pacer.received("D", 1400, 19200, 57600);
    EXPECT_EQ(pacer.nextInputAt(), 1522 + 521) << "queued behind C, at the host's speed";
}

TEST(Pacing, DeviceBytesLeaveOneCharacterTimeApart) {
    LinePacer pacer(true);
    pacer.queueOutput({"..", kFastBaud}, 0);
    pacer.queueOutput({"%", kSlowBaud}, 0);
    EXPECT_EQ(pacer.dueOutput(173), "");
    EXPECT_EQ(pacer.dueOutput(174), ".");
    EXPECT_EQ(pacer.dueOutput(348), "..");
    pacer.consumeOutput(1);
    EXPECT_EQ(pacer.nextOutputAt(), 348);
    pacer.consumeOutput(1);
    EXPECT_EQ(pacer.nextOutputAt(), 348 + 521) << "the slow byte takes longer";
}

TEST(Pacing, WithoutPacingEverythingIsDueAtOnce) {
    LinePacer pacer(false);
    pacer.received("AB", 50, 0, kFastBaud);
    EXPECT_EQ(pacer.dueInput(50).size(), 2u);
    pacer.queueOutput({"xyz", kFastBaud}, 60);
    EXPECT_EQ(pacer.dueOutput(60), "xyz");
    EXPECT_EQ(pacer.trimOutput(1), 2u);
    EXPECT_EQ(pacer.dueOutput(60), "z") << "the newest bytes are kept";
}

TEST(Pacing, LatencyTickHoldsAnswersUntilTheNextTick) {
    LinePacer pacer(false, 16 * kMillisecond);
    pacer.queueOutput({".", kFastBaud}, 1000);
    pacer.queueOutput({"%", kFastBaud}, 12000);
    EXPECT_EQ(pacer.nextOutputAt(), 16000);
    EXPECT_EQ(pacer.dueOutput(15999), "") << "nothing leaves before its tick";
    EXPECT_EQ(pacer.dueOutput(16000), ".%") << "held bytes are released together";
    pacer.consumeOutput(2);
    pacer.queueOutput({"X", kFastBaud}, 32000);
    EXPECT_EQ(pacer.dueOutput(32000), "X") << "a byte arriving on a tick goes with it";
    pacer.consumeOutput(1);
    pacer.queueOutput({"Y", kFastBaud}, 32001);
    EXPECT_EQ(pacer.nextOutputAt(), 48000);
}

TEST(Pacing, LatencyTickCountsFromWhenPacedBytesHaveArrived) {
    LinePacer pacer(true, 16 * kMillisecond);
    pacer.queueOutput({"ab", kFastBaud}, 15700);
    // "a" has arrived at 15874, "b" only at 16048: each waits for its own tick.
    EXPECT_EQ(pacer.nextOutputAt(), 16000);
    EXPECT_EQ(pacer.dueOutput(16000), "a");
    EXPECT_EQ(pacer.dueOutput(31999), "a");
    EXPECT_EQ(pacer.dueOutput(32000), "ab");
    pacer.consumeOutput(1);
    EXPECT_EQ(pacer.nextOutputAt(), 32000);
}

TEST(Transcript, ChunksDirectionsAndEscapes) {
    std::ostringstream out;
    {
        Transcript t(&out);
        t.bytes(Transcript::Direction::HostToDevice, ":01", 100, kFastBaud);
        t.bytes(Transcript::Direction::HostToDevice, "\r\n", 300, kFastBaud);
        t.bytes(Transcript::Direction::DeviceToHost, std::string("\x1b.", 2), 900, kFastBaud);
        t.bytes(Transcript::Direction::DeviceToHost, std::string("a\0 \\", 4), 2000, kFastBaud);
        t.note(2100, "speed 19200");
    }
    EXPECT_EQ(out.str(), "100 300 H>D 5 :01\\r\\n\n"
                         "900 900 D>H 2 \\e.\n"
                         "2000 2000 D>H 4 a\\0\\x20\\\\\n"
                         "# 2100 speed 19200\n");
}

TEST(StateFile, RoundTripAndRejection) {
    auto dir = vz::testing::UniqueTempPath("vzdevice-state-test");
    std::filesystem::create_directories(dir);
    std::string path = (dir / "state").string();
    DeviceMemory m;
    m.versions[3] = "0105";
    m.userVersion = "two\nlines";
    m.banks[7][0x7FFF] = 0x12;
    m.proms[1][5] = 0x34;
    SaveState(path, m);
    DeviceMemory back;
    EXPECT_TRUE(LoadState(path, back));
    EXPECT_EQ(back.versions[3], "0105");
    EXPECT_EQ(back.versions[4], "0000");
    EXPECT_EQ(back.userVersion, "two\nlines");
    EXPECT_EQ(back.banks[7][0x7FFF], 0x12);
    EXPECT_EQ(back.proms[1][5], 0x34);
    EXPECT_FALSE(LoadState((dir / "missing").string(), back));
    std::ofstream(path, std::ios::trunc) << "something else\n";
    EXPECT_THROW(LoadState(path, back), std::runtime_error);
    std::filesystem::remove_all(dir);
}

TEST(RecordText, ParseAndBuild) {
    Record r;
    r.type = 0x0C;
    r.data = {0x12, 0x34};
    EXPECT_EQ(BuildRecordLine(r), ":0200000C1234AC");
    ParsedRecord p = ParseRecordLine(":0200000C1234AC");
    ASSERT_EQ(p.check, RecordCheck::Good);
    EXPECT_EQ(p.record.type, 0x0C);
    EXPECT_EQ(p.record.data, (Bytes{0x12, 0x34}));
    EXPECT_EQ(ParseRecordLine(":0200000C1234AD").check, RecordCheck::BadChecksum);
    EXPECT_EQ(ParseRecordLine(":0300000C1234AC").check, RecordCheck::Malformed) << "count disagrees";
    EXPECT_EQ(ParseRecordLine(":02402000ab12F8").check, RecordCheck::Malformed) << "lower case";
    EXPECT_EQ(ParseRecordLine("0200000C1234AC").check, RecordCheck::Malformed);
    EXPECT_EQ(PeekRecordType(":0200000C1234AD"), 0x0C);
    EXPECT_EQ(ParseHexNumber("0xf5046093"), 0xF5046093u);
    EXPECT_FALSE(ParseHexNumber("12G4"));
}

} // namespace
} // namespace vz::emu

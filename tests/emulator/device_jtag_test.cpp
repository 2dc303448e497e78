// The JTAG player's dialogue: command records, data blocks, TDO answers and
// their escapes, the PROM identification and the slow mode.
#include "test_host.h"

#include "emulator/jtag_record.h"
#include "emulator/prom.h"

#include <gtest/gtest.h>

namespace vz::emu::test {
namespace {

const std::string kEscDot{kEsc, '.'};
const std::string kEscZero{kEsc, '0'};
const std::string kEscEsc{kEsc, kEsc};

DeviceConfig TwoProms(std::uint32_t prom1 = 0x11223344, std::uint32_t prom2 = 0x1234ABCD) {
    DeviceConfig c;
    c.promIds = {prom1, prom2};
    return c;
}

// Connected and inside an update started with "P8".
class Jtag : public ::testing::Test {
protected:
    void start(const DeviceConfig& c = TwoProms()) {
        bench = std::make_unique<Bench>(c);
        bench->connect();
        ASSERT_EQ(bench->send("P8"), ".");
    }
    void SetUp() override { start(); }
    std::string send(std::string_view bytes) { return bench->send(bytes); }
    const JtagChain& chain() { return bench->device().chain(); }
    std::unique_ptr<Bench> bench;
};

TEST_F(Jtag, WorkedExampleDialogue) {
    EXPECT_EQ(send(":0100000500FA\r\n"), ".") << "STATE RESET";
    EXPECT_EQ(send(":010010730676\r\n"), kEscDot) << "SDR 16 with TDO and a data block of 6 characters";
    EXPECT_EQ(send("3412"), "") << "the block is six characters long";
    // Both PROMs hold IDCODE after the reset; PROM 2 sits next to TDO, so its low
    // 16 bits (ABCD) come out, least significant byte first.
    EXPECT_EQ(send("46"), "CDAB78" + kEscDot);
    EXPECT_EQ(send("."), ".");
    EXPECT_EQ(send(":00000001FF\r\n"), ".");
    EXPECT_EQ(bench->device().mode(), Device::Mode::Command);
}

TEST_F(Jtag, InstructionScanOfTheWorkedExample) {
    send(":0100000500FA\r\n");
    EXPECT_EQ(send(":01000862FE97\r\n"), ".") << "SIR 8 TDI (fe)";
    // Eight bits into a 16-bit chain: PROM 1 gets FE, PROM 2 the 01 that PROM 1 captured.
    EXPECT_EQ(chain().prom(0).instruction(), 0xFE);
    EXPECT_EQ(chain().prom(1).instruction(), kPromIrCapture);
    EXPECT_EQ(chain().state(), TapState::Idle);
}

TEST_F(Jtag, ScansEndInTheirEndStates) {
    EXPECT_EQ(send(":0100000601F8\r\n"), ".") << "ENDIR IDLE";
    EXPECT_EQ(send(":010000060DEC\r\n"), ".") << "ENDIR IRPAUSE";
    EXPECT_EQ(send(Line(0x62, 16, {0xFF, 0xFF})), ".");
    EXPECT_EQ(chain().state(), TapState::IrPause);
    EXPECT_EQ(send(":0100000706F2\r\n"), ".") << "ENDDR DRPAUSE";
    EXPECT_EQ(send(Line(0xE3, 2, {0x00})), ".") << "SDR 2 in fill form";
    EXPECT_EQ(chain().state(), TapState::DrPause);
    EXPECT_EQ(send(":040000040001ADB09A\r\n"), ".") << "RUNTEST 110000 TCK";
    EXPECT_EQ(chain().state(), TapState::Idle);
    EXPECT_EQ(send(":020000050001F8\r\n"), ".") << "STATE RESET IDLE";
    EXPECT_EQ(send(":00000005FB\r\n"), ".") << "empty STATE";
    EXPECT_EQ(chain().state(), TapState::Idle);
}

TEST_F(Jtag, RecordsThatCannotBeRun) {
    EXPECT_EQ(send(":0100000601F7\r\n"), "R") << "record checksum wrong";
    EXPECT_EQ(send(":0100000601F8\n"), "R") << "no CR";
    EXPECT_EQ(send(Line(0x0C, 0, {0x12, 0x34})), "X") << "not a JTAG command";
    EXPECT_EQ(send(Line(0x06, 0, {0x04})), "X") << "DRSHIFT is no end state";
    EXPECT_EQ(send(Line(0x05, 0, {0x0E, 0x0F})), "X") << "IREXIT2 is not one step from IDLE";
    EXPECT_EQ(send(Line(0x83, 8, {0x00})), "X") << "a middle piece with no scan started";
    EXPECT_EQ(send(Line(0xE3, 513, {0x00})), "X") << "longer than 512 bits";
    EXPECT_EQ(send(Line(0xE2, 8, {0xFF})), "X") << "instruction scans have no fill form";
    EXPECT_EQ(send(Line(0x62, 16, {0xFF})), "X") << "fewer TDI bits than the length";
    EXPECT_EQ(send(Line(0x63, 8, {0x03})), "X") << "a data block of odd length";
    EXPECT_EQ(send(":00000001FF\r\n"), ".") << "and the update can still end";
}

TEST_F(Jtag, DataBlockWithWrongSumRepeatsTheStatement) {
    EXPECT_EQ(send(":010010630686\r\n"), kEscDot) << "SDR 16 TDI (1234)";
    EXPECT_EQ(send("341247"), "R");
    EXPECT_EQ(bench->device().mode(), Device::Mode::JtagRecords) << "the host starts again from the record";
    EXPECT_EQ(send(":010010630686\r\n"), kEscDot);
    EXPECT_EQ(send("341246"), ".");
}

TEST_F(Jtag, HalfDataBlockThenSilenceIsAskedAgain) {
    send(":010010630686\r\n");
    EXPECT_EQ(send("34"), "");
    EXPECT_EQ(bench->wait(kPartialSilence), "R");
    EXPECT_EQ(send(":0100000500FA\r\n"), ".");
}

TEST_F(Jtag, IdcodesReadBackThroughTheChain) {
    EXPECT_EQ(send(Line(0x72, 16, {0xFE, 0xFE})), "0101"
                                                  "02" +
                                                      kEscDot)
        << "instruction capture 01 from both";
    EXPECT_EQ(send("."), ".");
    // PROM 2's code leaves first, then PROM 1's, each least significant byte first.
    EXPECT_EQ(send(Line(0xF3, 64, {0x00})), "CDAB341244332211"
                                            "68" +
                                                kEscDot);
    EXPECT_EQ(send("."), ".");
    // PROM 1 in IDCODE, PROM 2 in BYPASS: a 0 from the bypass bit, then PROM 1's code.
    send(Line(0x62, 16, {0xFF, 0xFE}));
    EXPECT_EQ(send(Line(0xF3, 33, {0x00})), "88664422" + kEscZero + "54" + kEscDot);
}

TEST_F(Jtag, HostAsksForTheTdoAnswerAgain) {
    std::string answer = send(Line(0x72, 16, {0xFE, 0xFE}));
    EXPECT_EQ(send("R"), answer);
    EXPECT_EQ(send("R"), answer);
    EXPECT_EQ(send("."), ".");
}

TEST_F(Jtag, UnexpectedVerdictIsRefused) {
    send(Line(0x72, 16, {0xFE, 0xFE}));
    EXPECT_EQ(send(":"), "X");
    EXPECT_EQ(send("0100000500FA\r\n"), ".") << "the character started the next record";
}

TEST_F(Jtag, TdoAnswerEscapesEscAndZeroBytes) {
    start(TwoProms(0, 0x1B001B00));
    EXPECT_EQ(send(Line(0xF3, 32, {0x00})), kEscZero + kEscEsc + kEscZero + kEscEsc + "36" + kEscDot);
    send(".");
    start(TwoProms(0, 0));
    EXPECT_EQ(send(Line(0xF3, 32, {0x00})), kEscZero + kEscZero + kEscZero + kEscZero + kEscZero + kEscDot)
        << "the sum byte is escaped too";
    DeviceConfig plain = TwoProms(0, 0x1B001B00);
    plain.tdoEscapes = false;
    start(plain);
    EXPECT_EQ(send(Line(0xF3, 32, {0x00})), "001B001B36" + kEscDot);
}

TEST_F(Jtag, PromIdentificationLeastSignificantByteFirst) {
    send(":00000001FF\r\n");
    // The host reverses the byte order and shows 112233441234ABCD: PROM 1, then PROM 2.
    EXPECT_EQ(send("D8"), ".CDAB341244332211.");
    EXPECT_EQ(send("D9"), ".CDAB341244332211.");
}

TEST_F(Jtag, RefusalAndResendFaults) {
    DeviceConfig c = TwoProms();
    c.faults.refuseAt[FaultKind::Prom] = {2};
    start(c);
    EXPECT_EQ(send(":0100000500FA\r\n"), ".");
    EXPECT_EQ(send(":0100000500FA\r\n"), "X");
    EXPECT_EQ(send(":0100000500FA\r\n"), ".");
    c = TwoProms();
    c.faults.resendShare = 1.0;
    start(c);
    EXPECT_EQ(send(":0100000500FA\r\n"), "R");
    EXPECT_EQ(send(":010010630686\r\n"), "R");
    EXPECT_EQ(send(":00000001FF\r\n"), ".") << "an \"R\" to the end record would end the host's update";
}

TEST_F(Jtag, StraysOnlyBeforeTheDotThatEndsAStatement) {
    DeviceConfig c = TwoProms();
    c.faults.strayShare = 1.0;
    start(c);
    std::string done = send(":0100000500FA\r\n");
    EXPECT_GT(done.size(), 1u);
    EXPECT_EQ(Clean(done), ".");
    EXPECT_EQ(send(":010010630686\r\n"), kEscDot) << "the host takes ESC \".\" from the very start";
    EXPECT_EQ(Clean(send("341246")), ".");
    EXPECT_EQ(send(Line(0x72, 16, {0xFE, 0xFE})), "010102" + kEscDot)
        << "the TDO answer is decoded from its start";
}

class SlowJtag : public ::testing::Test {
protected:
    void start(DeviceConfig c) {
        bench = std::make_unique<Bench>(c);
        bench->connect();
    }
    std::unique_ptr<Bench> bench;
};

TEST_F(SlowJtag, AcknowledgesFastThenTalksSlowUntilTheEndRecord) {
    start({});
    EXPECT_EQ(bench->send("S8"), ".");
    ASSERT_EQ(bench->emissions().size(), 1u);
    EXPECT_EQ(bench->emissions()[0].baud, kFastBaud);
    EXPECT_EQ(bench->device().lineSpeed(), kSlowBaud);
    EXPECT_EQ(bench->send("P8", kSlowBaud), ".");
    EXPECT_EQ(bench->emissions()[0].baud, kSlowBaud);
    EXPECT_EQ(bench->send(":0100000500FA\r\n", kSlowBaud), ".");
    EXPECT_EQ(bench->send(":00000001FF\r\n", kSlowBaud), ".");
    EXPECT_EQ(bench->emissions()[0].baud, kSlowBaud) << "the last answer still goes slow";
    EXPECT_EQ(bench->device().lineSpeed(), kFastBaud);
}

TEST_F(SlowJtag, StrictSpeedLosesBytesSentAtTheWrongSpeed) {
    DeviceConfig c;
    c.strictSpeed = true;
    start(c);
    EXPECT_EQ(bench->send("S9", kFastBaud), ".");
    EXPECT_EQ(bench->send("P9", kFastBaud), "") << "the host forgot to slow down";
    EXPECT_EQ(bench->send("P9", kSlowBaud), ".");
    EXPECT_EQ(bench->send(":00000001FF\r\n", kSlowBaud), ".");
    EXPECT_EQ(bench->send("NP", kSlowBaud), "") << "the host forgot to speed up again";
    EXPECT_EQ(bench->send("NP", kFastBaud), ".");
    EXPECT_FALSE(bench->device().takeNotes().empty());
}

TEST_F(SlowJtag, SilentAboutThePAfterTheSlowStartWhenAsked) {
    DeviceConfig c;
    c.answerSlowP = false;
    start(c);
    EXPECT_EQ(bench->send("S8"), ".");
    EXPECT_EQ(bench->send("P8"), "");
    EXPECT_EQ(bench->send(":0100000500FA\r\n"), ".");
}

TEST_F(SlowJtag, OtherCommandInsteadOfTheExpectedP) {
    start({});
    bench->send("S8");
    EXPECT_EQ(bench->send("T0"), "I");
}

} // namespace
} // namespace vz::emu::test

// Boot area and keyboard bank programming: erase, HEX lines, flash semantics,
// checksum records and the faults of the loaders.
#include "test_host.h"

#include <gtest/gtest.h>

namespace vz::emu::test {
namespace {

class Flash : public ::testing::Test {
protected:
    explicit Flash(DeviceConfig c = {}) : bench(c) { bench.connect(); }
    // Command and erase, ready for lines.
    void start(const char* command) {
        ASSERT_EQ(bench.send(command), ".");
        ASSERT_EQ(bench.wait(50 * kMillisecond), ".");
    }
    Bench bench;
};

TEST_F(Flash, EraseTakesItsTimeThenAcknowledges) {
    EXPECT_EQ(bench.send("PB"), ".");
    EXPECT_EQ(bench.wait(49 * kMillisecond), "");
    EXPECT_EQ(bench.wait(1 * kMillisecond), ".");
}

TEST_F(Flash, BootUploadWithChecksum) {
    start("PB");
    std::vector<std::string> lines{RecordText(0x00, 0x4000, {0x01, 0x02, 0x03, 0x04}),
                                   RecordText(0x00, 0x5FFE, {0xAA, 0x55}), ":00000001FF"};
    EXPECT_EQ(bench.send(lines[0] + "\r\n"), ".");
    EXPECT_EQ(bench.send(lines[0] + "\r\n"), ".") << "line 0 comes twice; writing it again changes nothing";
    EXPECT_EQ(bench.send(lines[1] + "\r\n"), ".");
    EXPECT_EQ(bench.send(lines[2] + "\r\n"), ".");
    const Bytes& boot = bench.device().memory().boot;
    EXPECT_EQ(boot[0], 0x01);
    EXPECT_EQ(boot[3], 0x04);
    EXPECT_EQ(boot[4], 0xFF);
    EXPECT_EQ(boot[0x1FFF], 0x55);
    EXPECT_EQ(bench.send(ChecksumLine(ImageSum(lines, 0x4000, 0x5FFF))), ".");
    EXPECT_EQ(bench.device().mode(), Device::Mode::Command);
}

TEST_F(Flash, DataOverUnerasedDataShowsAsChecksumError) {
    start("P0");
    EXPECT_EQ(bench.send(Line(0x00, 0x0100, {0xF0})), ".");
    EXPECT_EQ(bench.send(Line(0x00, 0x0100, {0x0F})), ".");
    EXPECT_EQ(bench.device().memory().banks[0][0x100], 0x00) << "a write only clears bits";
    std::vector<std::string> file{RecordText(0x00, 0x0100, {0xF0}), RecordText(0x00, 0x0100, {0x0F})};
    EXPECT_EQ(bench.send(ChecksumLine(ImageSum(file, 0x0000, 0x7FFF))), "X")
        << "the host's sum assumes the later record won";
}

TEST_F(Flash, BadLinesAreAskedForAgain) {
    start("P2");
    std::string good = RecordText(0x00, 0x8000, {0xAB, 0xCD});
    std::string bad = good;
    bad.back() = bad.back() == '0' ? '1' : '0';
    EXPECT_EQ(bench.send(bad + "\r\n"), "R") << "record checksum wrong";
    EXPECT_EQ(bench.device().memory().banks[2][0], 0xFF) << "nothing written";
    EXPECT_EQ(bench.send(good + "\n"), "R") << "no CR before the LF";
    std::string lower = good;
    for (auto& ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(bench.send(lower + "\r\n"), "R") << "lower-case digits";
    EXPECT_EQ(bench.send("\r\n"), "R") << "empty line";
    EXPECT_EQ(bench.send(good.substr(0, 9) + "\r\n"), "R") << "shorter than its count";
    EXPECT_EQ(bench.send(good + "\r\n"), ".");
    EXPECT_EQ(bench.device().memory().banks[2][1], 0xCD);
}

TEST_F(Flash, HalfLineFollowedBySilenceIsAskedForAgain) {
    start("P1");
    EXPECT_EQ(bench.send(":1080000"), "");
    EXPECT_EQ(bench.wait(kPartialSilence - 1), "");
    EXPECT_EQ(bench.wait(1), "R");
    EXPECT_EQ(bench.send(Line(0x00, 0x8000, {0x00})), ".") << "and the next line starts afresh";
}

TEST_F(Flash, OtherRecordTypesAreAcceptedWithoutWriting) {
    start("P0");
    EXPECT_EQ(bench.send(Line(0x04, 0x0000, {0x00, 0x01})), ".");
    EXPECT_EQ(bench.send(Line(0x01, 0x0000, {})), ".");
    EXPECT_EQ(bench.send(ChecksumLine(0x8000)), ".") << "32768 x 0xFF: the bank is still blank";
}

TEST_F(Flash, BanksCoverTheirHalfOfTheAddressSpace) {
    start("P3");
    EXPECT_EQ(bench.send(Line(0x00, 0xFFFF, {0x00})), ".");
    EXPECT_EQ(bench.device().memory().banks[3][0x7FFF], 0x00);
    EXPECT_EQ(bench.send(Line(0x00, 0x7FFF, {0x00})), "X") << "below 0x8000 is not bank 3";
    start("P0");
    EXPECT_EQ(bench.send(Line(0x00, 0x7FFE, {0x00, 0x00})), ".");
    EXPECT_EQ(bench.send(ChecksumLine(static_cast<std::uint16_t>(0x8000 - 2 * 0xFF))), ".");
    start("PB");
    EXPECT_EQ(bench.send(Line(0x00, 0x3FFF, {0x00})), "X") << "outside 0x4000-0x5FFF";
}

TEST_F(Flash, ErasedBankLosesItsOldContents) {
    start("P5");
    bench.send(Line(0x00, 0x9000, {0x00}));
    EXPECT_EQ(bench.send(ChecksumLine(0)), "X") << "the upload ends with its checksum record";
    start("P5");
    EXPECT_EQ(bench.device().memory().banks[5][0x1000], 0xFF);
    EXPECT_EQ(bench.device().memory().banks[4][0x1000], 0xFF) << "other banks untouched";
}

TEST_F(Flash, GarbledChecksumRecord) {
    start("P6");
    std::string garbled = RecordText(0x0C, 0, {0x80, 0x00});
    garbled.back() = garbled.back() == '0' ? '1' : '0';
    EXPECT_EQ(bench.send(garbled + "\r\n"), "R") << "the keyboard engine sends its record again";
    EXPECT_EQ(bench.send(ChecksumLine(0x8000)), ".");
    start("PB");
    EXPECT_EQ(bench.send(garbled + "\r\n"), "X") << "the boot engine would never resend it";
    EXPECT_EQ(bench.device().mode(), Device::Mode::Command);
}

TEST_F(Flash, HostBytesDuringTheEraseWaitForIt) {
    ASSERT_EQ(bench.send("P7"), ".");
    std::string line = Line(0x00, 0x8000, {0x11});
    EXPECT_EQ(bench.send(line), "");
    EXPECT_EQ(bench.wait(50 * kMillisecond), "..");
    EXPECT_EQ(bench.device().memory().banks[7][0], 0x11);
}

class FlashFaults : public ::testing::Test {
protected:
    static std::vector<std::string> File() {
        std::vector<std::string> lines;
        for (int i = 0; i < 40; ++i)
            lines.push_back(RecordText(0x00, static_cast<std::uint16_t>(0x4000 + 4 * i), {1, 2, 3, 4}));
        lines.push_back(":00000001FF");
        return lines;
    }
    // Answers to the lines of File() sent once each after the erase.
    static std::string Answers(DeviceConfig c) {
        Bench bench(c);
        bench.connect();
        bench.send("PB");
        bench.wait(c.eraseTime);
        std::string answers;
        for (const auto& l : File())
            answers += bench.send(l + "\r\n");
        return answers;
    }
};

TEST_F(FlashFaults, ResendShareIsDeterministicPerSeed) {
    DeviceConfig c;
    c.faults.resendShare = 0.5;
    c.faults.seed = 7;
    std::string first = Answers(c);
    EXPECT_EQ(first, Answers(c));
    EXPECT_NE(first.find('R'), std::string::npos);
    EXPECT_NE(first.find('.'), std::string::npos);
    c.faults.seed = 8;
    EXPECT_NE(first, Answers(c));
}

TEST_F(FlashFaults, EveryGoodLineButTheFirstCanBeAskedAgain) {
    DeviceConfig c;
    c.faults.resendShare = 1.0;
    std::string answers = Answers(c);
    EXPECT_EQ(answers, "." + std::string(File().size() - 1, 'R'));
}

TEST_F(FlashFaults, ResendsStillEndInTheRightImage) {
    DeviceConfig c;
    c.faults.resendShare = 0.2;
    Bench bench(c);
    bench.connect();
    MiniHost host(bench);
    auto lines = File();
    EXPECT_EQ(host.programFlash("PB", lines, 0x4000, 0x5FFF), ".");
    EXPECT_GT(host.resends(), 0);
    EXPECT_EQ(bench.device().memory().boot[4 * 39 + 3], 4);
}

TEST_F(FlashFaults, BootChecksumRecordIsNeverAskedAgain) {
    DeviceConfig c;
    c.faults.resendShare = 1.0;
    Bench bench(c);
    bench.connect();
    bench.send("PB");
    bench.wait(c.eraseTime);
    bench.send(Line(0x01, 0, {}));
    EXPECT_EQ(bench.send(ChecksumLine(0xE000)), ".");
}

TEST_F(FlashFaults, RefusalsAtChosenOccurrences) {
    DeviceConfig c;
    c.faults.refuseAt[FaultKind::Bank] = {2};
    c.faults.refuseAt[FaultKind::Erase] = {2};
    c.faults.refuseAt[FaultKind::Checksum] = {1};
    Bench bench(c);
    bench.connect();
    EXPECT_EQ(bench.send("P0"), ".");
    EXPECT_EQ(bench.wait(c.eraseTime), ".");
    EXPECT_EQ(bench.send(Line(0x00, 0, {0})), ".");
    EXPECT_EQ(bench.send(Line(0x00, 1, {0})), "X") << "second bank line";
    EXPECT_EQ(bench.send("P1"), ".");
    EXPECT_EQ(bench.wait(c.eraseTime), "X") << "second erase";
    EXPECT_EQ(bench.send("P1"), ".");
    EXPECT_EQ(bench.wait(c.eraseTime), ".");
    EXPECT_EQ(bench.send(ChecksumLine(0x8000)), "X") << "first checksum, although it matches";
    EXPECT_EQ(bench.send("P1"), ".");
    EXPECT_EQ(bench.wait(c.eraseTime), ".");
    EXPECT_EQ(bench.send(ChecksumLine(0x8000)), ".");
}

} // namespace
} // namespace vz::emu::test

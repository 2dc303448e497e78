// TAP controller moves, the PROM registers and the player's scans on the chain.
#include "emulator/jtag_chain.h"
#include "emulator/jtag_record.h"

#include <gtest/gtest.h>

namespace vz::emu {
namespace {

TEST(Tap, FiveOnesResetFromEveryState) {
    for (int s = 0; s < kTapStateCount; ++s) {
        TapState state = static_cast<TapState>(s);
        for (int i = 0; i < 5; ++i)
            state = NextTapState(state, true);
        EXPECT_EQ(state, TapState::Reset) << TapStateName(static_cast<TapState>(s));
    }
}

TEST(Tap, ShortestPathsTakeTheStandardRoutes) {
    EXPECT_EQ(TmsPath(TapState::Idle, TapState::DrShift), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(TmsPath(TapState::Idle, TapState::IrShift), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(TmsPath(TapState::DrExit1, TapState::Idle), (std::vector<bool>{true, false}));
    EXPECT_EQ(TmsPath(TapState::DrExit1, TapState::DrPause), (std::vector<bool>{false}));
    EXPECT_EQ(TmsPath(TapState::Reset, TapState::Reset), (std::vector<bool>{}));
    // From a pause back to capture goes through update: a new scan is a whole scan.
    TapState s = TapState::DrPause;
    bool updated = false;
    for (bool tms : TmsPath(TapState::DrPause, TapState::DrCapture)) {
        s = NextTapState(s, tms);
        updated |= s == TapState::DrUpdate;
    }
    EXPECT_EQ(s, TapState::DrCapture);
    EXPECT_TRUE(updated);
}

class Chain : public ::testing::Test {
protected:
    Chain() : chain({0xAAAA5555, 0x0F0F0F0F}, {&memory.proms[0], &memory.proms[1]}), player(chain) {}

    JtagOutcome scan(bool ir, int length, Bytes tdi, bool start = true, bool end = true) {
        JtagCommand c;
        c.kind = JtagCommand::Kind::Scan;
        c.instructionRegister = ir;
        c.length = length;
        c.tdi = std::move(tdi);
        c.start = start;
        c.end = end;
        c.wantTdo = true;
        return player.execute(c);
    }
    // PROM 1 gets `prom1`, PROM 2 BYPASS.
    void instruction(std::uint8_t prom1) { ASSERT_TRUE(scan(true, 16, {0xFF, prom1}).ok); }
    void runTest(std::uint32_t clocks) {
        JtagCommand c;
        c.kind = JtagCommand::Kind::RunTest;
        c.clocks = clocks;
        ASSERT_TRUE(player.execute(c).ok);
    }
    // A page for PROM 1: the bypass bit of PROM 2 first, then the page bits.
    static Bytes PageStream(const Bytes& page) {
        Bytes stream(kPageBytes + 1, 0);
        for (int k = 0; k < kPageBits; ++k)
            if ((page[static_cast<std::size_t>(k / 8)] >> (k % 8)) & 1)
                stream[static_cast<std::size_t>((k + 1) / 8)] |=
                    static_cast<std::uint8_t>(1 << ((k + 1) % 8));
        return stream;
    }

    DeviceMemory memory;
    JtagChain chain;
    JtagPlayer player;
};

TEST_F(Chain, AddressProgramAndReadBackAPage) {
    instruction(kInstErase);
    runTest(0);
    EXPECT_EQ(memory.proms[0][0], 0xFF);
    memory.proms[0][0] = 0x00;
    runTest(1);
    EXPECT_EQ(memory.proms[0][0], 0xFF) << "erase needs at least one clock in IDLE";

    instruction(kInstAddress);
    ASSERT_TRUE(scan(false, 17, {0x02 << 1, 0x00, 0x00}).ok) << "word address 2";
    EXPECT_EQ(chain.prom(0).wordAddress(), 2);

    Bytes page(kPageBytes);
    for (int i = 0; i < kPageBytes; ++i)
        page[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7);
    instruction(kInstProgram);
    ASSERT_TRUE(scan(false, kPageBits + 1, PageStream(page)).ok);
    EXPECT_EQ(memory.proms[0][4], page[0]) << "word 2 is byte 4";
    EXPECT_EQ(memory.proms[0][4 + kPageBytes - 1], page.back());
    EXPECT_EQ(memory.proms[0][3], 0xFF);
    EXPECT_EQ(chain.prom(0).wordAddress(), 2 + kPageWords) << "the address moves on by a page";
    EXPECT_EQ(memory.proms[1][4], 0xFF) << "PROM 2 was in BYPASS";

    instruction(kInstAddress);
    scan(false, 17, {0x02 << 1, 0x00, 0x00});
    instruction(kInstRead);
    JtagOutcome read = scan(false, kPageBits + 1, Bytes(kPageBytes + 1, 0));
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.tdo, PageStream(page)) << "the bypass bit (0) first, then the page";
}

TEST_F(Chain, ProgrammingClearsBitsOnly) {
    instruction(kInstErase);
    runTest(10);
    instruction(kInstProgram);
    scan(false, kPageBits + 1, PageStream(Bytes(kPageBytes, 0xF0)));
    instruction(kInstAddress);
    scan(false, 17, {0, 0, 0});
    instruction(kInstProgram);
    scan(false, kPageBits + 1, PageStream(Bytes(kPageBytes, 0x3C)));
    EXPECT_EQ(memory.proms[0][0], 0x30);
}

TEST_F(Chain, PiecesMakeOneScan) {
    Bytes page(kPageBytes);
    for (int i = 0; i < kPageBytes; ++i)
        page[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i);
    Bytes stream = PageStream(page);
    instruction(kInstErase);
    runTest(1);
    instruction(kInstProgram);
    // 1 + 512 + 512 bits: the bypass bit, then the two halves of the page.
    Bytes first{stream[0]};
    Bytes middle(kPageBytes / 2), last(kPageBytes / 2 + 1);
    for (int k = 0; k < 512; ++k) {
        auto src = static_cast<std::size_t>(k + 1);
        if ((stream[src / 8] >> (src % 8)) & 1)
            middle[static_cast<std::size_t>(k / 8)] |= static_cast<std::uint8_t>(1 << (k % 8));
        auto src2 = static_cast<std::size_t>(k + 513);
        if ((stream[src2 / 8] >> (src2 % 8)) & 1)
            last[static_cast<std::size_t>(k / 8)] |= static_cast<std::uint8_t>(1 << (k % 8));
    }
    ASSERT_TRUE(scan(false, 1, first, true, false).ok);
    EXPECT_EQ(chain.state(), TapState::DrShift);
    ASSERT_TRUE(scan(false, 512, middle, false, false).ok);
    EXPECT_EQ(memory.proms[0][0], 0xFF) << "nothing written before the update";
    ASSERT_TRUE(scan(false, 512, last, false, true).ok);
    EXPECT_EQ(chain.state(), TapState::Idle);
    EXPECT_EQ(Bytes(memory.proms[0].begin(), memory.proms[0].begin() + kPageBytes), page);
}

TEST_F(Chain, ScansOutOfOrderAreRefused) {
    EXPECT_FALSE(scan(false, 8, {0}, false, true).ok) << "continuation with no scan open";
    ASSERT_TRUE(scan(false, 8, {0}, true, false).ok);
    EXPECT_FALSE(scan(false, 8, {0}, true, true).ok) << "a new scan while one is open";
    EXPECT_FALSE(scan(true, 8, {0}, false, true).ok) << "instruction piece inside a data scan";
    EXPECT_FALSE(scan(false, 16, {0}).ok) << "too few TDI bits";
}

TEST_F(Chain, StatePathsMustBeWalkable) {
    JtagCommand c;
    c.kind = JtagCommand::Kind::State;
    c.path = {TapState::Reset,     TapState::Idle,    TapState::DrSelect,
              TapState::DrCapture, TapState::DrExit1, TapState::DrPause};
    EXPECT_TRUE(player.execute(c).ok);
    EXPECT_EQ(chain.state(), TapState::DrPause);
    c.path = {TapState::IrPause};
    EXPECT_TRUE(player.execute(c).ok) << "a stable state is reached by the shortest way";
    EXPECT_EQ(chain.state(), TapState::IrPause);
    c.path = {TapState::DrShift};
    EXPECT_FALSE(player.execute(c).ok);
    c.path = {TapState::IrExit2, TapState::IrUpdate};
    EXPECT_FALSE(player.execute(c).ok) << "the path must end in a stable state";
}

TEST_F(Chain, ResetBringsBackIdcode) {
    instruction(kInstProgram);
    EXPECT_EQ(chain.prom(0).instruction(), kInstProgram);
    EXPECT_EQ(chain.prom(1).instruction(), kInstBypass);
    JtagCommand c;
    c.kind = JtagCommand::Kind::State;
    c.path = {TapState::Reset};
    player.execute(c);
    EXPECT_EQ(chain.prom(0).instruction(), kInstIdcode);
    EXPECT_EQ(chain.chainIdcode(), 0xAAAA55550F0F0F0Full);
}

TEST(JtagRecords, DecodeTheWorkedExamples) {
    auto decode = [](const char* line) { return DecodeJtagRecord(ParseRecordLine(line).record); };
    DecodedRecord r = decode(":040000040001ADB09A");
    ASSERT_EQ(r.kind, DecodedRecord::Kind::Command);
    EXPECT_EQ(r.command.clocks, 110000u);
    r = decode(":020000050001F8");
    EXPECT_EQ(r.command.path, (std::vector<TapState>{TapState::Reset, TapState::Idle}));
    r = decode(":010020F300EC");
    ASSERT_EQ(r.kind, DecodedRecord::Kind::Command);
    EXPECT_TRUE(r.command.wantTdo && r.command.start && r.command.end);
    EXPECT_EQ(r.command.length, 32);
    EXPECT_EQ(r.command.tdi, Bytes(4, 0x00));
    r = decode(":010010730676");
    ASSERT_EQ(r.kind, DecodedRecord::Kind::NeedBlock);
    EXPECT_EQ(r.blockLength, 6);
    EXPECT_EQ(decode(":00000001FF").kind, DecodedRecord::Kind::End);
    EXPECT_EQ(CheckDataBlock("341246"), (Bytes{0x34, 0x12}));
    EXPECT_FALSE(CheckDataBlock("341245"));
    EXPECT_FALSE(CheckDataBlock("34124"));
}

} // namespace
} // namespace vz::emu

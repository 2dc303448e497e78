// The sample package, played through the device and checked with verify-dump.
#include "test_host.h"

#include "emulator/package.h"
#include "emulator/prom.h"
#include "emulator/state_file.h"
#include "emulator/verify_dump.h"
#include "formats/svf_convert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace vz::emu::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vzdevice-package-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Plays what script.ini programs, the way the updater would, and dumps the device.
    void playScript(const fs::path& model, Bench& bench) {
        MiniHost host(bench);
        for (const auto& raw : ReadLines(model / "script.ini")) {
            if (raw.rfind("P", 0) != 0) continue;
            std::string command = raw.substr(0, 2);
            auto lines = ReadLines(model / raw.substr(3));
            if (command == "P8" || command == "P9") {
                ASSERT_EQ(host.playEffect(command[1], lines), ".") << raw;
            } else {
                std::uint32_t first = command == "PB" ? 0x4000 : command == "P0" ? 0x0000 : 0x8000;
                std::uint32_t last = command == "PB" ? 0x5FFF : first + 0x7FFF;
                ASSERT_EQ(host.programFlash(command, lines, first, last), ".") << raw;
            }
        }
        WriteDump((dir / "dump").string(), bench.device().memory());
    }

    fs::path dir;
};

TEST_F(Package, EveryModelFolderHasItsFiles) {
    WritePackage(dir.string(), true);
    for (const Model& m : Models()) {
        fs::path folder = dir / std::string(m.folder);
        for (const char* f :
             {"script.ini", "readid.ini", "boot.hex", "bank0.hex", "bank7.hex", "prom1.svf", "prom2.svf"})
            EXPECT_TRUE(fs::exists(folder / f)) << folder / f;
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_EQ(entry.path().filename().string().find("rem"), std::string::npos);
    }
    auto readid = ReadLines(dir / "KRA350" / "readid.ini");
    EXPECT_EQ(std::vector<std::string>(readid.begin() + 1, readid.end()),
              (std::vector<std::string>{"D0", "D8", "D9"}));
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Every file of `a` has an identical twin in `b`, and `b` has no others.
void ExpectSameTree(const fs::path& a, const fs::path& b) {
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(a)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        fs::path twin = b / fs::relative(entry.path(), a);
        EXPECT_EQ(FileText(entry.path()), FileText(twin)) << twin;
    }
    std::size_t others = 0;
    for (const auto& entry : fs::recursive_directory_iterator(b))
        others += entry.is_regular_file();
    EXPECT_EQ(files, others);
    EXPECT_GT(files, 0u);
}

TEST_F(Package, WritingTwiceGivesTheSameBytes) {
    WritePackage((dir / "a").string(), true);
    WritePackage((dir / "b").string(), true);
    ExpectSameTree(dir / "a", dir / "b");
}

TEST_F(Package, CommittedSmallSampleIsUpToDate) {
    WritePackage((dir / "now").string(), true);
    ExpectSameTree(dir / "now", fs::path(VZ_SOURCE_DIR) / "examples" / "sample-small");
}

TEST(PackageFiles, FullSizeHexFilesCoverTheirMemories) {
    auto boot = HexFileLines(BootImage(1, false), kBootBase);
    ASSERT_EQ(boot.size(), kBootSize / 16 + 1);
    EXPECT_EQ(boot.front().substr(0, 9), ":10400000");
    EXPECT_EQ(boot[boot.size() - 2].substr(0, 7), ":105FF0");
    EXPECT_EQ(boot.back(), ":00000001FF");
    auto bank = HexFileLines(BankImage(1, 3, false), 0x8000);
    ASSERT_EQ(bank.size(), kBankSize / 16 + 1);
    EXPECT_EQ(bank[bank.size() - 2].substr(0, 7), ":10FFF0");
    for (const auto& l : bank)
        EXPECT_EQ(ParseRecordLine(l).check, RecordCheck::Good) << l;
    EXPECT_NE(BankImage(1, 3, false), BankImage(1, 4, false));
}

TEST(PackageFiles, EffectFilesKeepToTheAcceptedSubset) {
    const Model& model = ModelByCode(1);
    auto lines = EffectFileLines(model, 1, PromImage(1, 1, false), DeviceConfig{}.promIds);
    const std::set<std::string> keywords{"TRST", "ENDIR", "ENDDR", "STATE", "RUNTEST",
                                         "SIR",  "SDR",   "SDRS",  "SDRC",  "SDRE"};
    int dataBlocks = 0, fills = 0;
    for (const auto& l : lines) {
        if (l.rfind("//", 0) == 0) continue;
        EXPECT_EQ(l.back(), ';') << l;
        EXPECT_TRUE(keywords.count(l.substr(0, l.find(' ')))) << l;
        for (char ch : l)
            EXPECT_FALSE(ch >= 'a' && ch <= 'z') << l;
        SvfStatement s = ReadSvfStatement(l);
        ASSERT_NE(s.kind, SvfStatement::Kind::Error) << l << ": " << s.problem;
        if (s.kind != SvfStatement::Kind::Command || s.command.kind != JtagCommand::Kind::Scan) continue;
        EXPECT_LE(s.command.length, 512) << l;
        if (s.command.instructionRegister) continue;
        std::string hex = l.substr(l.find('(') + 1, l.find(')') - l.find('(') - 1);
        (hex.find_first_not_of(hex[0]) == std::string::npos ? fills : dataBlocks)++;
    }
    EXPECT_GT(dataBlocks, 2 * 40) << "48 pages, two halves each, a few of them blank";
    EXPECT_GT(fills, 4);
}

TEST_F(Package, SmallPackagePlaysAndVerifies) {
    WritePackage((dir / "pkg").string(), true);
    DeviceConfig c;
    c.eraseTime = 0;
    Bench bench(c);
    bench.connect();
    ASSERT_NO_FATAL_FAILURE(playScript(dir / "pkg" / "KRA350", bench));
    DumpReport report = VerifyDump((dir / "pkg" / "KRA350").string(), (dir / "dump").string());
    EXPECT_TRUE(report.ok) << report.text;
    EXPECT_NE(report.text.find("prom2.bin: as programmed"), std::string::npos) << report.text;
    EXPECT_EQ(report.text.substr(report.text.size() - 3), "OK\n");
    // The same check made on the device's own memories, as devices in a row report it.
    const ExpectedMemories expected = ExpectedFromScript((dir / "pkg" / "KRA350").string());
    EXPECT_TRUE(MemoriesAsProgrammed(expected, bench.device().memory()));
    EXPECT_FALSE(MemoriesAsProgrammed(expected, DeviceMemory{}));
}

TEST_F(Package, VerifyDumpNamesTheDifference) {
    WritePackage((dir / "pkg").string(), true);
    DeviceConfig c;
    c.eraseTime = 0;
    Bench bench(c);
    bench.connect();
    ASSERT_NO_FATAL_FAILURE(playScript(dir / "pkg" / "KRB350", bench));
    {
        std::fstream bank(dir / "dump" / "bank5.bin", std::ios::in | std::ios::out | std::ios::binary);
        bank.seekp(0x10);
        bank.put('\x5A');
    }
    fs::remove(dir / "dump" / "prom1.bin");
    DumpReport report = VerifyDump((dir / "pkg" / "KRB350").string(), (dir / "dump").string());
    EXPECT_FALSE(report.ok);
    EXPECT_NE(report.text.find("bank5.bin: 1 bytes differ, first at 0x8010"), std::string::npos)
        << report.text;
    EXPECT_NE(report.text.find("prom1.bin: cannot open"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("bank4.bin: as programmed"), std::string::npos) << report.text;
    EXPECT_EQ(report.text.substr(report.text.size() - 10), "DIFFERENT\n");
}

TEST_F(Package, VerifyDumpSeesAPromThatWasNeverProgrammed) {
    WritePackage((dir / "pkg").string(), true);
    WriteDump((dir / "dump").string(), DeviceMemory{});
    DumpReport report = VerifyDump((dir / "pkg" / "KRT120").string(), (dir / "dump").string());
    EXPECT_FALSE(report.ok);
    auto prom = report.text.find("prom1.bin: ");
    ASSERT_NE(prom, std::string::npos) << report.text;
    EXPECT_EQ(report.text.find("bytes differ", prom), report.text.find(' ', prom + 11) + 1) << report.text;
}

TEST_F(Package, FullSizeModelPlaysAndVerifies) {
    WritePackage((dir / "pkg").string(), false);
    DeviceConfig c;
    c.eraseTime = 0;
    Bench bench(c);
    bench.connect();
    ASSERT_NO_FATAL_FAILURE(playScript(dir / "pkg" / "KRA350_256", bench));
    DumpReport report = VerifyDump((dir / "pkg" / "KRA350_256").string(), (dir / "dump").string());
    EXPECT_TRUE(report.ok) << report.text;
    ExpectedMemories expected = ExpectedFromScript((dir / "pkg" / "KRA350_256").string());
    ASSERT_TRUE(expected.proms[0] && expected.proms[1]);
    // The images went through the vendor-style sources and the converter.
    for (int prom = 0; prom < 2; ++prom) {
        const Bytes& memory = *expected.proms[static_cast<std::size_t>(prom)];
        const Bytes image = PromImage(5, prom, false);
        EXPECT_EQ(Bytes(memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(image.size())), image)
            << prom;
        EXPECT_EQ(memory[image.size()], 0xFF) << "beyond the programmed words the PROM stays blank";
    }
}

} // namespace
} // namespace vz::emu::test

namespace vz::emu::test {
namespace {

// What the converter writes for end states and waits the device takes in its own
// way is walkable by the device's player, and the scans still read the identifiers.
TEST(ConvertedSvf, DetoursAndWaitsPlayOnTheChain) {
    std::istringstream svf("STATE RESET; ENDIR DRPAUSE; ENDDR IRPAUSE; SIR 16 TDI (fefe);\n"
                           "SDR 64 TDI (0) TDO (f5046093f5045093) MASK (0fffffff0fffffff);\n"
                           "RUNTEST 10 TCK ENDSTATE DRPAUSE; TRST ON; TRST OFF; STATE IDLE;");
    std::ostringstream effect;
    SvfConvertOptions options;
    SvfConvertSummary summary;
    std::vector<std::string> problems;
    ASSERT_TRUE(ConvertSvf(svf, effect, nullptr, options, summary, problems)) << problems.front();
    DeviceMemory memory;
    JtagChain chain(DeviceConfig{}.promIds, {&memory.proms[0], &memory.proms[1]});
    JtagPlayer player(chain);
    std::istringstream lines(effect.str());
    std::vector<TapState> after;
    for (std::string line; std::getline(lines, line);) {
        SvfStatement s = ReadSvfStatement(line);
        ASSERT_NE(s.kind, SvfStatement::Kind::Error) << line << ": " << s.problem;
        if (s.kind != SvfStatement::Kind::Command) continue;
        JtagOutcome outcome = player.execute(s.command);
        ASSERT_TRUE(outcome.ok) << line << ": " << outcome.problem;
        if (s.command.wantTdo) {
            for (std::size_t k = 0; k < s.expectedTdo.size(); ++k)
                EXPECT_EQ(outcome.tdo[k] & s.mask[k], s.expectedTdo[k] & s.mask[k]) << line;
        }
        after.push_back(chain.state());
    }
    // SIR ends in DRPAUSE, SDR in IRPAUSE, the wait in DRPAUSE, TRST ON in RESET.
    EXPECT_EQ(after,
              (std::vector<TapState>{TapState::Reset, TapState::Reset, TapState::Reset, TapState::IrPause,
                                     TapState::DrPause, TapState::DrPause, TapState::IrPause, TapState::Idle,
                                     TapState::DrPause, TapState::Reset, TapState::Idle}));
}

} // namespace
} // namespace vz::emu::test

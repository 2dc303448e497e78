// Bad scripts and bad data files in a whole run: each ends the way the table in
// docs/robustness.md says, with its exact text, or goes through unharmed.
#include "app/core/updater_core.h"
#include "tests/app/recording_face.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace vz {
namespace {

using testing::RecordingFace;
using testing::ScriptedLink;

const char kCompleted[] = "Program operation completed";

class BadInputs : public ::testing::Test {
protected:
    std::filesystem::path root_ =
        std::filesystem::temp_directory_path() / ("vz_bad_inputs_" + std::to_string(std::random_device{}()));
    RecordingFace face_;
    ScriptedLink* link_ = nullptr;
    std::uint32_t now_ = 1000;
    std::unique_ptr<TUpdaterCore> core_;

    // Also called again inside a test, for a fresh run on a fresh core.
    void SetUp() override {
        face_ = RecordingFace{};
        std::filesystem::create_directories(root_ / "pkg");
        auto link = std::make_unique<ScriptedLink>();
        link_ = link.get();
        EngineClock clock{[this] { return now_; }};
        core_ = std::make_unique<TUpdaterCore>(face_, std::move(link), clock);
        face_.core = core_.get();
        core_->FormCreate();
        core_->SetScriptArgument(Dir() + "script.ini");
        core_->SequencerStep();
        // A KRB350 accepting the first type number.
        link_->onRun = "%";
        Expect("%", ".");
        Expect("21", ".00001002000015.");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string Dir() const { return (root_ / "pkg" / "").string(); }
    void Write(const std::string& name, const std::string& content) {
        std::ofstream(root_ / "pkg" / name, std::ios::binary) << content;
    }
    void Expect(const std::string& sent, const std::string& reply) { link_->script.push_back({sent, reply}); }

    // Runs until idle; returns the text of the error box, or kCompleted.
    std::string Run() {
        core_->StartClick();
        for (int i = 0; i < 20000 && core_->State() != TSequencerState::Idle; ++i) {
            link_->Tick();
            if (!link_->pendingRx.empty()) {
                core_->DataReceived();
            } else {
                now_ += 10;
                core_->SequencerStep();
            }
        }
        EXPECT_EQ(core_->State(), TSequencerState::Idle) << "the run did not end";
        core_->SequencerStep();
        if (!face_.errorBoxes.empty()) return face_.errorBoxes.back();
        const bool completed =
            std::find(face_.memo.begin(), face_.memo.end(), kCompleted) != face_.memo.end();
        return completed ? kCompleted : "neither completed nor failed";
    }
    bool Shown(const std::string& line) const {
        return std::find(face_.memo.begin(), face_.memo.end(), line) != face_.memo.end();
    }
};

// ---------------------------------------------------------------- scripts

struct ScriptCase {
    const char* name;
    std::string script;
    std::string outcome; // the error box, or kCompleted
};

void PrintTo(const ScriptCase& c, std::ostream* out) {
    *out << c.name;
}

class BadScripts : public BadInputs, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(BadScripts, EndAsTheTableSays) {
    Write("script.ini", GetParam().script);
    Expect("FI", ".");
    EXPECT_EQ(Run(), GetParam().outcome);
    EXPECT_EQ(core_->ErrorCode(),
              GetParam().outcome == kCompleted ? TErrorCode::none : TErrorCode::syntax_error);
    EXPECT_TRUE(link_->unexpected.empty()) << link_->unexpected.front();
}

const std::string kLongText(1 << 20, 'x');
const std::string kBinary = [] {
    const char bytes[] = "\x7f"
                         "ELF\x02\x01\x01\0\0\0\x03\0>\0\x01\xff\xfe\r\x1b\x80\n\x05";
    return std::string(bytes, sizeof bytes - 1);
}();

INSTANTIATE_TEST_SUITE_P(
    Table, BadScripts,
    ::testing::Values(
        ScriptCase{"Empty", "", kCompleted},
        ScriptCase{"BlankLinesTabsAndLoneCr", "\r\n   \r\n\t\t\r\r\n \n", kCompleted},
        ScriptCase{"CommentsOnly", "rem a\n   rem indented\nremark\n", kCompleted},
        ScriptCase{"UnknownWord", "\n\nBOGUS\n", "Syntax Error in script file line : 3"},
        ScriptCase{"UpperCaseRem", "rem ok\nREM not a comment\n", "Syntax Error in script file line : 2"},
        ScriptCase{"LowerCaseCommand", "rs\n", "Syntax Error in script file line : 1"},
        ScriptCase{"LetterWithoutComponent", "P\n", "Syntax Error in script file line : 1"},
        ScriptCase{"ComponentThatIsNoDigit", "PX file.hex\n", "Syntax Error in script file line : 1"},
        ScriptCase{"IdentifierWithoutDigit", "D\n", "Syntax Error in script file line : 1"},
        ScriptCase{"BinaryFile", kBinary, "Syntax Error in script file line : 1"},
        ScriptCase{"ByteOrderMark", "\xEF\xBB\xBFrem saved by an editor\n",
                   "Syntax Error in script file line : 1"},
        ScriptCase{"VeryLongUnknownLine", "rem\n" + kLongText + "\n", "Syntax Error in script file line : 2"},
        ScriptCase{"VeryLongPrompt", "prompt " + kLongText + "\n", kCompleted},
        ScriptCase{"WaitWithoutNumber", "wait abc\n", "Bad wait time in script line : wait abc"},
        ScriptCase{"NegativeWait", "wait -5\n", "Bad wait time in script line : wait -5"},
        ScriptCase{"WaitPastTheLargestCount", "wait 4294967296\n",
                   "Bad wait time in script line : wait 4294967296"},
        ScriptCase{"VersionWithoutComponent", "V\n", "Missing component in script line : V"},
        ScriptCase{"VersionQueryWithoutComponent", "T\n", "Missing component in script line : T"},
        ScriptCase{"VersionWithoutText", "V1   \n", "Missing version in script line : V1"},
        ScriptCase{"TextCommandWithoutText", "UV\n", "Missing text in script line : UV"},
        ScriptCase{"OptionTextWithoutText", "OP \t\n", "Missing text in script line : OP"}),
    [](const ::testing::TestParamInfo<ScriptCase>& info) { return std::string(info.param.name); });

TEST_F(BadInputs, LongPromptIsShownWhole) {
    Write("script.ini", "prompt " + kLongText + "\n");
    Expect("FI", ".");
    EXPECT_EQ(Run(), kCompleted);
    EXPECT_TRUE(Shown(kLongText));
}

TEST_F(BadInputs, ScriptArgumentNamingADirectory) {
    std::filesystem::create_directories(root_ / "pkg" / "script.ini");
    EXPECT_EQ(Run(), Dir() + "script.ini File not found !!!");
}

// ---------------------------------------------------------------- HEX files

TEST_F(BadInputs, MissingDirectoryOrUnnamedHexFileIsNotFound) {
    std::filesystem::create_directories(root_ / "pkg" / "dir.hex");
    for (const auto& [line, path] :
         std::vector<std::pair<std::string, std::string>>{{"PB missing.hex", Dir() + "missing.hex"},
                                                          {"PB dir.hex 1A2B", Dir() + "dir.hex 1A2B"},
                                                          {"PB", Dir()},
                                                          {"P3 dir.hex", Dir() + "dir.hex"},
                                                          {"P3", Dir()}}) {
        SetUp();
        Write("script.ini", line + "\n");
        EXPECT_EQ(Run(), path + " File not found !!!") << line;
        // Nothing reached the device: no erase was asked for.
        EXPECT_EQ(link_->sent.size(), 2u) << line;
    }
}

TEST_F(BadInputs, EmptyHexFileIsReportedAfterTheErase) {
    Write("empty.hex", "");
    Write("script.ini", "PB empty.hex\n");
    Expect("PB", "..");
    EXPECT_EQ(Run(), "Boot File Empty !!!");
    SetUp();
    Write("script.ini", "P2 empty.hex\n");
    Expect("P2", "..");
    EXPECT_EQ(Run(), "Keyb File Empty !!!");
    EXPECT_EQ(core_->ErrorCode(), TErrorCode::file_not_found);
}

// What the device answers decides the kind of fault the run ends with.
TEST_F(BadInputs, DeviceRefusalsEndWithTheirCodes) {
    Write("k.hex", ":048000000102030472\r\n");
    const std::string line = ":048000000102030472\r\n";
    const struct {
        std::vector<ScriptedLink::Exchange> device; // after the synchronisation
        TErrorCode code;
    } cases[] = {
        {{{"P3", ".X"}}, TErrorCode::write_error},
        {{{"P3", ".."}, {line, "."}, {line, "."}, {":0200000C7C0E68\r\n", "X"}},
         TErrorCode::checksum_mismatch},
        {{{"RS", "I"}}, TErrorCode::refused},
        {{}, TErrorCode::wrong_model}, // the type number is never answered
    };
    for (const auto& c : cases) {
        SetUp();
        Write("script.ini", c.code == TErrorCode::refused ? "RS\n" : "P3 k.hex\n");
        if (c.code == TErrorCode::wrong_model) link_->script.back().reply.clear();
        link_->script.insert(link_->script.end(), c.device.begin(), c.device.end());
        Run();
        EXPECT_EQ(core_->ErrorCode(), c.code) << ErrorCodeName(c.code);
        EXPECT_TRUE(link_->script.empty()) << ErrorCodeName(c.code);
    }
}

// Lines that are no sound records go out exactly as they stand: the device judges
// them. The checksum counts what can be read and drops bytes past 0xFFFF.
TEST_F(BadInputs, FaultyHexLinesAreSentUnchangedAndSummedAsRead) {
    const std::vector<std::string> lines{
        ":10400000AABB",                // truncated: skipped by the sum
        ":0240000001zz",                // "zz" reads as 00; overwritten by the next record
        ":0440000001020304B2",          // 01 02 03 04 at 0x4000
        ":02400400ab12A8",              // lower-case digits read as 0: stores 00 12 at 0x4004
        std::string("\x01\xff\x02", 3), // binary: not a record
        ":00000001FF"};
    std::string file;
    for (const std::string& line : lines)
        file += line + "\r\n";
    Write("odd.hex", file);
    Write("script.ini", "PB odd.hex\n");
    Expect("PB", "..");
    Expect(lines[0] + "\r\n", ".");
    for (const std::string& line : lines)
        Expect(line + "\r\n", ".");
    // Sum over 0x4000-0x5FFF: 01 02 03 04 00 12 and 8186 bytes of 0xFF.
    Expect(":0200000CDA22F6\r\n", ".");
    Expect("FI", ".");
    EXPECT_EQ(Run(), kCompleted);
    EXPECT_TRUE(link_->unexpected.empty()) << link_->unexpected.front();
}

TEST_F(BadInputs, BytesPastTheTopOfTheAddressSpaceAreNotSummed) {
    // Bank 5 covers 0x8000-0xFFFF: the record's last byte would lie at 0x10000.
    Write("top.hex", ":02FFFF001122CD\r\n");
    Write("script.ini", "P5 top.hex\n");
    Expect("P5", "..");
    Expect(":02FFFF001122CD\r\n", ".");
    Expect(":02FFFF001122CD\r\n", ".");
    // 32767 bytes of 0xFF and 0x11.
    Expect(":0200000C7F1261\r\n", ".");
    Expect("FI", ".");
    EXPECT_EQ(Run(), kCompleted);
    EXPECT_TRUE(link_->unexpected.empty()) << link_->unexpected.front();
}

TEST_F(BadInputs, LineTheDeviceNeverAcceptsEndsAfterThreeHundredResends) {
    Write("bad.hex", ":10400000AABB\r\n");
    Write("script.ini", "P0 bad.hex\n");
    Expect("P0", "..");
    for (int i = 0; i < 301; ++i)
        Expect(":10400000AABB\r\n", "R");
    EXPECT_EQ(Run(), "Too Many Transmission Error !!!");
    EXPECT_EQ(core_->ErrorCode(), TErrorCode::too_many_resends);
    EXPECT_TRUE(link_->script.empty());
}

// ---------------------------------------------------------------- Effect files

TEST_F(BadInputs, MissingUnreadableOrEmptyEffectFile) {
    std::filesystem::create_directories(root_ / "pkg" / "dir.svf");
    Write("empty.svf", "");
    struct Case {
        std::string line;
        std::string error;
        std::string reply; // the device's answer to "P8"
    };
    for (const Case& c : std::vector<Case>{{"P8 missing.svf", Dir() + "missing.svf File not found !!!", ""},
                                           {"P8 dir.svf", Dir() + "dir.svf File not found !!!", ""},
                                           {"P8", Dir() + " File not found !!!", ""},
                                           {"P8 empty.svf", "Effect File Empty !!!", "."}}) {
        SetUp();
        Write("script.ini", c.line + "\n");
        Expect("P8", c.reply);
        EXPECT_EQ(Run(), c.error) << c.line;
        EXPECT_EQ(core_->ErrorCode(), TErrorCode::file_not_found) << c.line;
        // "P8" went out before the file was looked at.
        EXPECT_TRUE(link_->script.empty()) << c.line;
    }
}

TEST_F(BadInputs, EffectFileOfCommentsOnlyEndsAtOnce) {
    Write("c.svf", "// one\r\n   // two\r\nTRST ON;\r\n");
    Write("script.ini", "P9 c.svf\n");
    Expect("P9", ".");
    Expect(":00000001FF\r\n", ".");
    Expect("FI", ".");
    EXPECT_EQ(Run(), kCompleted);
    EXPECT_TRUE(Shown("Updating Prom Devices"));
}

struct StatementCase {
    const char* name;
    std::string statement;
};

void PrintTo(const StatementCase& c, std::ostream* out) {
    *out << c.name;
}

class BadStatements : public BadInputs, public ::testing::WithParamInterface<StatementCase> {};

// The bad statement is line 3, after a comment and a sound statement that the
// device has carried out; nothing after it is sent.
TEST_P(BadStatements, StopTheUpdateAtTheirLine) {
    Write("bad.svf", "// PROM 1\r\nSTATE RESET;\r\n" + GetParam().statement + "\r\nSTATE RESET;\r\n");
    Write("script.ini", "P8 bad.svf\n");
    Expect("P8", ".");
    Expect(":0100000500FA\r\n", ".");
    EXPECT_EQ(Run(), "Error in Effect file line : 3");
    EXPECT_TRUE(link_->unexpected.empty()) << link_->unexpected.front();
    EXPECT_TRUE(link_->script.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadStatements,
    ::testing::Values(StatementCase{"EmptyLine", ""}, StatementCase{"BlankLine", "   \t"},
                      StatementCase{"UnknownKeyword", "FREQUENCY 1E6 HZ;"},
                      StatementCase{"LowerCaseKeyword", "sir 8 tdi (fe);"},
                      StatementCase{"EndStateWithoutSemicolon", "ENDIR IDLE"},
                      StatementCase{"EndStateNotStable", "ENDIR DRPAUSE;"},
                      StatementCase{"RunTestWithoutTck", "RUNTEST 100;"},
                      StatementCase{"RunTestWithoutSemicolon", "RUNTEST 100 TCK"},
                      StatementCase{"RunTestNegative", "RUNTEST -1 TCK;"},
                      StatementCase{"RunTestNoNumber", "RUNTEST x TCK;"},
                      StatementCase{"RunTestPastInt32", "RUNTEST 2147483648 TCK;"},
                      StatementCase{"RunTestWithState", "RUNTEST IDLE 100 TCK;"},
                      StatementCase{"UnknownState", "STATE RESET BOGUS;"},
                      StatementCase{"StateWithoutSemicolon", "STATE RESET IDLE"},
                      StatementCase{"ScanKeywordAlone", "SIR"}, StatementCase{"ScanWithoutLength", "SDR ;"},
                      StatementCase{"ScanLongerThan512", "SIR 513 TDI (00);"},
                      StatementCase{"ScanNegativeLength", "SDR -8 TDI (00);"},
                      StatementCase{"ScanWithoutSemicolon", "SIR 8 TDI (00)"},
                      StatementCase{"ScanMissingParenthesis", "SIR 8 TDI (00;"},
                      StatementCase{"ScanUnknownPart", "SIR 8 TDX (00);"},
                      StatementCase{"DataScanWithoutTdi", "SDR 8 TDO (00);"},
                      StatementCase{"OddNumberOfDigits", "SDR 8 TDI (123);"},
                      StatementCase{"NoHexDigit", "SDR 16 TDI (12G4);"},
                      StatementCase{"BlankInsideDigits", "SIR 16 TDI (12 34);"},
                      StatementCase{"DataBlockPast255",
                                    "SDR 512 TDI (" + std::string(126, '1') + std::string(128, '2') + ");"},
                      StatementCase{"InstructionPast255Bytes",
                                    "SIR 512 TDI (" + std::string(512, '1') + ");"},
                      StatementCase{"BinaryLine", std::string("\x01\xfe\x80SIR\x7f", 7)},
                      StatementCase{"VeryLongLine", "SDR 8 TDI (" + std::string(100000, 'G') + ");"}),
    [](const ::testing::TestParamInfo<StatementCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace vz

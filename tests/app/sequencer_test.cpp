#include "app/core/updater_core.h"
#include "tests/app/recording_face.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vz {
namespace {

using testing::RecordingFace;
using testing::ScriptedLink;
using Lines = std::vector<std::string>;

const char kIdle[] = "Click on button START to begin program operation";
const char kSync[] = "Start the device while pushing the ENTER button";
const std::string kSep(1, static_cast<char>(std::filesystem::path::preferred_separator));

class SequencerTest : public ::testing::Test {
protected:
    std::filesystem::path root_ = vz::testing::UniqueTempPath("vz_sequencer_test");
    RecordingFace face_;
    ScriptedLink* link_ = nullptr;
    std::uint32_t now_ = 1000;
    std::unique_ptr<TUpdaterCore> core_;

    void SetUp() override {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        auto link = std::make_unique<ScriptedLink>();
        link_ = link.get();
        EngineClock clock{[this] { return now_; }};
        core_ = std::make_unique<TUpdaterCore>(face_, std::move(link), clock);
        face_.core = core_.get();
        core_->SetRootDir(root_.string());
        core_->FormCreate();
        core_->SequencerStep();
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    void WriteFile(const std::string& relative, const std::string& content) {
        const auto path = root_ / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }

    // A KRA350 refusing 21 and taking 18, with options 2 and identifier 8012.
    void ExpectKra350Sync() {
        link_->onRun = "%";
        link_->script.push_back({"%", "."});
        link_->script.push_back({"21", "X"});
        link_->script.push_back({"18", ".ABCD8012000212."});
    }
    void Expect(const std::string& sent, const std::string& reply) { link_->script.push_back({sent, reply}); }

    // Steps like the timer and the data path until the sequencer is idle again.
    void RunToIdle(int maxSteps = 5000) {
        for (int i = 0; i < maxSteps; ++i) {
            now_ += 10;
            core_->SequencerStep();
            link_->Tick();
            if (!link_->pendingRx.empty()) core_->DataReceived();
            if (core_->State() == TSequencerState::Idle) {
                core_->SequencerStep();
                return;
            }
        }
        FAIL() << "run did not end, state " << int(core_->State());
    }
};

TEST_F(SequencerTest, CompleteRunShowsEveryStepAndEndsIdle) {
    WriteFile("KRA350/script.ini",
              "rem sample\r\nprompt Hello operator\r\n\r\nRS\r\nV1 0105\r\nT2 0105\r\nwait 20\r\n");
    ExpectKra350Sync();
    Expect("RS", ".");
    Expect("V1", ".");
    Expect("0105", ".");
    Expect("T2", ".0104.");
    Expect("FI", ".");
    core_->StartClick();
    RunToIdle();
    EXPECT_EQ(face_.memo,
              (Lines{kIdle, kSync, "Verify Device Type", "Boot Checksum : 4BCD", "Device ID : 8012",
                     "Hello operator", "Reset", "Program operation completed", kIdle}));
    EXPECT_TRUE(link_->unexpected.empty()) << link_->unexpected.front();
    EXPECT_TRUE(link_->script.empty());
    EXPECT_TRUE(face_.errorBoxes.empty());
    EXPECT_EQ(core_->Title(), "Zentrik Vorna-Zadod Updater  (Device KRA350  Option Logo  Id : 8012)");
    EXPECT_EQ(core_->ScriptDir(), root_.string() + kSep + kSep + "KRA350" + kSep);
    // Maximum: 1 + the lines that are not empty and hold no "rem"; every run line and the sync step it.
    EXPECT_EQ(core_->ProgressBar2().Max, 6);
    EXPECT_EQ(core_->ProgressBar2().Position, 6);
    EXPECT_FALSE(core_->RunPace());
    EXPECT_FALSE(link_->running);
    EXPECT_EQ(link_->speeds.front(), "fast");
    // START, STOP during the run, QUIT for one step, then START again.
    ASSERT_GE(face_.captions.size(), 3u);
    EXPECT_EQ(face_.captions[face_.captions.size() - 2], "QUIT");
    EXPECT_EQ(face_.captions.back(), "START");
    EXPECT_TRUE(core_->Controls().QuitEnabled);
}

TEST_F(SequencerTest, LineNumbersOfSyntaxErrorsCountEveryLine) {
    WriteFile("KRA350/script.ini", "rem x\n\n   \nNP\nREM upper case is no comment\n");
    ExpectKra350Sync();
    Expect("NP", ".");
    core_->StartClick();
    RunToIdle();
    EXPECT_EQ(face_.errorBoxes, Lines{"Syntax Error in script file line : 5"});
    EXPECT_EQ(face_.memo[face_.memo.size() - 2], "Syntax Error in script file line : 5");
    // An error leaves Quit disabled until a run completes or is stopped.
    EXPECT_FALSE(core_->Controls().QuitEnabled);
}

TEST_F(SequencerTest, MissingScriptNamesItsFullPath) {
    ExpectKra350Sync();
    core_->StartClick();
    RunToIdle();
    const std::string path = root_.string() + kSep + kSep + "KRA350" + kSep + "script.ini";
    EXPECT_EQ(face_.errorBoxes, Lines{path + " File not found !!!"});
}

TEST_F(SequencerTest, MissingScriptOfASearchedRootSaysWhereItLooked) {
    core_->SetRootDir(root_.string(), "no update package found beside the program (/usr/bin/)");
    ExpectKra350Sync();
    core_->StartClick();
    RunToIdle();
    const std::string path = root_.string() + kSep + kSep + "KRA350" + kSep + "script.ini";
    EXPECT_EQ(face_.errorBoxes,
              Lines{path + " File not found !!! (no update package found beside the program (/usr/bin/))"});
}

TEST_F(SequencerTest, ScriptArgumentMovesEveryDataFile) {
    WriteFile("elsewhere/mine.ini", "PB boot.hex\n");
    core_->SetScriptArgument((root_ / "elsewhere" / "mine.ini").string());
    ExpectKra350Sync();
    core_->StartClick();
    RunToIdle();
    EXPECT_EQ(core_->ScriptDir(), (root_ / "elsewhere").string() + kSep);
    EXPECT_EQ(face_.errorBoxes, Lines{(root_ / "elsewhere").string() + kSep + "boot.hex File not found !!!"});
}

TEST_F(SequencerTest, StopDuringALineResetsEverything) {
    WriteFile("KRA350/script.ini", "wait 100000\n");
    ExpectKra350Sync();
    core_->StartClick();
    for (int i = 0; i < 200; ++i) {
        now_ += 10;
        core_->SequencerStep();
        link_->Tick();
        if (!link_->pendingRx.empty()) core_->DataReceived();
    }
    ASSERT_EQ(core_->State(), TSequencerState::LineRunning);
    EXPECT_TRUE(core_->InstEngine().Busy());
    EXPECT_FALSE(core_->Controls().QuitEnabled);
    core_->StartClick();
    core_->SequencerStep();
    EXPECT_FALSE(core_->InstEngine().Busy());
    EXPECT_EQ(core_->InstEngine().Step(), 0);
    EXPECT_FALSE(link_->running);
    EXPECT_TRUE(core_->Controls().QuitEnabled);
    EXPECT_EQ(face_.memo.back(), kIdle);
    EXPECT_TRUE(face_.errorBoxes.empty());
}

// A station starts the next device's run as soon as the last one has ended, before
// the idle step comes round: an engine parked by the last error must take its lines.
TEST_F(SequencerTest, RunStartedRightAfterAnErrorFindsTheEnginesReset) {
    WriteFile("KRA350/script.ini", "NP\n");
    ExpectKra350Sync();
    Expect("NP", "I");
    core_->StartClick();
    for (int i = 0; i < 500 && core_->State() != TSequencerState::Idle; ++i) {
        now_ += 10;
        core_->SequencerStep();
        link_->Tick();
        if (!link_->pendingRx.empty()) core_->DataReceived();
    }
    ASSERT_EQ(core_->ErrorMessage(), "Instruction unknown");
    link_->sent.clear(); // the next device calls
    ExpectKra350Sync();
    Expect("NP", ".");
    Expect("FI", ".");
    core_->StartClick();
    RunToIdle();
    EXPECT_EQ(core_->Outcome(), TRunOutcome::Completed) << core_->ErrorMessage();
}

TEST_F(SequencerTest, ManualModeTurnsDeselectedComponentsIntoNoOps) {
    WriteFile("KRA350/script.ini", "P 3 k.hex\n V8 0101\nF\t9\nD0\nprompt done\nPB\n");
    face_.choices.manual = true;
    face_.choices.keyb = face_.choices.prom1 = face_.choices.prom2 = false;
    ExpectKra350Sync();
    Expect("NP", ".");
    Expect("NP", ".");
    Expect("NP", ".");
    Expect("D0", ".4F.");
    core_->StartClick();
    RunToIdle();
    EXPECT_EQ(face_.errorBoxes,
              Lines{root_.string() + kSep + kSep + "KRA350" + kSep + " File not found !!!"});
    EXPECT_EQ(core_->ScriptLines(), (Lines{"NP", "NP", "NP", "D0", "prompt done", "PB"}));
    EXPECT_TRUE(link_->unexpected.empty());
}

TEST_F(SequencerTest, SameVersionSkipsTheWholeKeyboardOrOnePromDevice) {
    WriteFile("KRA350/script.ini", "T3 0105\nP 0 k.hex\nV5 0105\nF8\nT9 0200\nP  9 b.svf\nF9\n");
    ExpectKra350Sync();
    Expect("T3", ".0105.");
    Expect("NP", ".");
    Expect("NP", ".");
    Expect("F8", ".");
    Expect("T9", ".0200.");
    Expect("NP", ".");
    Expect("NP", ".");
    Expect("FI", ".");
    core_->StartClick();
    RunToIdle();
    EXPECT_TRUE(face_.errorBoxes.empty()) << face_.errorBoxes.front();
    EXPECT_EQ(core_->ScriptLines(), (Lines{"T3 0105", "NP", "NP", "F8", "T9 0200", "NP", "NP"}));
    EXPECT_TRUE(link_->unexpected.empty());
}

TEST_F(SequencerTest, Krb350IdentifierPicksTheVariantsDirectory) {
    // Both KRB350 variants answer type 21; a long reply reports both records.
    struct Case {
        std::string reply;
        std::uint8_t model;
        std::string directory;
    };
    for (const Case& c : std::vector<Case>{{".00008001000015.", 6, "KRB350_256"},
                                           {".00008001.", 6, "KRB350_256"},
                                           {".00001002000015.", 2, "KRB350"},
                                           {".00001002.", 2, "KRB350"}}) {
        SetUp();
        WriteFile(c.directory + "/script.ini", "prompt variant\n");
        link_->onRun = "%";
        Expect("%", ".");
        Expect("21", c.reply);
        Expect("FI", ".");
        core_->StartClick();
        RunToIdle();
        EXPECT_TRUE(face_.errorBoxes.empty()) << c.reply << ": " << face_.errorBoxes.front();
        EXPECT_EQ(core_->ModelCode(), c.model) << c.reply;
        EXPECT_TRUE(core_->Title().starts_with("Zentrik Vorna-Zadod Updater  (Device KRB350 ")) << c.reply;
        EXPECT_TRUE(core_->ScriptDir().ends_with(kSep + c.directory + kSep)) << c.reply;
    }
}

TEST_F(SequencerTest, ReadIdRunsTheReadIdScript) {
    WriteFile("KRA350/readid.ini", "D0\n");
    ExpectKra350Sync();
    Expect("D0", ".4F.");
    Expect("FI", ".");
    core_->ReadIdClick();
    RunToIdle();
    EXPECT_TRUE(face_.errorBoxes.empty()) << face_.errorBoxes.front();
    EXPECT_EQ(face_.memo[face_.memo.size() - 3], "ID Number : 4F");
    EXPECT_TRUE(core_->ReadIdMode());
}

TEST_F(SequencerTest, ChosenModelAndPortReachTheEnginesAndLink) {
    face_.choices.menuModel = 3;
    face_.choices.port = 4;
    face_.choices.slow = true;
    link_->onRun = "%";
    Expect("%", ".");
    Expect("22", "X");
    core_->StartClick();
    RunToIdle();
    EXPECT_EQ(link_->port, 4);
    EXPECT_EQ(core_->MenuModel(), 3);
    EXPECT_EQ(face_.errorBoxes, Lines{"Bad type of device !!! If you attempt to update a VORNA-PLUS, Select "
                                      "manualy the model in the DEVICE menu."});
}

TEST_F(SequencerTest, LinkThatCannotRunEndsTheRun) {
    link_->refuseRun = true;
    core_->StartClick();
    RunToIdle();
    EXPECT_EQ(face_.errorBoxes, Lines{"Error while opening "});
    EXPECT_EQ(core_->ErrorCode(), TErrorCode::port_unusable);
}

TEST_F(SequencerTest, StatusLinesRepeatOnlyWhenTheyDiffer) {
    core_->ShowStatus("a");
    core_->ShowStatus("a");
    core_->ShowStatus("b");
    core_->ShowError(TErrorCode::internal, "b");
    EXPECT_EQ(face_.memo, (Lines{kIdle, "a", "b"}));
    EXPECT_EQ(core_->ErrorMessage(), "b");
    EXPECT_EQ(core_->State(), TSequencerState::Error);
}

TEST_F(SequencerTest, ReadIdAndQuitFollowTheCurrentDirectory) {
    EXPECT_FALSE(core_->Controls().ReadIdVisible);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(root_);
    WriteFile("readid.ini", "D0\n");
    core_->FormCreate();
    EXPECT_TRUE(core_->Controls().ReadIdVisible);
    EXPECT_TRUE(core_->Controls().QuitVisible);
    // Only a file counts.
    std::filesystem::remove(root_ / "readid.ini");
    std::filesystem::create_directory(root_ / "readid.ini");
    core_->FormCreate();
    std::filesystem::current_path(previous);
    EXPECT_FALSE(core_->Controls().ReadIdVisible);
}

TEST_F(SequencerTest, AdviceForASilentDeviceAndAPartlyProgrammedOne) {
    face_.choices.port = 4;
    core_->StartClick();
    for (int i = 0; i < 1100; ++i) {
        now_ += 10;
        core_->SequencerStep();
    }
    EXPECT_EQ(face_.advice, (Lines{"Waiting for the device on Com 4: power it up holding ENTER, or choose "
                                   "another port"}));
    core_->StartClick();
    core_->SequencerStep();
    EXPECT_EQ(face_.advice.size(), 1u) << "nothing was programmed";

    face_.advice.clear();
    WriteFile("KRA350/script.ini", "P 3 k.hex\n");
    WriteFile("KRA350/k.hex", ":00000001FF\n");
    ExpectKra350Sync();
    Expect("P3", ".");
    core_->StartClick();
    for (int i = 0; i < 50 && core_->Memo().back() != "Erase Bank3"; ++i) {
        now_ += 10;
        core_->SequencerStep();
        link_->Tick();
        if (!link_->pendingRx.empty()) core_->DataReceived();
    }
    core_->StartClick();
    EXPECT_EQ(face_.advice,
              (Lines{"The update stopped while programming keyboard bank 3: the device is partly "
                     "updated; run the update again before it is used"}));
}

TEST_F(SequencerTest, StartReadsStopAtOnceSoASecondClickStops) {
    WriteFile("KRA350/script.ini", "prompt x\n");
    core_->StartClick();
    EXPECT_EQ(core_->Controls().StartCaption, "STOP");
    EXPECT_TRUE(link_->running);
    core_->StartClick();
    core_->SequencerStep();
    EXPECT_EQ(core_->State(), TSequencerState::Idle);
    EXPECT_FALSE(link_->running);
    core_->ReadIdClick();
    EXPECT_TRUE(link_->running);
}

} // namespace
} // namespace vz

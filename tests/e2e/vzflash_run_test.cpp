// vzflash run as an operator would start it, against vzdevice on a pseudo-terminal.
#include "tests/e2e/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>

namespace vz::e2e {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class VzflashRun : public ::testing::Test {
protected:
    static inline fs::path base_;

    static void SetUpTestSuite() {
        base_ = fs::temp_directory_path() / ("vz_e2e_" + std::to_string(getpid()));
        fs::remove_all(base_);
        fs::create_directories(base_);
        Process make({VZDEVICE_PATH, "make-package", (base_ / "pkg").string(), "--small"});
        ASSERT_EQ(make.Wait(60), 0) << make.Err();
    }
    static void TearDownTestSuite() { fs::remove_all(base_); }

    fs::path Package() const { return base_ / "pkg"; }
    fs::path Dump() const {
        return base_ /
               ("dump-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }

    // Starts the device; returns the terminal path it prints first.
    std::string StartDevice(std::vector<std::string> extra = {}) {
        std::vector<std::string> argv{VZDEVICE_PATH, "--erase-ms", "0", "--dump", Dump().string()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        device_ = std::make_unique<Process>(argv);
        const std::string path = device_->ReadLine(10);
        EXPECT_FALSE(path.empty()) << device_->Err();
        return path;
    }

    int RunFlash(const std::string& port, std::vector<std::string> extra = {}, double seconds = 120) {
        std::vector<std::string> argv{VZFLASH_PATH, "run", "--root", Package().string(), "--port", port};
        argv.insert(argv.end(), extra.begin(), extra.end());
        flash_ = std::make_unique<Process>(argv);
        return flash_->Wait(seconds);
    }

    // The device's memories, written when it ends, against what the script programs.
    int VerifyDump(const std::string& model = "KRA350") {
        device_->Signal(SIGTERM);
        EXPECT_EQ(device_->Wait(20), 0);
        Process verify({VZDEVICE_PATH, "verify-dump", (Package() / model).string(), Dump().string()});
        const int status = verify.Wait(30);
        verifyOut_ = verify.Out();
        return status;
    }

    std::string LastLine() const {
        const auto lines = Lines(flash_->Out());
        return lines.empty() ? std::string() : lines.back();
    }

    std::unique_ptr<Process> device_;
    std::unique_ptr<Process> flash_;
    std::string verifyOut_;
};

TEST_F(VzflashRun, CompleteUpdateProgramsEveryMemory) {
    const std::string port = StartDevice();
    EXPECT_EQ(RunFlash(port, {"--quiet"}), 0) << flash_->Out() << flash_->Err();
    EXPECT_EQ(LastLine(), "Program operation completed");
    const auto lines = Lines(flash_->Out());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Start the device while pushing the ENTER button");
    EXPECT_NE(flash_->Out().find("\nDevice KRA350  Id : "), std::string::npos);
    EXPECT_NE(flash_->Out().find("\nUpdating Prom Devices\n"), std::string::npos);
    // One line of summary on stderr, nothing else.
    EXPECT_TRUE(
        flash_->Err().starts_with("Done: KRA350  Id : 1001; programmed the extended boot area, keyboard "
                                  "banks 0,1,2,3,4,5,6,7, Prom 1, Prom 2; "))
        << flash_->Err();
    EXPECT_EQ(std::count(flash_->Err().begin(), flash_->Err().end(), '\n'), 1);
    EXPECT_EQ(VerifyDump(), 0) << verifyOut_;
}

TEST_F(VzflashRun, LogHoldsWhatABugReportNeeds) {
    const std::string port = StartDevice();
    const std::string log = (base_ / "run.log").string();
    EXPECT_EQ(RunFlash(port, {"--quiet", "--read-id", "--log", log}), 0) << flash_->Out();
    std::ifstream file(log);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto lines = Lines(text);
    ASSERT_GE(lines.size(), 6u) << text;
    EXPECT_NE(lines[0].find(" head vzflash 2.6.0.6 on "), std::string::npos) << text;
    EXPECT_NE(text.find(" head port " + port + ", 57600 baud"), std::string::npos) << text;
    EXPECT_NE(text.find(" head device auto, mode auto, components keyb,prom1,prom2, speed fast"),
              std::string::npos);
    EXPECT_NE(text.find(" status Extract ID Keyb\n"), std::string::npos);
    EXPECT_NE(text.find(" H>D D0\n"), std::string::npos);
    EXPECT_TRUE(lines.back().ends_with(" exit status 0")) << text;
    std::size_t stops = 0;
    for (std::size_t at = 0; (at = text.find("link stop", at)) != std::string::npos; ++at)
        ++stops;
    EXPECT_EQ(stops, 1u) << text;
}

TEST_F(VzflashRun, ReaderThatGoesAwayDoesNotEndTheUpdate) {
    const std::string port = StartDevice();
    const std::string log = (base_ / "piped.log").string();
    // `head` leaves after the first line; the update must still run to its end.
    Process piped({"/bin/sh", "-c",
                   std::string(VZFLASH_PATH) + " run --root '" + Package().string() + "' --port '" + port +
                       "' --quiet --log '" + log + "' | head -n 1"});
    EXPECT_EQ(piped.Wait(120), 0) << piped.Err();
    std::ifstream file(log);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto lines = Lines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().ends_with(" exit status 0")) << text;
    EXPECT_EQ(VerifyDump(), 0) << verifyOut_;
}

TEST_F(VzflashRun, EffectFilesConvertedFromVendorSvfUpdateThePromsAlike) {
    for (const char* prom : {"prom1", "prom2"}) {
        const fs::path dir = Package() / "KRA350";
        const fs::path effect = dir / (std::string(prom) + ".svf");
        fs::remove(effect);
        Process convert(
            {VZFLASH_PATH, "convert", (dir / (std::string(prom) + "_source.svf")).string(), effect.string()});
        ASSERT_EQ(convert.Wait(30), 0) << convert.Err();
        EXPECT_NE(convert.Err().find("the device will receive"), std::string::npos) << convert.Err();
    }
    const std::string port = StartDevice();
    EXPECT_EQ(RunFlash(port, {"--quiet"}), 0) << flash_->Out() << flash_->Err();
    EXPECT_EQ(VerifyDump(), 0) << verifyOut_;
    EXPECT_NE(verifyOut_.find("prom1.bin: as programmed\nprom2.bin: as programmed\n"), std::string::npos)
        << verifyOut_;
}

TEST_F(VzflashRun, ReadIdShowsEveryIdentification) {
    const std::string port = StartDevice();
    EXPECT_EQ(RunFlash(port, {"--quiet", "--read-id"}), 0) << flash_->Out();
    EXPECT_NE(flash_->Out().find("Extract ID Keyb\nID Number : 4F\n"), std::string::npos) << flash_->Out();
    EXPECT_NE(flash_->Out().find("Extract Prom Devices ID\n"), std::string::npos);
}

TEST_F(VzflashRun, DeviceErrorEndsWithItsExactTextAndStatusOne) {
    const std::string port = StartDevice({"--fault-x", "erase:2"});
    EXPECT_EQ(RunFlash(port, {"--quiet"}), 1);
    EXPECT_EQ(LastLine(), "Error while erasing !!!");
}

TEST_F(VzflashRun, MissingScriptIsTheLastLineAfterTheIdentity) {
    const std::string port = StartDevice();
    const std::string script = (base_ / "none" / "script.ini").string();
    EXPECT_EQ(RunFlash(port, {"--quiet", script}), 1);
    const auto lines = Lines(flash_->Out());
    ASSERT_GE(lines.size(), 2u) << flash_->Out();
    EXPECT_EQ(lines.back(), script + " File not found !!!");
    EXPECT_TRUE(lines[lines.size() - 2].starts_with("Device KRA350  Id : ")) << flash_->Out();
}

TEST_F(VzflashRun, PortThatCannotOpenGivesStatusTwo) {
    EXPECT_EQ(RunFlash((base_ / "no-such-port").string(), {"--quiet"}), 2);
    EXPECT_NE(flash_->Err().find("no-such-port"), std::string::npos) << flash_->Err();
}

TEST_F(VzflashRun, SilentDeviceTimesOut) {
    const std::string port = StartDevice({"--fault-silence-after", "2000"});
    EXPECT_EQ(RunFlash(port, {"--quiet", "--timeout", "1"}, 60), 1);
    EXPECT_EQ(LastLine(), "No answer from the device within 1 s");
}

TEST_F(VzflashRun, InterruptStopsTheRunWithStatus130) {
    const std::string port = StartDevice({"--baud-pacing"});
    std::vector<std::string> argv{VZFLASH_PATH, "run", "--root", Package().string(),
                                  "--port",     port,  "--quiet"};
    flash_ = std::make_unique<Process>(argv);
    // Interrupt once the upload of the boot area has begun.
    for (int i = 0; i < 200 && flash_->ReadLine(0.1) != "Upload Extended Boot";)
        ++i;
    flash_->Signal(SIGINT);
    EXPECT_EQ(flash_->Wait(30), 130);
    // The command line has no START button to speak of; the device is left half programmed.
    EXPECT_EQ(flash_->Out().find("Click on button START"), std::string::npos);
    EXPECT_EQ(flash_->Err(),
              "The update stopped while programming the extended boot area: the device is partly "
              "updated; run the update again before it is used\n");
}

TEST_F(VzflashRun, ManualModeProgramsOnlyTheChosenComponents) {
    const std::string port = StartDevice();
    EXPECT_EQ(RunFlash(port, {"--quiet", "--mode", "manual", "--components", "prom2"}), 0) << flash_->Out();
    EXPECT_EQ(flash_->Out().find("Erase Bank"), std::string::npos);
    EXPECT_NE(flash_->Out().find("Updating Prom Devices"), std::string::npos);
}

TEST_F(VzflashRun, ResendsAtFivePercentStillGiveIdenticalMemories) {
    const std::string port = StartDevice({"--fault-resend", "0.05", "--seed", "3"});
    EXPECT_EQ(RunFlash(port, {"--quiet"}), 0) << flash_->Out();
    EXPECT_EQ(VerifyDump(), 0) << verifyOut_;
}

TEST_F(VzflashRun, ResendsPastTheLimitFail) {
    const std::string port = StartDevice({"--fault-resend", "1"});
    EXPECT_EQ(RunFlash(port, {"--quiet"}), 1);
    EXPECT_EQ(LastLine(), "Too Many Transmission Error !!!");
}

TEST_F(VzflashRun, DeviceRefusingEveryTypeIsNotUpdated) {
    const std::string port = StartDevice({"--refuse-type"});
    EXPECT_EQ(RunFlash(port, {"--quiet"}), 1);
    EXPECT_EQ(LastLine(),
              "Bad type of device !!! If you attempt to update a VORNA-PLUS, Select manualy the model "
              "in the DEVICE menu.");
}

TEST_F(VzflashRun, AdapterPulledOutMidUploadGivesStatusTwo) {
    const std::string port = StartDevice({"--hangup-after", "3000"});
    EXPECT_EQ(RunFlash(port, {"--quiet"}, 60), 2);
    EXPECT_NE(flash_->Err().find(port), std::string::npos) << flash_->Err();
}

} // namespace
} // namespace vz::e2e

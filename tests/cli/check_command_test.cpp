#include "app/cli/check_command.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vz::cli {
namespace {

class CheckCommand : public ::testing::Test {
protected:
    std::filesystem::path root_ = vz::testing::UniqueTempPath("vz_check_command_test");
    std::ostringstream out_;
    std::ostringstream err_;
    void SetUp() override {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "KRA350");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    void Write(const std::string& name, const std::string& content) {
        std::ofstream(root_ / "KRA350" / name, std::ios::binary) << content;
    }
    int Check() {
        CheckOptions options;
        options.root = root_.string();
        options.device = "KRA350";
        return RunCheck(options, out_, err_);
    }
    std::string Dir() const { return (root_ / "KRA350" / "").string(); }
};

TEST_F(CheckCommand, SoundPackagePasses) {
    Write("script.ini",
          "rem ok\r\nprompt hi\r\nwait 10\r\nPB boot.hex 1A2B\r\nP0 k0.hex\r\nP8 p.svf\r\nV8 0101\r\n");
    Write("boot.hex", ":0440000001020304B2\r\n:00000001FF\r\n");
    Write("k0.hex", ":0100000011EE\r\n:00000001FF\r\n");
    Write("p.svf", "// id\r\nSIR 8 TDI (fe);\r\n");
    EXPECT_EQ(Check(), 0) << out_.str();
    EXPECT_EQ(out_.str(), "OK: 1 script(s) checked, 0 fault(s)\n");
}

TEST_F(CheckCommand, HexDataOutsideTheCheckedRangeIsAFault) {
    Write("script.ini", "PB boot.hex\nP0 k0.hex\nP3 k3.hex\n");
    Write("boot.hex", ":0440000001020304B2\n:020000021000EC\n:00000001FF\n");
    Write("k0.hex", ":0100000011EE\n:0400000512345678E3\n:020000040000FA\n:00000001FF\n");
    Write("k3.hex", ":0100000011EE\n:00000001FF\n");
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(out_.str(),
              Dir() +
                  "boot.hex:2: extended segment address 1000 is not applied: the data after it are "
                  "summed at 16-bit addresses\n" +
                  Dir() +
                  "k3.hex:1: data at 0000-0000 lie outside 8000-FFFF, the range the checksum "
                  "covers\n1 script(s) checked, 2 fault(s)\n");
}

TEST_F(CheckCommand, ReportsEveryKindOfFaultWithItsLine) {
    Write("script.ini", "BOGUS\nwait abc\nV\nP1 missing.hex\nP0 k0.hex\nP9 p.svf\nP8 none.svf\n");
    Write("k0.hex", ":0100000011EF\n:0100000011\n:01000000xxEE\n\n");
    Write("p.svf", "STATE RESET;\nSIR 8 TDI (fe)\n");
    EXPECT_EQ(Check(), 1);
    const std::string text = out_.str();
    const std::string script = Dir() + "script.ini";
    EXPECT_NE(text.find(script + ":1: no instruction takes this line: BOGUS"), std::string::npos) << text;
    EXPECT_NE(text.find(script + ":2: "), std::string::npos);
    EXPECT_NE(text.find(script + ":3: "), std::string::npos);
    EXPECT_NE(text.find(script + ":4: " + Dir() + "missing.hex File not found !!!"), std::string::npos);
    EXPECT_NE(text.find(Dir() + "k0.hex:1: record checksum EF, expected EE"), std::string::npos);
    EXPECT_NE(text.find(Dir() + "k0.hex:2: length does not match its byte count"), std::string::npos);
    EXPECT_NE(text.find(Dir() + "k0.hex:3: character 'x' is not an upper-case hex digit"), std::string::npos);
    EXPECT_NE(text.find(Dir() + "k0.hex:4: not an Intel HEX record"), std::string::npos);
    EXPECT_NE(text.find(Dir() + "p.svf:2: translates to Error: SIR 8 TDI (fe)"), std::string::npos);
    EXPECT_NE(text.find(script + ":7: " + Dir() + "none.svf File not found !!!"), std::string::npos);
    EXPECT_NE(text.find("10 fault(s)"), std::string::npos) << text;
}

TEST_F(CheckCommand, MissingScript) {
    EXPECT_EQ(Check(), 1);
    EXPECT_NE(out_.str().find(Dir() + "script.ini File not found !!!"), std::string::npos);
}

TEST_F(CheckCommand, AutoFindsEveryModelDirectory) {
    Write("script.ini", "NP\n");
    std::filesystem::create_directories(root_ / "KRT120");
    std::ofstream(root_ / "KRT120" / "readid.ini") << "D8\n";
    CheckOptions options;
    options.root = root_.string();
    EXPECT_EQ(RunCheck(options, out_, err_), 0) << out_.str();
    EXPECT_EQ(out_.str(), "OK: 2 script(s) checked, 0 fault(s)\n");
}

} // namespace
} // namespace vz::cli

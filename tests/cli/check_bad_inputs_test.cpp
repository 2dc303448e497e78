// `vzflash check` on the bad inputs the robustness table lists that a run meets
// only after the device has been started: directories where files belong, empty
// files, binary files and a byte-order mark.
#include "app/cli/check_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace vz::cli {
namespace {

namespace fs = std::filesystem;

class CheckBadInputs : public ::testing::Test {
protected:
    fs::path root_ = fs::temp_directory_path() / ("vz_check_bad_" + std::to_string(std::random_device{}()));
    std::ostringstream out_;
    std::ostringstream err_;

    void SetUp() override { fs::create_directories(root_ / "KRA350"); }
    void TearDown() override { fs::remove_all(root_); }
    std::string Dir() const { return (root_ / "KRA350" / "").string(); }
    void Write(const std::string& name, const std::string& content) {
        std::ofstream(root_ / "KRA350" / name, std::ios::binary) << content;
    }
    int Check(const std::string& script) {
        CheckOptions options;
        options.script = script;
        return RunCheck(options, out_, err_);
    }
    bool Reported(const std::string& line) const { return out_.str().find(line + "\n") != std::string::npos; }
};

TEST_F(CheckBadInputs, DirectoriesEmptyAndBinaryFiles) {
    fs::create_directories(root_ / "KRA350" / "dir.hex");
    fs::create_directories(root_ / "KRA350" / "dir.svf");
    Write("empty.hex", "");
    Write("empty.svf", "");
    Write("bin.hex", std::string("\x7f"
                                 "ELF\x02\x01\0\0\xff\r\n",
                                 11));
    Write("script.ini", "PB dir.hex\r\nP1 dir.hex\r\nP8 dir.svf\r\nP2 empty.hex\r\nP9 empty.svf\r\n"
                        "P4 bin.hex\r\nPB\r\nP8\r\n\xEF\xBB\xBFrem saved with a mark\r\n");
    EXPECT_EQ(Check(Dir() + "script.ini"), 1);
    const std::string script = Dir() + "script.ini:";
    EXPECT_TRUE(Reported(script + "1: " + Dir() + "dir.hex File not found !!!")) << out_.str();
    EXPECT_TRUE(Reported(script + "2: " + Dir() + "dir.hex File not found !!!"));
    EXPECT_TRUE(Reported(script + "3: " + Dir() + "dir.svf File not found !!!"));
    EXPECT_TRUE(Reported(Dir() + "empty.hex: the file is empty"));
    EXPECT_TRUE(Reported(Dir() + "empty.svf: Effect File Empty !!!"));
    EXPECT_TRUE(Reported(Dir() + "bin.hex:1: not an Intel HEX record"));
    EXPECT_TRUE(Reported(script + "7: " + Dir() + " File not found !!!"));
    EXPECT_TRUE(Reported(script + "8: " + Dir() + " File not found !!!"));
    EXPECT_TRUE(Reported(script + "9: no instruction takes this line: \xEF\xBB\xBFrem saved with a mark"));
    EXPECT_TRUE(Reported("1 script(s) checked, 9 fault(s)"));
}

TEST_F(CheckBadInputs, ScriptThatIsADirectoryOrBinary) {
    fs::create_directories(root_ / "KRA350" / "script.ini");
    EXPECT_EQ(Check(Dir() + "script.ini"), 1);
    EXPECT_TRUE(Reported(Dir() + "script.ini File not found !!!")) << out_.str();

    Write("binary.ini", std::string("\x01\x02\x7f"
                                    "ELF\0\n\xfe\xff",
                                    10));
    EXPECT_EQ(Check(Dir() + "binary.ini"), 1);
    EXPECT_TRUE(Reported(Dir() + "binary.ini:1: no instruction takes this line: " +
                         std::string("\x7f"
                                     "ELF",
                                     4)))
        << out_.str();
    EXPECT_TRUE(Reported(Dir() + "binary.ini:2: no instruction takes this line: \xfe\xff"));
}

} // namespace
} // namespace vz::cli

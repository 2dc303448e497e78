#include "app/cli/convert_command.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vz::cli {
namespace {

namespace fs = std::filesystem;

class ConvertCommand : public ::testing::Test {
protected:
    fs::path dir_ = vz::testing::UniqueTempPath("vz_convert_command_test");
    std::ostringstream out_;
    std::ostringstream err_;
    void SetUp() override { fs::create_directories(dir_); }
    void TearDown() override { fs::remove_all(dir_); }
    ConvertOptions Options(const std::string& svf) {
        std::ofstream(dir_ / "in.svf", std::ios::binary) << svf;
        ConvertOptions o;
        o.input = (dir_ / "in.svf").string();
        o.output = (dir_ / "out.svf").string();
        return o;
    }
    static std::string Text(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(ConvertCommand, WritesTheEffectFileTheMapAndASummary) {
    ConvertOptions o = Options("FREQUENCY 1E6 HZ;\nSIR 8 TDI (fe);\nRUNTEST 1E-2 SEC;\n");
    o.map = (dir_ / "out.map").string();
    ASSERT_EQ(RunConvert(o, out_, err_), 0) << err_.str();
    EXPECT_EQ(Text(o.output), "// in.svf line 2\nSIR 8 TDI (FE);\nRUNTEST 10000 TCK;\n");
    EXPECT_EQ(Text(o.map), "1\t2\n2\t2\n3\t3\n");
    const std::string summary = err_.str();
    EXPECT_NE(summary.find("3 SVF statements in, 3 Effect lines out"), std::string::npos) << summary;
    // :01000862FE97, :0400000400002710C1 and :00000001FF with their line ends.
    EXPECT_NE(summary.find("the device will receive 49 bytes: 0.0 s at 57600 baud"), std::string::npos)
        << summary;
    EXPECT_TRUE(out_.str().empty());
}

TEST_F(ConvertCommand, WritesNothingWhenAStatementIsRefused) {
    ConvertOptions o = Options("SIR 8 TDI (fe);\nRUNTEST 1E-2 SEC;\n");
    std::ofstream(o.output) << "an older file stays as it was";
    EXPECT_EQ(RunConvert(o, out_, err_), 1);
    EXPECT_EQ(err_.str(), o.input +
                              ":2:1: RUNTEST in seconds needs the TCK rate: give --tck-hz (the file has no "
                              "FREQUENCY before it)\n" +
                              o.input + ": 1 problem(s), " + o.output + " not written\n");
    EXPECT_EQ(Text(o.output), "an older file stays as it was");
    EXPECT_FALSE(fs::exists(o.output + ".part"));

    o.input = (dir_ / "none.svf").string();
    EXPECT_EQ(RunConvert(o, out_, err_), 1);
    EXPECT_NE(err_.str().find(o.input + " File not found !!!\n"), std::string::npos);
}

// Everything in the directory but the named files.
std::vector<std::string> Others(const fs::path& dir, std::initializer_list<std::string> names) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(dir))
        if (std::find(names.begin(), names.end(), entry.path().filename().string()) == names.end())
            others.push_back(entry.path().filename().string());
    return others;
}

TEST_F(ConvertCommand, TemporaryFileNeverReplacesOrWritesThroughAnExistingName) {
    // An input named like the old temporary file is converted, not emptied.
    std::ofstream(dir_ / "x.svf.part", std::ios::binary) << "SIR 8 TDI (fe);\n";
    ConvertOptions o;
    o.input = (dir_ / "x.svf.part").string();
    o.output = (dir_ / "x.svf").string();
    o.traceEvery = 0;
    ASSERT_EQ(RunConvert(o, out_, err_), 0) << err_.str();
    EXPECT_EQ(Text(o.input), "SIR 8 TDI (fe);\n");
    EXPECT_EQ(Text(o.output), "SIR 8 TDI (FE);\n");

    // A link where the temporary file used to go: a failed conversion leaves its target alone.
    o = Options("SIR 8 TDI (fe);\nRUNTEST 1E-2 SEC;\n");
    std::ofstream(dir_ / "victim", std::ios::binary) << "kept";
    std::error_code ec;
    fs::create_symlink(dir_ / "victim", o.output + ".part", ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    EXPECT_EQ(RunConvert(o, out_, err_), 1);
    EXPECT_EQ(Text(dir_ / "victim"), "kept");
    EXPECT_TRUE(Others(dir_, {"x.svf.part", "x.svf", "in.svf", "victim", "out.svf.part"}).empty());
}

TEST_F(ConvertCommand, OutputOrMapNamingTheInputOrEachOtherIsRefusedBeforeWriting) {
    const std::string svf = "SIR 8 TDI (fe);\n";
    ConvertOptions o = Options(svf);
    o.output = (dir_ / "." / "in.svf").string();
    EXPECT_EQ(RunConvert(o, out_, err_), 1);
    EXPECT_EQ(err_.str(), "OUT and IN are the same file (" + o.output + "): nothing written\n");

    o = Options(svf);
    std::ofstream(o.output) << "older";
    o.map = (dir_ / "sub" / ".." / "out.svf").string(); // weakly canonical: "sub" does not exist
    EXPECT_EQ(RunConvert(o, out_, err_), 1);
    o.map = (dir_ / "absent.map").string();
    fs::create_hard_link(o.input, o.map);
    EXPECT_EQ(RunConvert(o, out_, err_), 1);
    EXPECT_NE(err_.str().find("--map and IN are the same file"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("--map and OUT are the same file"), std::string::npos) << err_.str();
    EXPECT_EQ(Text(o.input), svf);
    EXPECT_EQ(Text(o.output), "older");
    EXPECT_TRUE(Others(dir_, {"in.svf", "out.svf", "absent.map"}).empty());
}

} // namespace
} // namespace vz::cli

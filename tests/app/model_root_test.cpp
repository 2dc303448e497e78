// Where the model directories are looked for when none is given.
#include "app/core/model_root.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vz {
namespace {

namespace fs = std::filesystem;

class ModelRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(base_);
        for (const char* dir : {"program", "variable", "machine", "current"})
            fs::create_directories(base_ / dir);
    }
    void TearDown() override { fs::remove_all(base_); }
    std::string Dir(const char* name) const {
        return (base_ / name).string() + static_cast<char>(fs::path::preferred_separator);
    }
    ModelRoot Find(const std::string& variable, const std::string& machine = "") {
        return FindModelRoot((base_ / "program").string(), variable, machine, (base_ / "current").string());
    }

    const fs::path base_ = vz::testing::UniqueTempPath("vz_model_root");
};

TEST_F(ModelRootTest, BesideTheProgramThenVariableThenInstalledDirectoryThenCurrentDirectory) {
    const std::string machine = (base_ / "machine").string();
    fs::create_directories(base_ / "current" / "KRT120");
    EXPECT_EQ(Find("").dir, Dir("current"));
    // The package directory an installation recorded comes before the current directory.
    fs::create_directories(base_ / "machine" / "KRA350");
    EXPECT_EQ(Find("", machine).dir, Dir("machine"));
    std::ofstream(base_ / "variable" / "readid.ini") << "rem\n";
    EXPECT_EQ(Find((base_ / "variable").string(), machine).dir, Dir("variable"));
    // An unpacked zip: the model directories beside the program come first.
    fs::create_directories(base_ / "program" / "KRB350_256");
    const ModelRoot found = Find((base_ / "variable").string(), machine);
    EXPECT_EQ(found.dir, Dir("program"));
    EXPECT_TRUE(found.found);
}

TEST_F(ModelRootTest, NothingFoundUsesTheCurrentDirectoryAndSaysWhereItLooked) {
    // A file named like a model directory is not one.
    std::ofstream(base_ / "program" / "KRA350") << "";
    const ModelRoot none = Find("");
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.dir, Dir("current"));
    EXPECT_EQ(none.note, "no update package found beside the program (" + Dir("program") +
                             "), in VZ_ROOT (not set) or in the current directory (" + Dir("current") + ")");
    EXPECT_NE(Find((base_ / "variable").string()).note.find("in VZ_ROOT (" + Dir("variable") + ")"),
              std::string::npos);
    EXPECT_NE(Find("", (base_ / "machine").string())
                  .note.find("in VZ_ROOT (not set), in the installed package directory (" + Dir("machine") +
                             ") or in the current directory"),
              std::string::npos);
}

} // namespace
} // namespace vz

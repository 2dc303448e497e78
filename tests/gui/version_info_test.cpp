// The version information read back from a program file that carries the block.
#include "app/face_data/version_info.h"
#include "app/gui/about_box.h"
#include "tests/gui/gui_support.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <cstring>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <iterator>

// The block linked into this test program.
extern "C" const char vzVersionBlock[];

namespace vz {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The block's bytes up to and including its closing empty entry.
std::string BlockBytes() {
    std::size_t length = 0;
    while (!(vzVersionBlock[length] == '\0' && vzVersionBlock[length + 1] == '\0'))
        ++length;
    return std::string(vzVersionBlock, length + 2);
}

class VersionInfoTest : public ::testing::Test {
protected:
    testing::TempDir dir_{"version"};
    std::string program_ = ReadAll(RunningProgramPath());

    // A copy of this program changed by `edit`; returns its path.
    std::string Variant(const std::string& name, const std::function<void(std::string&)>& edit) {
        std::string bytes = program_;
        edit(bytes);
        dir_.Write(name, bytes);
        return (dir_.Path() / name).string();
    }
    std::size_t BlockOffset() const {
        const std::size_t at = program_.find(BlockBytes());
        EXPECT_NE(at, std::string::npos);
        // The block is in the file once: in its section.
        EXPECT_EQ(program_.find(BlockBytes(), at + 1), std::string::npos);
        return at;
    }
};

TEST_F(VersionInfoTest, RunningProgramCarriesItsVersionStrings) {
    EXPECT_EQ(FileVersionValue(RunningProgramPath(), kFileVersionKey), "2.6.0.6");
    EXPECT_EQ(FileVersionValue(RunningProgramPath(), "\\StringFileInfo\\040904E4\\ProductVersion"),
              "2.6.0.6");
    EXPECT_EQ(FileVersionValue(RunningProgramPath(), "\\StringFileInfo\\040904E4\\FileDescription"),
              "Vorna Zadod Updater");
    EXPECT_EQ(FileVersionValue(RunningProgramPath(), "\\StringFileInfo\\040904E4\\File"), std::nullopt);
    EXPECT_EQ(FileVersionValue(RunningProgramPath(), "\\StringFileInfo\\040704E4\\FileVersion"),
              std::nullopt);
    // A copy reads the same as the running file.
    EXPECT_EQ(FileVersionValue(Variant("copy", [](std::string&) {}), kFileVersionKey), "2.6.0.6");
    TAboutBox box;
    EXPECT_EQ(box.LVersion->text(), "Version : 2.6.0.6");
}

TEST_F(VersionInfoTest, FilesWithoutTheBlockGiveNothing) {
    dir_.Write("empty", "");
    dir_.Write("text", "VZVERSIONINFO\nStringFileInfo\\040904E4\\FileVersion=1.2.3.4\n");
    for (const std::string name : {"missing", "empty", "text"})
        EXPECT_EQ(FileVersionValue((dir_.Path() / name).string(), kFileVersionKey), std::nullopt) << name;
    // The section headers sit at the end of the file.
    const std::string cut = Variant("cut", [](std::string& bytes) { bytes.resize(bytes.size() / 2); });
    EXPECT_EQ(FileVersionValue(cut, kFileVersionKey), std::nullopt);
    EXPECT_EQ(FileVersionValue(dir_.Path().string(), kFileVersionKey), std::nullopt);
}

TEST_F(VersionInfoTest, DamagedHeadersOrBlocksGiveNothing) {
    const std::size_t block = BlockOffset();
    const std::string marker = Variant("marker", [&](std::string& bytes) { bytes[block] = 'W'; });
    EXPECT_EQ(FileVersionValue(marker, kFileVersionKey), std::nullopt);

    // Entries without their ending zero: nothing after the marker is trusted.
    const std::string open = Variant("open", [&](std::string& bytes) {
        const std::size_t length = BlockBytes().size();
        for (std::size_t i = block + 14; i < block + length; ++i)
            if (bytes[i] == '\0') bytes[i] = 'x';
    });
    EXPECT_EQ(FileVersionValue(open, kFileVersionKey), std::nullopt);

    // One entry renamed: the others are still found.
    const std::string renamed = Variant("renamed", [&](std::string& bytes) {
        const std::size_t key = bytes.find("FileVersion=", block);
        ASSERT_NE(key, std::string::npos);
        bytes[key + 10] = 'N';
    });
    EXPECT_EQ(FileVersionValue(renamed, kFileVersionKey), std::nullopt);
    EXPECT_EQ(FileVersionValue(renamed, "\\StringFileInfo\\040904E4\\ProductVersion"), "2.6.0.6");

    // Section header offsets far beyond the file, also such that they wrap around.
    for (const std::uint64_t offset : {std::uint64_t{1} << 40, ~std::uint64_t{0} - 8}) {
        const std::string far = Variant("far", [&](std::string& bytes) {
            std::memcpy(bytes.data() + offsetof(Elf64_Ehdr, e_shoff), &offset, sizeof offset);
        });
        EXPECT_EQ(FileVersionValue(far, kFileVersionKey), std::nullopt) << offset;
    }
    const std::string wrongSize = Variant("entsize", [&](std::string& bytes) {
        const std::uint16_t size = 10;
        std::memcpy(bytes.data() + offsetof(Elf64_Ehdr, e_shentsize), &size, sizeof size);
    });
    EXPECT_EQ(FileVersionValue(wrongSize, kFileVersionKey), std::nullopt);
}

} // namespace
} // namespace vz

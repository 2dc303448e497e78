// vzflash.exe carries the program's version resource, read back with the same
// calls the about box uses.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class VzflashVersionTest : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(VZFLASH_PATH, &handle);
        ASSERT_GT(size, 0u) << VZFLASH_PATH << " has no version resource";
        block_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(VZFLASH_PATH, 0, size, block_.data()));
    }

    // Empty when the value is missing.
    std::string Text(const std::string& query) {
        char* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(block_.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
            value == nullptr)
            return {};
        std::string text(value, length);
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        return text;
    }

    std::vector<char> block_;
};

TEST_F(VzflashVersionTest, UsEnglishStringTableNamesTheUpdaterAndItsVersion) {
    EXPECT_EQ(Text("\\StringFileInfo\\040904E4\\FileVersion"), "2.6.0.6");
    EXPECT_EQ(Text("\\StringFileInfo\\040904E4\\ProductVersion"), "2.6.0.6");
    EXPECT_EQ(Text("\\StringFileInfo\\040904E4\\FileDescription"), "Vorna Zadod Updater");
    // Only that table: a reader asking for another language finds nothing.
    EXPECT_EQ(Text("\\StringFileInfo\\040904B0\\FileVersion"), "");
}

TEST_F(VzflashVersionTest, FixedPartAndTranslationAgreeWithTheStrings) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block_.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020006u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000006u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020006u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000006u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block_.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);
}

} // namespace

// Statements the fuzzer found turned into commands the device could not read:
// each must now be refused as a bad line, and its sound neighbours still pass.
#include "formats/effect.h"

#include <gtest/gtest.h>

#include <string>

namespace vz {
namespace {

std::string Translate(const std::string& line, TranslationState& state) {
    return TranslateStatement(line, state);
}

TEST(EffectFuzzRegressions, CharacterThatIsNoHexDigitIsABadStatement) {
    TranslationState state;
    // A data block with a "P" inside went out to the device as it stood.
    EXPECT_EQ(Translate("SDR 16 TDI (12p4);", state), "Error");
    EXPECT_FALSE(state.DataBlockPending);
    // A record of an instruction scan carried the character itself.
    EXPECT_EQ(Translate("SIR 8 TDI (zz);", state), "Error");
    // A blank inside the parentheses is no digit either.
    EXPECT_EQ(Translate("SIR 16 TDI (12 34);", state), "Error");
    // Expected bits and masks are compared digit by digit: they must be digits too.
    EXPECT_EQ(Translate("SDR 8 TDI (00) TDO (g0);", state), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (00) TDO (00) MASK (0-);", state), "Error");
    EXPECT_EQ(Translate("SDR 8 TDI (12) SMASK (x0);", state), "Error");
    // Lower-case digits are still digits.
    EXPECT_EQ(Translate("SDR 16 TDI (34ab);", state), ":010010630686");
    EXPECT_EQ(state.Tdi, "AB34DF");
    EXPECT_TRUE(state.DataBlockPending);
}

TEST(EffectFuzzRegressions, RecordDataBeyondTheOneByteCountIsABadStatement) {
    TranslationState state;
    // 256 bytes of instruction data would have been announced as 0 bytes.
    EXPECT_EQ(Translate("SIR 512 TDI (" + std::string(512, '1') + ");", state), "Error");
    const std::string largest = Translate("SIR 512 TDI (" + std::string(128, '1') + ");", state);
    ASSERT_EQ(largest.size(), 11u + 128u);
    EXPECT_EQ(largest.substr(0, 9), ":40020062");

    // A path of 256 states the same way.
    std::string path;
    for (int i = 0; i < 256; ++i)
        path += "IDLE ";
    EXPECT_EQ(Translate("STATE " + path + ";", state), "Error");
    const std::string longest = Translate("STATE " + path.substr(5) + ";", state);
    EXPECT_EQ(longest.substr(0, 9), ":FF000005");
    EXPECT_EQ(longest.size(), 11u + 510u);
}

} // namespace
} // namespace vz

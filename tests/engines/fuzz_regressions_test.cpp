// Script lines the fuzzer found to stall a run: the instruction sent an empty
// text, which never reaches the device, and waited for its answer for ever.
#include "engines/inst_courante.h"
#include "tests/engines/fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

TEST(InstFuzzRegressions, InstructionWithoutItsTextFailsBeforeSendingAnything) {
    for (const auto& [line, error] :
         std::vector<std::pair<std::string, std::string>>{{"V1", "Missing version in script line : V1"},
                                                          {"V 1 \t", "Missing version in script line : V1"},
                                                          {"UV", "Missing text in script line : UV"},
                                                          {"OP   ", "Missing text in script line : OP"}}) {
        TInstCrt engine;
        FakeOwner owner(engine);
        owner.Play(line, {});
        EXPECT_EQ(owner.errors, std::vector<std::string>{error}) << line;
        EXPECT_TRUE(owner.sent.empty()) << line;
        EXPECT_EQ(engine.Step(), TInstCrt::stParked) << line;
    }
}

TEST(InstFuzzRegressions, TextAfterTheCommandStillGoesOut) {
    TInstCrt engine;
    FakeOwner owner(engine);
    owner.Play("V1 0", {">V1", ".", ">0", "."});
    owner.Play("OP x", {">OP", ".", ">x", "."});
    EXPECT_TRUE(owner.errors.empty());
}

} // namespace
} // namespace vz::test

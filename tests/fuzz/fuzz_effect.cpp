// Effect file lines into the statement translator: every command is a sound
// record, a data block ends with the plain sum of its bytes, and translating a
// line again (as a retransmission does) gives the same command.
#include "formats/effect.h"
#include "formats/hex.h"
#include "formats/text_lines.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using vz::fuzz::Check;

bool AllHex(const std::string& text) {
    for (char c : text)
        if (!vz::fuzz::IsUpperHexDigit(c)) return false;
    return true;
}

bool SameState(const vz::TranslationState& a, const vz::TranslationState& b) {
    return a.ScanLength == b.ScanLength && a.ScanCode == b.ScanCode && a.Tdi == b.Tdi && a.Tdo == b.Tdo &&
           a.Mask == b.Mask && a.SMask == b.SMask && a.DataBlockPending == b.DataBlockPending;
}

void CheckLine(const std::string& line) {
    vz::TranslationState state;
    const std::string result = vz::TranslateStatement(line, state);

    vz::TranslationState again;
    Check(vz::TranslateStatement(line, again) == result && SameState(state, again),
          "a second translation differs", line);
    Check(state.ScanLength >= 0 && state.ScanLength <= 512, "scan length outside 0..512", line);
    if (result.empty() || result == vz::kEffectError) {
        Check(!state.DataBlockPending, "a data block without a command", line);
        return;
    }
    Check(vz::fuzz::IsWellFormedRecord(result), "command is not a well-formed record",
          line + " -> " + result);
    if (!state.DataBlockPending) return;

    // The record announces the block by its length; the block ends with the plain sum.
    const std::string& block = state.Tdi;
    Check(block.size() >= 4 && block.size() % 2 == 0 && block.size() <= 255, "data block length", line);
    Check(AllHex(block), "data block holds a character that is not a hex digit", line + " -> " + block);
    Check(result.size() == 13 && vz::HexPairAt(result, 9) == block.size(),
          "record does not announce the block", line + " -> " + result);
    unsigned sum = 0;
    for (std::size_t pos = 0; pos + 2 < block.size(); pos += 2)
        sum += vz::HexPairAt(block, pos);
    Check((sum & 0xFF) == vz::HexPairAt(block, block.size() - 2), "data block checksum",
          line + " -> " + block);
    Check((vz::HexPairAt(result, 7) & 0x0F) == 0x03, "a data block on something else than SDR", result);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : vz::SplitLines(text))
        CheckLine(line);
    return 0;
}

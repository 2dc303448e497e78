// Standard SVF text into the converter: it never crashes or reads past its
// input, every line it writes translates to a command (or is a comment), a
// converted file fits the device (pieces of at most 512 bits, blocks of at most
// 255 characters), and converting the same text twice gives the same file.
#include "formats/effect.h"
#include "formats/svf_convert.h"
#include "formats/text_lines.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

using vz::fuzz::Check;

std::string Convert(const std::string& text, bool& ok, std::vector<std::string>& problems) {
    std::istringstream in(text);
    std::ostringstream out;
    vz::SvfConvertOptions options;
    options.sourceName = "f.svf";
    options.traceEvery = 7;
    vz::SvfConvertSummary summary;
    ok = vz::ConvertSvf(in, out, nullptr, options, summary, problems);
    Check(ok == problems.empty(), "success and problems disagree", text);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Scan lengths of millions of bits are sound but only cost memory here.
    std::size_t digits = 0;
    for (char c : text) {
        digits = c >= '0' && c <= '9' ? digits + 1 : 0;
        if (digits > 5) return 0;
    }
    bool ok = false;
    std::vector<std::string> problems;
    const std::string effect = Convert(text, ok, problems);
    for (const std::string& p : problems)
        Check(p.rfind("f.svf:", 0) == 0 && p.find("internal fault") == std::string::npos, "problem text", p);
    if (!ok) return 0;
    for (const std::string& line : vz::SplitLines(effect)) {
        if (line.rfind("// ", 0) == 0) continue;
        vz::TranslationState state;
        const std::string record = vz::TranslateStatement(line, state);
        Check(!record.empty() && record != vz::kEffectError, "a written line does not translate", line);
        Check(state.ScanLength <= vz::kSvfPieceBits, "a piece over 512 bits", line);
        Check(!state.DataBlockPending || state.Tdi.size() <= 255, "a data block over 255 characters", line);
    }
    bool again = false;
    Check(Convert(text, again, problems) == effect && again, "a second conversion differs", text);
    return 0;
}

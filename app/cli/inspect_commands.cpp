#include "app/cli/inspect_commands.h"

#include "formats/effect.h"
#include "formats/hex.h"
#include "formats/hex_coverage.h"
#include "formats/text_lines.h"

#include <charconv>
#include <optional>
#include <ostream>

namespace vz::cli {

namespace {

std::optional<std::uint16_t> ParseAddress(std::string text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.erase(0, 2);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

int RunHexSum(const std::string& file, const std::string& first, const std::string& last, std::ostream& out,
              std::ostream& err) {
    const auto from = ParseAddress(first);
    const auto to = ParseAddress(last);
    if (!from || !to) {
        err << "Addresses must be hexadecimal numbers from 0 to FFFF: " << first << " " << last << "\n";
        return 2;
    }
    TextLines lines;
    std::string reason;
    switch (LoadTextLines(file, lines, &reason)) {
    case LoadResult::Missing:
        err << file << " File not found !!!\n";
        return 1;
    case LoadResult::Unreadable:
        err << file << " cannot be read: " << reason << "\n";
        return 1;
    case LoadResult::Ok:
        break;
    }
    for (const HexCoverageFinding& finding : FindUncoveredHexData(lines, *from, *to))
        err << file << ":" << finding.line << ": " << finding.text << "\n";
    out << WordToHex(HexImageSum(lines, *from, *to)) << "\n";
    return 0;
}

int RunEffect(const std::string& file, std::ostream& out, std::ostream& err) {
    TEffectFile effect;
    const int count = effect.OpenEffectFile(file);
    if (count == TEffectFile::kMissing) {
        err << file << " File not found !!!\n";
        return 1;
    }
    if (count == TEffectFile::kUnreadable) {
        err << file << " cannot be read: " << effect.Reason() << "\n";
        return 1;
    }
    bool failed = false;
    for (int number = 1; number <= count; ++number) {
        TranslationState state;
        const std::string result = TranslateStatement(effect.ReadEffectLine(), state);
        failed = failed || result == kEffectError;
        out << number << "\t" << result;
        if (state.DataBlockPending) out << "\t" << state.Tdi;
        out << "\n";
    }
    effect.CloseEffectFile();
    return failed ? 1 : 0;
}

} // namespace vz::cli

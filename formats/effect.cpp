#include "formats/effect.h"

#include "formats/hex.h"
#include "formats/tap_states.h"
#include "formats/text_lines.h"

#include <array>
#include <charconv>
#include <optional>

namespace vz {

namespace {

constexpr int kMaxScanBits = 512;
// The record's count field is one byte: a longer data block cannot be announced,
// and a record cannot carry more data bytes.
constexpr std::size_t kMaxDataBlock = 255;
constexpr std::size_t kMaxRecordBytes = 255;

// The statement text being consumed from the front, as the reader walks it.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool Empty() const { return text_.empty(); }
    bool StartsWith(std::string_view prefix) const { return text_.starts_with(prefix); }
    std::string_view Rest() const { return text_; }
    void Remove(std::size_t n) { text_.remove_prefix(std::min(n, text_.size())); }

    // Removes every leading character whose code is 0 to 32.
    void Trim() {
        while (!text_.empty() && static_cast<unsigned char>(text_.front()) <= 32)
            text_.remove_prefix(1);
    }

    // The text up to the first space, removed; empty (and nothing removed) without a space.
    std::string_view TakeToken() {
        const std::size_t space = text_.find(' ');
        if (space == std::string_view::npos) return {};
        const std::string_view token = text_.substr(0, space);
        text_.remove_prefix(space);
        return token;
    }

    // "(" + value + ")": the opening character is skipped whatever it is.
    std::optional<std::string> TakeParenthesised() {
        Trim();
        Remove(1);
        const std::size_t close = text_.find(')');
        if (close == std::string_view::npos) return std::nullopt;
        std::string value(text_.substr(0, close));
        text_.remove_prefix(close + 1);
        return value;
    }

private:
    std::string_view text_;
};

std::optional<std::int32_t> ParseInt32(std::string_view token) {
    if (token.empty()) return std::nullopt;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size()) return std::nullopt;
    return value;
}

std::string UpperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Error() {
    return std::string(kEffectError);
}

std::string TranslateEndState(Cursor& text, Tap pause, std::uint8_t type) {
    text.Trim();
    Tap state = Tap::Idle;
    if (text.StartsWith(TapName(pause))) {
        text.Remove(TapName(pause).size());
        state = pause;
    } else if (text.StartsWith(TapName(Tap::Reset))) {
        text.Remove(TapName(Tap::Reset).size());
        state = Tap::Reset;
    } else {
        // Any other four characters stand for IDLE, unchecked.
        text.Remove(4);
    }
    text.Trim();
    if (!text.StartsWith(";")) return Error();
    return BuildHexRecord(type, 0, TapCode(state));
}

std::string TranslateState(Cursor& text) {
    std::string codes;
    text.Trim();
    while (!text.Empty()) {
        if (text.StartsWith(";"))
            return codes.size() / 2 > kMaxRecordBytes ? Error() : BuildHexRecord(0x05, 0, codes);
        bool known = false;
        for (int i = 0; i < kTapStateCount && !known; ++i) {
            const Tap state = static_cast<Tap>(i);
            if (text.StartsWith(TapName(state))) {
                text.Remove(TapName(state).size());
                codes += TapCode(state);
                known = true;
            }
        }
        if (!known) return Error();
        text.Trim();
    }
    // A path cut off before its ";" must not move the TAP half way.
    return Error();
}

std::string TranslateRunTest(Cursor& text) {
    text.Trim();
    const std::optional<std::int32_t> count = ParseInt32(text.TakeToken());
    if (!count || *count < 0) return Error();
    text.Trim();
    if (!text.StartsWith("TCK")) return Error();
    text.Remove(3);
    text.Trim();
    if (!text.StartsWith(";")) return Error();
    return BuildHexRecord(0x04, 0, LongToHex(static_cast<std::uint32_t>(*count)));
}

bool IsHexText(std::string_view text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

std::string BuildScan(bool instruction, TranslationState& state) {
    // TDI, TDO and MASK hold exactly the scan's bytes: a shorter or longer text would
    // shift other bits than the statement names. A scan with nothing to shift in is no scan.
    const std::size_t digits = 2 * ((static_cast<std::size_t>(state.ScanLength) + 7) / 8);
    if (state.Tdi.empty()) return Error();
    for (const std::string* part : {&state.Tdi, &state.Tdo, &state.Mask})
        if (!part->empty() && part->size() != digits) return Error();
    for (std::string* part : {&state.Tdi, &state.Tdo, &state.Mask, &state.SMask}) {
        // Half a byte cannot be shifted in the device's byte-wise transfer.
        if (part->size() % 2 != 0) return Error();
        *part = ReverseHexBytes(UpperCase(*part));
        // Any other character would go out as it stands and garble the record or the block.
        if (!IsHexText(*part)) return Error();
    }
    if (!state.SMask.empty()) AndHexDigits(state.SMask, state.Tdi);
    if (!state.Tdo.empty()) state.ScanCode |= 0x10;
    const auto address = static_cast<std::uint16_t>(state.ScanLength);
    if (instruction) {
        if (state.Tdi.size() / 2 > kMaxRecordBytes) return Error();
        return BuildHexRecord(static_cast<std::uint8_t>(state.ScanCode), address, state.Tdi);
    }
    char digit = 0;
    if (IsUniformHex(state.Tdi, digit)) {
        state.ScanCode |= 0x80;
        return BuildHexRecord(static_cast<std::uint8_t>(state.ScanCode), address, std::string(2, digit));
    }
    AppendDataChecksum(state.Tdi);
    if (state.Tdi.size() > kMaxDataBlock) return Error();
    state.DataBlockPending = true;
    return BuildHexRecord(static_cast<std::uint8_t>(state.ScanCode), address,
                          ByteToHex(static_cast<std::uint8_t>(state.Tdi.size())));
}

std::string TranslateScan(Cursor& text, bool instruction, TranslationState& state) {
    if (text.Empty()) return Error();
    int code = instruction ? 0x02 : 0x03;
    switch (text.Rest().front()) {
    case 'C':
        break;
    case 'E':
        code |= 0x40;
        break;
    case 'S':
        code |= 0x20;
        break;
    default:
        code |= 0x60;
        break;
    }
    state.ScanCode = code;
    text.Remove(1);
    text.Trim();
    const std::optional<std::int32_t> length = ParseInt32(text.TakeToken());
    if (!length || *length < 0 || *length > kMaxScanBits) return Error();
    state.ScanLength = *length;
    text.Trim();
    struct Part {
        std::string_view keyword;
        std::string* target;
    };
    const std::array<Part, 4> parts{{
        {"TDI", &state.Tdi},
        {"TDO", &state.Tdo},
        {"MASK", &state.Mask},
        {"SMASK", &state.SMask},
    }};
    while (!text.Empty()) {
        if (text.StartsWith(";")) return BuildScan(instruction, state);
        const Part* found = nullptr;
        for (const Part& part : parts) {
            if (text.StartsWith(part.keyword)) {
                found = &part;
                break;
            }
        }
        if (!found) return Error();
        text.Remove(found->keyword.size());
        std::optional<std::string> value = text.TakeParenthesised();
        if (!value) return Error();
        *found->target = std::move(*value);
        text.Trim();
    }
    // A scan cut off before its ";" would program the PROM with half a statement.
    return Error();
}

} // namespace

std::string TranslateStatement(std::string_view line, TranslationState& state) {
    state = TranslationState{};
    Cursor text(line);
    text.Trim();
    if (text.StartsWith("//") || text.StartsWith("TRST")) return {};
    if (text.StartsWith("ENDIR")) {
        text.Remove(5);
        return TranslateEndState(text, Tap::IrPause, 0x06);
    }
    if (text.StartsWith("ENDDR")) {
        text.Remove(5);
        return TranslateEndState(text, Tap::DrPause, 0x07);
    }
    if (text.StartsWith("STATE")) {
        text.Remove(5);
        return TranslateState(text);
    }
    if (text.StartsWith("RUNTEST")) {
        text.Remove(7);
        return TranslateRunTest(text);
    }
    if (text.StartsWith("SIR") || text.StartsWith("SDR")) {
        const bool instruction = text.StartsWith("SIR");
        text.Remove(3);
        std::string result = TranslateScan(text, instruction, state);
        if (result == kEffectError) state.DataBlockPending = false;
        return result;
    }
    return Error();
}

std::string ReverseHexBytes(std::string_view text) {
    std::string result(text);
    const std::size_t length = result.size();
    // Positions are 1-based as the pairs are counted; each pass swaps one byte
    // from the front with its mirror at the back.
    for (std::size_t k = 1; k < length / 2; k += 2) {
        std::swap(result[k - 1], result[length - k - 1]);
        std::swap(result[k], result[length - k]);
    }
    return result;
}

void AndHexDigits(std::string_view mask, std::string& text) {
    if (mask.size() != text.size()) return;
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = NibbleToHexChar(HexCharToNibble(mask[i]) & HexCharToNibble(text[i]));
}

bool IsUniformHex(std::string_view text, char& digit) {
    if (text.size() < 2) return false;
    for (char c : text)
        if (c != text.front()) return false;
    digit = text.front();
    return true;
}

void AppendDataChecksum(std::string& text) {
    unsigned sum = 0;
    for (std::size_t pos = 0; pos + 1 < text.size(); pos += 2)
        sum += HexPairAt(text, pos);
    text += ByteToHex(static_cast<std::uint8_t>(sum));
}

int TEffectFile::OpenEffectFile(const std::string& path) {
    CloseEffectFile();
    reason_.clear();
    switch (LoadTextLines(path, lines_, &reason_)) {
    case LoadResult::Missing:
        return kMissing;
    case LoadResult::Unreadable:
        return kUnreadable;
    case LoadResult::Ok:
        break;
    }
    next_ = 0;
    open_ = true;
    return static_cast<int>(lines_.size());
}

std::string TEffectFile::ReadEffectLine() {
    if (!open_ || next_ >= lines_.size()) return {};
    return lines_[next_++];
}

void TEffectFile::CloseEffectFile() {
    open_ = false;
    lines_.clear();
    next_ = 0;
}

} // namespace vz

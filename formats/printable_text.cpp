#include "formats/printable_text.h"

#include <cstdint>

namespace vz {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6"; // "…"

// The length of the valid UTF-8 sequence at the start of `text` and the code
// point it encodes; 0 when the first byte does not start one (overlong forms,
// surrogates, values past U+10FFFF and cut sequences included).
std::size_t DecodeUtf8(std::string_view text, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range allowed for the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    return length;
}

// Upper-case digits for people ("\x1B"), lower-case for JSON as JSON writers use.
std::string Hex(const char* prefix, std::uint32_t value, int digits, bool lower = false) {
    const char* const kDigits = lower ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string text = prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        text += kDigits[(value >> shift) & 0xF];
    return text;
}

// Code points that are valid text but would still act on a terminal or on the
// order in which a line is shown.
bool IsHiddenControl(char32_t code) {
    return (code >= 0x80 && code <= 0x9F) || code == 0x200E || code == 0x200F ||
           (code >= 0x2028 && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

} // namespace

std::string PrintableText(std::string_view raw, std::size_t maxBytes) {
    std::string out;
    // The longest output so far that still leaves room for the ellipsis.
    std::size_t cutAt = 0;
    std::size_t at = 0;
    while (at < raw.size()) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(raw.substr(at), code);
        std::string piece;
        if (length == 0) {
            piece = Hex("\\x", static_cast<unsigned char>(raw[at]), 2);
        } else if (code < 0x20 || code == 0x7F) {
            piece = Hex("\\x", code, 2);
        } else if (IsHiddenControl(code)) {
            piece = Hex("\\u", code, 4);
        } else {
            piece = raw.substr(at, length);
        }
        at += length == 0 ? 1 : length;
        if (out.size() + piece.size() > maxBytes) {
            out.resize(cutAt);
            if (maxBytes >= kEllipsis.size()) out += kEllipsis;
            return out;
        }
        out += piece;
        if (out.size() + kEllipsis.size() <= maxBytes) cutAt = out.size();
    }
    return out;
}

std::string JsonString(std::string_view raw) {
    std::string out = "\"";
    std::size_t at = 0;
    while (at < raw.size()) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(raw.substr(at), code);
        if (length == 0) {
            out += "\\ufffd";
            ++at;
            continue;
        }
        if (code == '"' || code == '\\') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            out += Hex("\\u", code, 4, true);
        } else {
            out += raw.substr(at, length);
        }
        at += length;
    }
    return out + "\"";
}

} // namespace vz

// Text from outside the program (device answers, file contents, system and USB
// names) made fit to show a person or to put in JSON: nothing in it can move a
// terminal's cursor, change its colours or break the line it stands on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vz {

// What a caller that has no better bound gives as `maxBytes`.
inline constexpr std::size_t kPrintableTextBytes = 512;

// `raw` as one printable line of UTF-8, at most `maxBytes` bytes long:
// - valid UTF-8 stays as it is (accents, CJK, emoji), backslashes included;
// - C0 control bytes and DEL become "\xHH" (ESC is "\x1B", a tab "\x09");
// - C1 controls, the bidirectional overrides and the line and paragraph
//   separators, though valid UTF-8, become "\uHHHH";
// - every byte that is not part of valid UTF-8 becomes "\xHH".
// A text longer than `maxBytes` is cut before an escape or a character, never
// inside one, and ends with "…" (counted in `maxBytes`). Only as much of `raw`
// is read as the result needs, so a huge input costs no more than a short one.
std::string PrintableText(std::string_view raw, std::size_t maxBytes = kPrintableTextBytes);

// `raw` as a JSON string, quotes included: '"' and '\' escaped, control
// characters (C0, DEL, C1) as "\u00HH", each byte that is not part of valid UTF-8
// as "\ufffd"; valid UTF-8 stays as it is. The result is always valid JSON.
std::string JsonString(std::string_view raw);

} // namespace vz

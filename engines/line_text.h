// Reading script lines: which are skipped, and cutting them apart without ever
// reading past their end.
#pragma once

#include <cstddef>
#include <string_view>

namespace vz {

// The text without its first `count` characters; empty when it has no more.
inline std::string_view DropFront(std::string_view text, std::size_t count) {
    return count < text.size() ? text.substr(count) : std::string_view();
}

// A trimmed script line handed to no engine: an empty line, or a comment, which
// begins with "rem" in lower case ("REM" is an instruction nobody takes).
inline bool IsSkippedScriptLine(std::string_view trimmed) {
    return trimmed.empty() || trimmed.starts_with("rem");
}

} // namespace vz

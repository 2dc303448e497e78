// Reading script lines: which are skipped, and cutting them apart without ever
// reading past their end. The engines, the component filter, the progress estimate
// and the script check all cut lines here, so that they read them alike.
#pragma once

#include <cstddef>
#include <string>
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

// A trimmed script line cut as the engines read it. The first letter picks the
// instruction; on a component line blanks may stand between the letter and the
// component ("P3 x.hex", "P 3 x.hex", "PB x.hex", "V8 0102").
struct TScriptLine {
    char letter = 0;      // 0 on an empty line
    std::string rest;     // everything after the letter, trimmed
    char component = 0;   // the first character of `rest`; 0 when it is empty
    std::string argument; // what follows the component, trimmed: a file name or a value
};

TScriptLine CutScriptLine(std::string_view trimmed);

// A keyboard bank 0 to 7 or a PROM 8 or 9, as the component of a line.
inline bool IsComponentDigit(char c) {
    return c >= '0' && c <= '9';
}

// The data file a "P" line names. After "B" the name ends at the first blank (the
// checksum may follow); after a component digit it is the whole argument, blanks inside.
std::string ProgrammedFileName(const TScriptLine& line);

} // namespace vz

// The one place text files are split into lines. Files come from Windows and
// Linux alike: CR LF, LF and a lone CR all end a line, and no CR is ever kept.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vz {

// A line end at the very end of the text adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

enum class LoadResult { Ok, Missing, Unreadable };

// Reads a whole file as plain 8-bit text. `reason` gets the system's explanation
// when the result is not Ok.
LoadResult LoadTextLines(const std::string& path, std::vector<std::string>& lines,
                         std::string* reason = nullptr);

// Blanks and control characters removed at both ends.
std::string TrimBoth(std::string_view text);
// Blanks and control characters removed at the start only.
std::string TrimLeft(std::string_view text);

} // namespace vz

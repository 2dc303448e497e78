#include "engines/line_text.h"

#include "formats/text_lines.h"

namespace vz {

TScriptLine CutScriptLine(std::string_view trimmed) {
    TScriptLine line;
    if (trimmed.empty()) return line;
    line.letter = trimmed.front();
    line.rest = TrimBoth(DropFront(trimmed, 1));
    if (line.rest.empty()) return line;
    line.component = line.rest.front();
    line.argument = TrimBoth(DropFront(line.rest, 1));
    return line;
}

std::string ProgrammedFileName(const TScriptLine& line) {
    if (line.component == 'B') return line.argument.substr(0, line.argument.find(' '));
    return line.argument;
}

} // namespace vz

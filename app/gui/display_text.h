// Texts of the core as the toolkit shows them.
#pragma once

#include <QString>

#include <string>

namespace vz {

// The program's own texts are plain ASCII; lines taken from script files may be
// UTF-8 or, written on Windows, code page 1252, shown here as Latin-1.
QString DisplayText(const std::string& text);

} // namespace vz

// Texts between the core (bytes) and the system's wide-character calls.
#pragma once

#include <string>

namespace vz::win {

// The program's own texts are ASCII; lines taken from script files may be UTF-8
// or, written on Windows, code page 1252.
std::wstring WideText(const std::string& text);
// What the operator typed, as UTF-8.
std::string Utf8Text(const std::wstring& text);

} // namespace vz::win

// The window's command line, read the same way by both faces before any window is made.
#pragma once

#include <string>

namespace vz::face {

struct WindowArguments {
    std::string root;   // --root DIR: the directory of the model directories
    std::string script; // the first other argument: a script whose directory holds every file
    bool help = false;  // --help: the usage text, and no window
    bool version = false;
};

WindowArguments ParseWindowArguments(int argc, const char* const* argv);

// What --help prints.
std::string WindowUsageText();
// The program's version: "2.6.0.6".
const char* WindowProgramVersion();
// What --version prints: "vzupdater 2.6.0.6".
std::string WindowVersionText();

} // namespace vz::face

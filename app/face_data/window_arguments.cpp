#include "app/face_data/window_arguments.h"

#include <string_view>

namespace vz::face {

WindowArguments ParseWindowArguments(int argc, const char* const* argv) {
    WindowArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h")
            arguments.help = true;
        else if (argument == "--version")
            arguments.version = true;
        else if (argument == "--root" && i + 1 < argc)
            arguments.root = argv[++i];
        else if (argument.starts_with("--root="))
            arguments.root = argument.substr(7);
        else if (arguments.script.empty())
            arguments.script = argument;
    }
    return arguments;
}

std::string WindowUsageText() {
    return "usage: vzupdater [--root DIR] [SCRIPT]\n"
           "  SCRIPT      a script file whose directory holds every file it names; without it the\n"
           "              identified model's script.ini (or readid.ini) below DIR is run\n"
           "  --root DIR  the directory holding one directory per model (default: beside the\n"
           "              program, else VZ_ROOT, else the installed package directory on\n"
           "              Windows, else the current directory)\n"
           "  --version   the program's version\n"
           "Connect the device, choose its port in the Port menu, press START and power the\n"
           "device up holding its ENTER button.\n";
}

const char* WindowProgramVersion() {
    return VZ_VERSION;
}

std::string WindowVersionText() {
    return std::string("vzupdater ") + VZ_VERSION + "\n";
}

} // namespace vz::face

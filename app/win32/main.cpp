// vzupdater.exe: the window face of the updater on Windows.
//   vzupdater [SCRIPT]
// SCRIPT: a script file whose directory holds every file it names.
// Environment (see docs/windows.md): VZ_ROOT replaces the program's directory as
// the directory of the model directories; VZ_UNATTENDED=1 runs once without an
// operator. Memo lines also go to standard output when it is redirected.
#include "app/gui/version_info.h"
#include "app/win32/win_dialogs.h"
#include "app/win32/win_main_fich.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The program's own directory, ending in its separator.
std::string ProgramDir() {
    const std::string path = vz::RunningProgramPath();
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    vz::win::TWinMainFich window;
    if (__argc > 1) window.Core().SetScriptArgument(__argv[1]);
    const std::string root = Environment("VZ_ROOT");
    window.Core().SetRootDir(root.empty() ? ProgramDir() : root);
    window.SetUnattended(Environment("VZ_UNATTENDED") == "1");
    if (!window.Create()) return 3;

    vz::win::TWinAboutBox aboutBox(vz::RunningProgramPath());
    window.SetAboutBox(&aboutBox);

    window.Show(show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return window.UnattendedFailed() ? 1 : 0;
}

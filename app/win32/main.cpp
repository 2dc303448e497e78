// vzupdater.exe: the window face of the updater on Windows.
//   vzupdater [--root DIR] [SCRIPT]
//   vzupdater --station [NAME] [--port [LABEL=]PORT]... [options] [SCRIPT]: many ports at once
// SCRIPT: a script file whose directory holds every file it names.
// DIR: the directory of the model directories; without it they are looked for
// beside the program, then in VZ_ROOT, then in the package directory chosen at
// installation (the registry), then in the current directory.
// Environment (see docs/windows.md): VZ_UNATTENDED=1 runs once without an
// operator. Memo lines also go to standard output when it is redirected.
#include "app/core/machine_settings.h"
#include "app/core/model_root.h"
#include "app/face_data/station_arguments.h"
#include "app/face_data/version_info.h"
#include "app/face_data/window_arguments.h"
#include "app/win32/win_dialogs.h"
#include "app/win32/win_main_fich.h"
#include "app/win32/win_station_fich.h"
#include "app/win32/win_text.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

// --help and --version from a console: a program of the window subsystem has
// none of its own, so it writes to the one it was started from, if any.
void PrintToConsole(const std::string& text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        FILE* console = nullptr;
        freopen_s(&console, "CONOUT$", "w", stdout);
    }
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// Drawn at each screen's own density rather than stretched as a bitmap. The
// manifest says so to Windows 10 and later; these calls serve the systems and
// hosts that do not read it (and fail harmlessly where it was read).
void DeclareDpiAwareness() {
    using ContextCall = BOOL(WINAPI*)(HANDLE);
    using ProcessCall = HRESULT(WINAPI*)(int);
    using AwareCall = BOOL(WINAPI*)();
    const auto procedure = [](const wchar_t* module, const char* name) {
        const HMODULE handle = module[0] == L'u' ? GetModuleHandleW(module) : LoadLibraryW(module);
        return handle != nullptr ? reinterpret_cast<void*>(GetProcAddress(handle, name)) : nullptr;
    };
    if (auto* setContext =
            reinterpret_cast<ContextCall>(procedure(L"user32", "SetProcessDpiAwarenessContext"))) {
        // Per monitor, version 2 (Windows 10 1703), else version 1.
        const auto perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
        const auto perMonitor = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
        if (setContext(perMonitorV2) || setContext(perMonitor) || GetLastError() == ERROR_ACCESS_DENIED)
            return;
    }
    if (auto* setProcess = reinterpret_cast<ProcessCall>(procedure(L"shcore", "SetProcessDpiAwareness"))) {
        constexpr int kPerMonitorDpiAware = 2;
        if (SUCCEEDED(setProcess(kPerMonitorDpiAware))) return;
    }
    if (auto* setAware = reinterpret_cast<AwareCall>(procedure(L"user32", "SetProcessDPIAware"))) setAware();
}

// Tab between the buttons and Enter or Space on the focused one, as in any dialog.
int RunMessages(HWND window) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? vz::win::Utf8Text(std::wstring(name, size)) : std::string();
}

// The station window, from its command line.
int RunStation(int show) {
    const vz::face::StationArguments arguments = vz::face::ParseStationArguments(__argc, __argv);
    if (!arguments.error.empty()) {
        const std::string text = arguments.error + "\n\n" + vz::face::StationUsageText();
        PrintToConsole(text);
        MessageBoxW(nullptr, vz::win::WideText(text).c_str(),
                    vz::win::WideText(vz::face::kStationTitle).c_str(), MB_OK | MB_ICONWARNING);
        return 3;
    }
    vz::face::StationContext context;
    context.places.programDir = ProgramDir();
    context.places.variable = Environment("VZ_ROOT");
    context.places.machineDir = vz::MachinePackageRoot();
    std::error_code ec;
    context.places.currentDir = std::filesystem::current_path(ec).string();
    context.hostName = HostName();
    context.version = vz::face::WindowProgramVersion();
    vz::win::TWinStationFich window(arguments, context);
    if (!window.Create()) return 3;
    window.Show(show);
    RunMessages(window.Handle());
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    DeclareDpiAwareness();
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    const bool station = vz::face::WantsStation(__argc, __argv);
    const auto arguments = vz::face::ParseWindowArguments(__argc, __argv);
    if (arguments.help || arguments.version) {
        PrintToConsole(arguments.version ? vz::face::WindowVersionText()
                       : station         ? vz::face::StationUsageText()
                                         : vz::face::WindowUsageText());
        return 0;
    }
    if (station) return RunStation(show);

    vz::win::TWinMainFich window;
    if (!arguments.script.empty()) window.Driver().SetScriptArgument(arguments.script);
    window.SetUnattended(Environment("VZ_UNATTENDED") == "1");
    if (!window.Create()) return 3;
    std::error_code ec;
    window.Driver().UsePackageRoot(arguments.root, ProgramDir(), Environment("VZ_ROOT"),
                                   vz::MachinePackageRoot(), std::filesystem::current_path(ec).string(),
                                   true);

    vz::win::TWinAboutBox aboutBox(vz::RunningProgramPath());
    window.SetAboutBox(&aboutBox);

    window.Show(show);
    // The menus keep their Alt keys: no button has a mnemonic.
    RunMessages(window.Handle());
    return window.UnattendedFailed() ? 1 : 0;
}

#include "app/cli/cli_platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <io.h>
#include <vector>

namespace vz::cli {

std::string ProgramFilePath() {
    // The ANSI form, like every other path the program opens.
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return std::string(path.data(), length);
        path.resize(path.size() * 2); // truncated: try a larger buffer
    }
}

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

std::string PlatformName() {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? "Windows x64" : "Windows";
}

int TerminalColumns(std::FILE* stream) {
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(handle, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool TerminalTakesControlSequences(std::FILE* stream) {
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode)) return false; // a file or a pipe
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    // Consoles before Windows 10 refuse the mode: plain lines there.
    return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

namespace {

void (*g_onStop)(StopCause) = nullptr;
HANDLE g_stopHandled = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    StopCause cause = StopCause::Interrupt;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        break;
    case CTRL_CLOSE_EVENT:
        cause = StopCause::ConsoleClosed;
        break;
    case CTRL_LOGOFF_EVENT:
        cause = StopCause::LogOff;
        break;
    case CTRL_SHUTDOWN_EVENT:
        cause = StopCause::ShutDown;
        break;
    default:
        return FALSE;
    }
    if (g_onStop) g_onStop(cause);
    // Windows ends the process when this returns from a close, log-off or shut-down,
    // and gives it about five seconds: the records are written meanwhile.
    if (cause != StopCause::Interrupt && g_stopHandled != nullptr) WaitForSingleObject(g_stopHandled, 4500);
    return TRUE;
}

} // namespace

void CatchStopRequests(void (*onStop)(StopCause cause)) {
    g_onStop = onStop;
    g_stopHandled = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void StopHandled() {
    if (g_stopHandled != nullptr) SetEvent(g_stopHandled);
}

void IgnoreBrokenPipe() {
    // Windows has no signal for it: a write to a closed pipe fails by itself.
}

ExclusiveFile::Outcome ExclusiveFile::Create(const std::string& path) {
    Close();
    // CREATE_NEW fails on anything already at the path, a link included.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Outcome::Exists
                                                                           : Outcome::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return Outcome::Created;
}

bool ExclusiveFile::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(handle_), data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool ExclusiveFile::Close() {
    if (handle_ == kNone) return true;
    const BOOL closed = CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = kNone;
    return closed != 0;
}

} // namespace vz::cli

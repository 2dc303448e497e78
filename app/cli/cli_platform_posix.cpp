#include "app/cli/cli_platform.h"

#include <csignal>
#include <filesystem>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace vz::cli {

std::string ProgramFilePath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string PlatformName() {
    utsname name{};
    if (uname(&name) != 0) return "POSIX";
    return std::string(name.sysname) + " " + name.release + " " + name.machine;
}

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace vz::cli

#include "app/cli/cli_platform.h"

#include <filesystem>

namespace vz::cli {

std::string ProgramFilePath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string AccessDeniedAdvice() {
    return " (the user needs access to serial ports: add it to the dialout group with "
           "'usermod -aG dialout USER' and log in again)";
}

} // namespace vz::cli

#include "app/cli/cli_platform.h"

#include <filesystem>

namespace vz::cli {

std::string ProgramFilePath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

} // namespace vz::cli

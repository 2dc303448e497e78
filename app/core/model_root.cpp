#include "app/core/model_root.h"

#include "engines/constante.h"

#include <filesystem>
#include <vector>

namespace vz {

namespace {

std::string WithSeparator(std::string dir) {
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    if (!dir.empty() && dir.back() != separator && dir.back() != '/') dir += separator;
    return dir;
}

} // namespace

bool HoldsModels(const std::string& dir) {
    if (dir.empty()) return false;
    const std::string base = WithSeparator(dir);
    std::error_code ec;
    for (int number = 1; number <= kDeviceCount; ++number)
        if (std::filesystem::is_directory(base + NativeDirectory(DeviceRecordAt(number)).substr(1), ec))
            return true;
    return std::filesystem::exists(base + "script.ini", ec) ||
           std::filesystem::exists(base + "readid.ini", ec);
}

ModelRoot FindModelRoot(const std::string& programDir, const std::string& variable,
                        const std::string& machineDir, const std::string& currentDir) {
    const std::string program = WithSeparator(programDir);
    const std::string machine = WithSeparator(machineDir);
    const std::string current = WithSeparator(currentDir);
    // The installation's directory is named only where an installer recorded one.
    const std::string note =
        "no update package found beside the program (" + program + "), in VZ_ROOT (" +
        (variable.empty() ? std::string("not set") : WithSeparator(variable)) + ")" +
        (machine.empty() ? std::string() : ", in the installed package directory (" + machine + ")") +
        " or in the current directory (" + current + ")";
    for (const std::string& dir : {program, WithSeparator(variable), machine, current})
        if (HoldsModels(dir)) return {dir, true, note};
    return {current, false, note};
}

} // namespace vz

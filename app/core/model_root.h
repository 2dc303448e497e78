// Where the model directories are when no directory is given: beside the
// program (an unpacked zip), else in VZ_ROOT, else in the package directory
// chosen at installation (Windows), else in the current directory.
#pragma once

#include <string>

namespace vz {

struct ModelRoot {
    std::string dir;  // the chosen directory, with its trailing separator
    bool found;       // it holds a model directory or a script
    std::string note; // where it looked, for when nothing was found
};

// True when `dir` holds one of the model directories or a script.ini or readid.ini.
bool HoldsModels(const std::string& dir);

// `variable`: the value of VZ_ROOT, empty when not set; `machineDir`: the
// installation's package directory (MachinePackageRoot), empty when none. When no
// place holds a package, the current directory is used.
ModelRoot FindModelRoot(const std::string& programDir, const std::string& variable,
                        const std::string& machineDir, const std::string& currentDir);

} // namespace vz

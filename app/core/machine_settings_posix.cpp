#include "app/core/machine_settings.h"

namespace vz {

// Installed programs here find their packages through VZ_ROOT or the current directory.
std::string MachinePackageRoot() {
    return {};
}

} // namespace vz

// What an installation left for every user of the machine: on Windows, the
// installer's values under HKLM\Software\Zentrik\Vorna-Zadod Updater.
#pragma once

#include <string>

namespace vz {

// The plant's package directory chosen at installation (PACKAGE_ROOT), empty
// when none was recorded; always empty where programs are not installed so.
std::string MachinePackageRoot();

} // namespace vz

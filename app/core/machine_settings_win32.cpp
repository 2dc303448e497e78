#include "app/core/machine_settings.h"

#include <windows.h>

namespace vz {

std::string MachinePackageRoot() {
    // The installer writes the 64-bit view; a 32-bit build must not read the redirected one.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Zentrik\\Vorna-Zadod Updater", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return {};
    // REG_SZ also admits a REG_EXPAND_SZ, expanded (a value set by policy may read
    // %ProgramData%\...); asking for REG_EXPAND_SZ itself without RRF_NOEXPAND is refused.
    const DWORD flags = RRF_RT_REG_SZ;
    std::string value;
    DWORD size = 0;
    if (RegGetValueA(key, nullptr, "PackageRoot", flags, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        value.resize(size);
        if (RegGetValueA(key, nullptr, "PackageRoot", flags, nullptr, value.data(), &size) != ERROR_SUCCESS)
            value.clear();
    }
    RegCloseKey(key);
    // The size counts the terminating null (and, after expansion, may be generous).
    value.resize(value.find('\0') == std::string::npos ? value.size() : value.find('\0'));
    return value;
}

} // namespace vz

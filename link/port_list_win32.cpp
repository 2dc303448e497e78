// Serial ports from the registry's serial map (HARDWARE\DEVICEMAP\SERIALCOMM),
// with what SetupAPI knows of the hardware behind each (Wine fills only the map).
#include "link/port_list.h"

#include "link/port_list_win32.h"
#include "link/port_names.h"

#include <windows.h>
// clang-format off
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

namespace vz {

namespace {

// A registry holds an FTDI key for every adapter ever plugged in; past this many
// the rest are not looked at.
constexpr DWORD kMaxAdapters = 4096;

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// COM3 for "\\.\COM3" and "com3"; other names as they are.
std::string ComName(const std::string& name) {
    const std::string prefix = "\\\\.\\";
    return Upper(name.starts_with(prefix) ? name.substr(prefix.size()) : name);
}

// The number of a name "COMn" (any case), or 0.
int ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

std::string Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    char text[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                           sizeof text - 1, nullptr))
        return {};
    return text; // a multi-string gives its first string
}

// The four hex digits after `key` ("VID_", "PID_") in a hardware id, lower case.
std::string IdAfter(const std::string& hardwareId, const char* key) {
    const std::size_t at = hardwareId.find(key);
    if (at == std::string::npos || at + 8 > hardwareId.size()) return {};
    std::string id = hardwareId.substr(at + 4, 4);
    for (char& c : id)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return id;
}

// What SetupAPI knows about each port of the Ports class, by COM name.
std::map<std::string, PortInfo> SetupApiPorts() {
    std::map<std::string, PortInfo> ports;
    const HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        char name[64] = {};
        DWORD size = sizeof name - 1;
        const bool named = RegQueryValueExA(key, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name),
                                            &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        if (!named) continue;
        PortInfo port;
        port.description = Property(set, device, SPDRP_FRIENDLYNAME);
        port.manufacturer = Property(set, device, SPDRP_MFG);
        port.driver = Property(set, device, SPDRP_SERVICE);
        const std::string hardwareId = Property(set, device, SPDRP_HARDWAREID);
        port.vendorId = IdAfter(hardwareId, "VID_");
        port.productId = IdAfter(hardwareId, "PID_");
        char instance[512] = {};
        if (SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, nullptr)) {
            // USB\VID_0403&PID_6001\A50285BI: the last part is the serial number
            // unless Windows made one up (those contain '&').
            const std::string id = instance;
            const std::size_t cut = id.rfind('\\');
            if (id.starts_with("USB\\") && cut != std::string::npos && id.find('&', cut) == std::string::npos)
                port.serialNumber = id.substr(cut + 1);
        }
        ports.emplace(name, std::move(port));
    }
    SetupDiDestroyDeviceInfoList(set);
    return ports;
}

// Another program holds the port when an exclusive open is refused.
bool InUse(const std::string& name) {
    const HANDLE handle = CreateFileA(PortOpenName(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(handle);
    return false;
}

} // namespace

std::map<std::string, int> FtdiLatencyTimers(HKEY root, const std::string& bus) {
    std::map<std::string, int> timers;
    HKEY adapters = nullptr;
    if (RegOpenKeyExA(root, bus.c_str(), 0, KEY_READ, &adapters) != ERROR_SUCCESS) return timers;
    for (DWORD index = 0; index < kMaxAdapters; ++index) {
        char adapter[256] = {};
        DWORD adapterSize = sizeof adapter;
        const LONG result =
            RegEnumKeyExA(adapters, index, adapter, &adapterSize, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) continue;
        HKEY parameters = nullptr;
        const std::string path = std::string(adapter) + "\\0000\\Device Parameters";
        if (RegOpenKeyExA(adapters, path.c_str(), 0, KEY_READ, &parameters) != ERROR_SUCCESS) continue;
        char name[64] = {};
        DWORD nameSize = sizeof name - 1;
        DWORD type = 0;
        DWORD timer = 0;
        DWORD timerSize = sizeof timer;
        DWORD timerType = 0;
        const bool named = RegQueryValueExA(parameters, "PortName", nullptr, &type,
                                            reinterpret_cast<BYTE*>(name), &nameSize) == ERROR_SUCCESS &&
                           type == REG_SZ;
        const bool timed = RegQueryValueExA(parameters, "LatencyTimer", nullptr, &timerType,
                                            reinterpret_cast<BYTE*>(&timer), &timerSize) == ERROR_SUCCESS &&
                           timerType == REG_DWORD && timerSize == sizeof timer;
        RegCloseKey(parameters);
        // The driver takes 1 to 255 ms; anything else is no setting it applies.
        if (named && timed && timer <= 255) timers.emplace(Upper(name), static_cast<int>(timer));
    }
    RegCloseKey(adapters);
    return timers;
}

std::optional<int> PortLatencyTimer(const std::string& portName) {
    const std::map<std::string, int> timers = FtdiLatencyTimers(HKEY_LOCAL_MACHINE, kFtdiBusKey);
    const auto found = timers.find(ComName(portName));
    return found == timers.end() ? std::nullopt : std::optional<int>(found->second);
}

std::string LatencyTimerFix(const std::string& portName) {
    return "Device Manager > Ports > " + ComName(portName) +
           " > Properties > Port Settings > Advanced > Latency Timer (msec) = 1";
}

std::vector<PortInfo> ListPorts() {
    std::vector<PortInfo> ports;
    HKEY map = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &map) !=
        ERROR_SUCCESS)
        return ports;
    const std::map<std::string, PortInfo> known = SetupApiPorts();
    const std::map<std::string, int> timers = FtdiLatencyTimers(HKEY_LOCAL_MACHINE, kFtdiBusKey);
    for (DWORD index = 0;; ++index) {
        char device[256] = {};
        char name[64] = {};
        DWORD deviceSize = sizeof device;
        DWORD nameSize = sizeof name - 1;
        DWORD type = 0;
        const LONG result = RegEnumValueA(map, index, device, &deviceSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(name), &nameSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        PortInfo port;
        if (auto found = known.find(name); found != known.end()) port = found->second;
        port.name = name;
        if (port.description.empty()) port.description = device; // the kernel's name, \Device\Serial0
        if (auto timer = timers.find(Upper(port.name)); timer != timers.end())
            port.latencyTimerMs = timer->second;
        port.inUse = InUse(port.name);
        ports.push_back(std::move(port));
    }
    RegCloseKey(map);
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        const int left = ComNumber(a.name), right = ComNumber(b.name);
        return left != right ? left < right : a.name < b.name;
    });
    return ports;
}

std::string PortAccessAdvice(const std::string&) {
    // Windows refuses a COM port that another program holds open.
    return "Another program is using the port: close it and try again";
}

std::string PortOpenName(const std::string& name) {
    const int number = ComNumber(name);
    return number > 0 ? WindowsComDeviceName(number) : name;
}

} // namespace vz

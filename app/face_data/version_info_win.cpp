// Version information of a Windows program: its version resource, through the
// system's version functions.
#include "app/face_data/version_info.h"

#include <windows.h>

#include <vector>

namespace vz {

std::optional<std::string> FileVersionValue(const std::string& filePath, const std::string& subBlock) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(filePath.c_str(), &handle);
    if (size == 0) return std::nullopt;
    std::vector<char> buffer(size);
    if (!GetFileVersionInfoA(filePath.c_str(), 0, size, buffer.data())) return std::nullopt;
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(buffer.data(), subBlock.c_str(), &value, &length) || value == nullptr || length == 0)
        return std::nullopt;
    // The length counts characters, the terminating zero included.
    std::string text(static_cast<const char*>(value), length);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

std::string RunningProgramPath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return std::string(path.data(), length);
        path.resize(path.size() * 2);
    }
}

} // namespace vz

#include "app/win32/win_text.h"

#include <windows.h>

namespace vz::win {

namespace {

std::wstring Decode(UINT codePage, DWORD flags, const std::string& text) {
    const int length = static_cast<int>(text.size());
    const int count = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
    if (count <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), length, wide.data(), count);
    return wide;
}

} // namespace

std::wstring WideText(const std::string& text) {
    if (text.empty()) return {};
    std::wstring wide = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, text);
    if (!wide.empty()) return wide;
    return Decode(1252, 0, text);
}

std::string Utf8Text(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (count <= 0) return {};
    std::string bytes(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), count, nullptr, nullptr);
    return bytes;
}

} // namespace vz::win

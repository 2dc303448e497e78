// vz_window_text.exe TITLE: prints the texts of the top-level window whose title
// begins with TITLE and of its controls, one a line, so that a test reads what
// the operator sees. Exits 1 when there is no such window.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
    std::wstring prefix;
    HWND found = nullptr;
};

std::wstring Text(HWND window) {
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

void Print(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    // Memo lines end in CR LF; one line per line of text.
    for (char c : bytes.substr(0, bytes.size() - 1))
        if (c != '\r') std::fputc(c, stdout);
    std::fputc('\n', stdout);
}

BOOL CALLBACK TopLevel(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (IsWindowVisible(window) && Text(window).rfind(search->prefix, 0) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK Child(HWND window, LPARAM) {
    if (IsWindowVisible(window)) Print(Text(window));
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: vz_window_text TITLE\n", stderr);
        return 2;
    }
    Search search{argv[1]};
    EnumWindows(TopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) return 1;
    Print(Text(search.found));
    EnumChildWindows(search.found, Child, 0);
    return 0;
}

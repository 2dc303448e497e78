// vz_window_text.exe TITLE: prints the texts of the top-level window whose title
// begins with TITLE and of its controls, one a line, so that a test reads what
// the operator sees. Exits 1 when there is no such window.
// vz_window_text.exe --focus TITLE: prints the text of the control of that window
// that has the keyboard focus (an empty line for none).
// vz_window_text.exe --client TITLE: prints the size of its client area, "W H".
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
    const std::wstring option = argc == 3 ? argv[1] : L"";
    if (argc != 2 && option != L"--focus" && option != L"--client") {
        std::fputs("usage: vz_window_text [--focus|--client] TITLE\n", stderr);
        return 2;
    }
    // Sizes in the screen's pixels, not scaled down to a 96-DPI program's view.
    SetProcessDPIAware();
    Search search{argv[argc - 1]};
    EnumWindows(TopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) return 1;
    if (option == L"--focus") {
        // The focus is the window's thread's, read from outside through its GUI state.
        GUITHREADINFO state{};
        state.cbSize = sizeof state;
        const DWORD thread = GetWindowThreadProcessId(search.found, nullptr);
        if (!GetGUIThreadInfo(thread, &state)) return 1;
        Print(state.hwndFocus != nullptr && state.hwndFocus != search.found ? Text(state.hwndFocus) : L"");
        return 0;
    }
    if (option == L"--client") {
        RECT client{};
        GetClientRect(search.found, &client);
        std::printf("%ld %ld\n", client.right, client.bottom);
        return 0;
    }
    Print(Text(search.found));
    EnumChildWindows(search.found, Child, 0);
    return 0;
}

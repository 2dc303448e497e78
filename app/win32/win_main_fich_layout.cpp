// The window's controls: made, placed at the screen's DPI and placed again when
// the window moves to a screen of another DPI.
#include "app/win32/win_main_fich.h"

#include "app/win32/win_main_fich_ids.h"
#include "app/win32/win_text.h"

#include <commctrl.h>

#include <utility>

namespace vz::win {

void TWinMainFich::BuildControls() {
    font_ = MakeFont(face::kMainFont, dpi_);
    const HFONT font = font_.Handle();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const face::Rect memo = face::Scaled(face::kMemoStatus.rect, dpi_);
    memoStatus_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                        memo.left, memo.top, memo.width, memo.height, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMemoId)), instance, nullptr);
    SendMessageW(memoStatus_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // No limit but the system's on what the memo holds.
    SendMessageW(memoStatus_, EM_SETLIMITTEXT, 0, 0);
    // The read-only memo's background: the system menu colour.
    memoBrush_ = GetSysColorBrush(COLOR_MENU);

    progressBar1_ = MakeControl(window_, face::kProgressBar1, PROGRESS_CLASSW, WS_VISIBLE | PBS_SMOOTH,
                                kBar1Id, font, TCaptionKind::Label, {0, 0}, 0, dpi_);
    progressBar2_ = MakeControl(window_, face::kProgressBar2, PROGRESS_CLASSW, WS_VISIBLE | PBS_SMOOTH,
                                kBar2Id, font, TCaptionKind::Label, {0, 0}, 0, dpi_);
    // What each bar measures, when the pointer rests on it.
    tips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
    for (const auto& [bar, tip] : {std::pair{progressBar1_, face::kProgressBar1Tip},
                                   std::pair{progressBar2_, face::kProgressBar2Tip}}) {
        std::wstring text = WideText(tip);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(bar);
        tool.lpszText = text.data();
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    const int width = face::kMainClientSize.width;
    readId_ = MakeControl(window_, face::kReadId, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, kReadIdId, font,
                          TCaptionKind::Button, {0, 0}, width, dpi_);
    start_ = MakeControl(window_, face::kStart, WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kStartId,
                         font, TCaptionKind::Button, {0, 0}, width, dpi_);
    quit_ = MakeControl(window_, face::kQuit, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, kQuitId, font,
                        TCaptionKind::Button, {0, 0}, width, dpi_);
}

void TWinMainFich::PlaceControls() {
    const HFONT font = font_.Handle();
    for (HWND control : {memoStatus_, progressBar1_, progressBar2_, readId_, start_, quit_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (const auto& [control, description] :
         {std::pair{memoStatus_, &face::kMemoStatus}, std::pair{progressBar1_, &face::kProgressBar1},
          std::pair{progressBar2_, &face::kProgressBar2}}) {
        const face::Rect r = face::Scaled(description->rect, dpi_);
        SetWindowPos(control, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const int width = face::kMainClientSize.width;
    for (const auto& [button, description] :
         {std::pair{readId_, &face::kReadId}, std::pair{start_, &face::kStart},
          std::pair{quit_, &face::kQuit}}) {
        wchar_t caption[64] = {};
        GetWindowTextW(button, caption, 64);
        SetFittedCaption(button, description->rect, caption, font, TCaptionKind::Button, {0, 0}, width, dpi_);
    }
}

void TWinMainFich::DpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;
    // The controls take the new font before the old one goes.
    TFont font = MakeFont(face::kMainFont, dpi_);
    std::swap(font_, font);
    PlaceControls();
    if (suggested != nullptr)
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientHeight();
}

void TWinMainFich::FitClientHeight() {
    // A menu bar that wraps would take room from the client area.
    const int height = face::Scaled(face::kMainClientSize.height, dpi_);
    RECT client{};
    GetClientRect(window_, &client);
    if (client.bottom == height) return;
    RECT outer{};
    GetWindowRect(window_, &outer);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left,
                 outer.bottom - outer.top + height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace vz::win

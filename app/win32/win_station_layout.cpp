// The station window's controls: the header and a tile a port, placed for the
// client area's size at the screen's DPI, in the colours of each port's state.
#include "app/win32/win_station_fich.h"

#include "app/win32/win_text.h"

#include <commctrl.h>

#include <algorithm>
#include <tuple>

namespace vz::win {

namespace {

HWND MakeStatic(HWND parent, HFONT font, DWORD style = SS_LEFT) {
    HWND control = CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX | style, 0, 0, 0,
                                   0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void SetText(HWND control, const std::string& text) {
    const std::wstring wide = WideText(text);
    const int length = GetWindowTextLengthW(control);
    std::wstring shown(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(control, shown.data(), length + 1);
    shown.resize(static_cast<std::size_t>(length));
    // Unchanged texts are not drawn again: a tile does not flicker at each heartbeat.
    if (shown != wide) SetWindowTextW(control, wide.c_str());
}

int LineHeight(HFONT font) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading);
}

int TextWidth(HFONT font, const std::string& text) {
    const std::wstring wide = WideText(text);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    SIZE size{};
    GetTextExtentPoint32W(screen, wide.c_str(), static_cast<int>(wide.size()), &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return static_cast<int>(size.cx);
}

void Place(HWND control, int left, int top, int width, int height) {
    SetWindowPos(control, nullptr, left, top, std::max(0, width), std::max(0, height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Moved only when its place changed: the header is placed again at every refresh.
void PlaceIfMoved(HWND control, int left, int top, int width, int height) {
    RECT now{};
    GetWindowRect(control, &now);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&now), 2);
    if (now.left != left || now.top != top || now.right - now.left != width || now.bottom - now.top != height)
        Place(control, left, top, width, height);
}

COLORREF Rgb(face::Colour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

} // namespace

void TWinStationFich::MakeFonts() {
    font_ = DialogFont(dpi_);
    bold_ = DialogFont(dpi_, 100, true);
    // The state is read from a distance, across the bench.
    titleFont_ = DialogFont(dpi_, 120, true);
    stateFont_ = DialogFont(dpi_, 130, true);
}

void TWinStationFich::BuildControls() {
    MakeFonts();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // The buttons first: the Tab key goes from one to the other and nowhere else.
    for (auto [control, caption, id] : {std::tuple{&start_, face::kStationStart, kStartId},
                                        std::tuple{&stop_, face::kStationStop, kStopId}}) {
        *control = CreateWindowExW(0, WC_BUTTONW, WideText(caption).c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(*control, WM_SETFONT, reinterpret_cast<WPARAM>(bold_.Handle()), FALSE);
    }
    // A long path keeps its end, where the file's name is.
    package_ = MakeStatic(window_, font_.Handle(), SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS);
    people_ = MakeStatic(window_, font_.Handle(), SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS);
    report_ = MakeStatic(window_, font_.Handle(), SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS);
    totals_ = MakeStatic(window_, bold_.Handle(), SS_LEFTNOWORDWRAP);
    elapsed_ = MakeStatic(window_, font_.Handle(), SS_LEFTNOWORDWRAP);
    BuildTiles();
}

void TWinStationFich::BuildTiles() {
    for (const TileControls& tile : tiles_)
        for (HWND control : {tile.title, tile.state, tile.bar, tile.activity, tile.counts, tile.last})
            DestroyWindow(control);
    tiles_.assign(board_.PortCount(), TileControls{});
    for (std::size_t port = 0; port < tiles_.size(); ++port) {
        TileControls& tile = tiles_[port];
        tile.title = MakeStatic(window_, titleFont_.Handle(), SS_LEFTNOWORDWRAP);
        tile.state = MakeStatic(window_, stateFont_.Handle(), SS_CENTER);
        tile.bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0, 0, 0, 0,
                                   window_, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(tile.bar, PBM_SETRANGE32, 0, 100);
        tile.activity = MakeStatic(window_, font_.Handle());
        tile.counts = MakeStatic(window_, font_.Handle(), SS_LEFTNOWORDWRAP);
        tile.last = MakeStatic(window_, font_.Handle());
        DrawTile(port);
    }
    PlaceControls();
}

void TWinStationFich::PlaceControls() {
    if (window_ == nullptr || start_ == nullptr) return;
    RECT client{};
    GetClientRect(window_, &client);
    const int margin = face::Scaled(8, dpi_);
    const int line = LineHeight(font_.Handle()) + face::Scaled(2, dpi_);
    const int buttonHeight = face::Scaled(44, dpi_);
    PlaceHeader();
    const int top = margin + std::max(3 * line, buttonHeight) + margin;

    // The tiles fill the rest, in rows.
    tileRects_.clear();
    const int count = static_cast<int>(tiles_.size());
    if (count == 0) return;
    const int columns = face::TileColumns(count);
    const int rows = (count + columns - 1) / columns;
    const int width = (client.right - margin * (columns + 1)) / columns;
    const int height = (client.bottom - top - margin * rows) / rows;
    const int pad = face::Scaled(8, dpi_);
    const int titleLine = LineHeight(titleFont_.Handle());
    const int stateHeight = 2 * LineHeight(stateFont_.Handle()) + face::Scaled(6, dpi_);
    for (int index = 0; index < count; ++index) {
        const TileControls& tile = tiles_[static_cast<std::size_t>(index)];
        const int left = margin + (index % columns) * (width + margin);
        const int tileTop = top + (index / columns) * (height + margin);
        tileRects_.push_back(RECT{left, tileTop, left + width, tileTop + height});
        const int x = left + pad;
        const int inner = width - 2 * pad;
        int y = tileTop + pad;
        Place(tile.title, x, y, inner, titleLine);
        y += titleLine + pad / 2;
        Place(tile.state, x, y, inner, stateHeight);
        y += stateHeight + pad / 2;
        Place(tile.bar, x, y, inner, face::Scaled(16, dpi_));
        y += face::Scaled(16, dpi_) + pad / 2;
        Place(tile.activity, x, y, inner, 2 * line);
        y += 2 * line;
        Place(tile.counts, x, y, inner, line);
        y += line + pad / 2;
        // A result, its reason and its advice take a few lines; the block stays no larger.
        Place(tile.last, x, y, inner, std::min(7 * line, tileTop + height - pad - y));
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void TWinStationFich::PlaceHeader() {
    if (window_ == nullptr || start_ == nullptr) return;
    RECT client{};
    GetClientRect(window_, &client);
    const int margin = face::Scaled(8, dpi_);
    const int line = LineHeight(font_.Handle()) + face::Scaled(2, dpi_);
    const int buttonWidth = face::Scaled(140, dpi_);
    const int buttonHeight = face::Scaled(44, dpi_);
    // Three lines beside the two buttons.
    const int buttonsLeft = client.right - margin - 2 * buttonWidth - margin;
    PlaceIfMoved(start_, buttonsLeft, margin, buttonWidth, buttonHeight);
    PlaceIfMoved(stop_, buttonsLeft + buttonWidth + margin, margin, buttonWidth, buttonHeight);
    const int width = buttonsLeft - 2 * margin;
    PlaceIfMoved(package_, margin, margin, width, line);
    // The second column starts after what the first shows, or in the middle, whichever is further.
    const auto shownWidth = [](HWND control, HFONT font) {
        const int length = GetWindowTextLengthW(control);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(control, text.data(), length + 1);
        return TextWidth(font, Utf8Text(text.substr(0, static_cast<std::size_t>(length))));
    };
    const int gap = face::Scaled(24, dpi_);
    const int column = std::min(width, std::max({width / 2, shownWidth(people_, font_.Handle()) + gap,
                                                 shownWidth(totals_, bold_.Handle()) + gap}));
    PlaceIfMoved(people_, margin, margin + line, column, line);
    PlaceIfMoved(report_, margin + column, margin + line, width - column, line);
    PlaceIfMoved(totals_, margin, margin + 2 * line, column, line);
    PlaceIfMoved(elapsed_, margin + column, margin + 2 * line, width - column, line);
}

void TWinStationFich::Paint() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window_, &paint);
    for (RECT frame : tileRects_)
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    EndPaint(window_, &paint);
}

void TWinStationFich::DpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;
    // The controls take the new fonts before the old ones go.
    TFont font = DialogFont(dpi_), bold = DialogFont(dpi_, 100, true), title = DialogFont(dpi_, 120, true),
          state = DialogFont(dpi_, 130, true);
    std::swap(font_, font);
    std::swap(bold_, bold);
    std::swap(titleFont_, title);
    std::swap(stateFont_, state);
    const auto use = [](HWND control, const TFont& f) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(f.Handle()), TRUE);
    };
    for (HWND control : {start_, stop_, totals_})
        use(control, bold_);
    for (HWND control : {package_, people_, report_, elapsed_})
        use(control, font_);
    for (const TileControls& tile : tiles_) {
        use(tile.title, titleFont_);
        use(tile.state, stateFont_);
        for (HWND control : {tile.activity, tile.counts, tile.last})
            use(control, font_);
    }
    if (suggested != nullptr)
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceControls();
}

HBRUSH TWinStationFich::PaintStatic(HWND control, HDC dc) {
    for (const TileControls& tile : tiles_) {
        face::TileLook look;
        if (control == tile.state)
            look = tile.look;
        else if (control == tile.last && GetWindowTextLengthW(control) > 0)
            look = tile.lastLook;
        else
            continue;
        const face::TileStyle& style = face::StyleOf(look);
        HBRUSH& brush = brushes_[static_cast<std::size_t>(look)];
        if (brush == nullptr) brush = CreateSolidBrush(Rgb(style.background));
        SetBkColor(dc, Rgb(style.background));
        SetTextColor(dc, Rgb(style.text));
        return brush;
    }
    return nullptr;
}

void TWinStationFich::DrawTile(std::size_t port) {
    if (port >= tiles_.size()) return;
    TileControls& tile = tiles_[port];
    const face::TileView view = board_.Tile(port);
    const bool recolour = tile.look != view.look || tile.lastLook != view.lastLook;
    tile.look = view.look;
    tile.lastLook = view.lastLook;
    SetText(tile.title, view.title);
    SetText(tile.state, view.state);
    if (SendMessageW(tile.bar, PBM_GETPOS, 0, 0) != view.percent)
        SendMessageW(tile.bar, PBM_SETPOS, view.percent, 0);
    SetText(tile.activity, view.activity);
    SetText(tile.counts, view.counts);
    SetText(tile.last, view.last);
    if (recolour) {
        InvalidateRect(tile.state, nullptr, TRUE);
        InvalidateRect(tile.last, nullptr, TRUE);
    }
}

void TWinStationFich::DrawHeader() {
    const face::HeaderView header = board_.Header();
    SetText(package_, header.package);
    SetText(people_, header.people);
    SetText(totals_, header.totals);
    SetText(elapsed_, header.elapsed);
    SetText(report_, header.report);
    // The totals grow through a shift: the second column keeps clear of them.
    PlaceHeader();
}

void TWinStationFich::DrawButtons() {
    const bool running = board_.Running();
    const bool hadFocus = FocusedButton() != nullptr;
    EnableWindow(start_, running ? FALSE : TRUE);
    EnableWindow(stop_, running ? TRUE : FALSE);
    // The keys stay on the button that can act: Stop while the station runs.
    if (hadFocus || (GetFocus() == nullptr && GetActiveWindow() == window_))
        SetFocus(running ? stop_ : start_);
}

} // namespace vz::win

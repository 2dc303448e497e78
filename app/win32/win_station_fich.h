// TStationFich on plain Win32: the station window. One tile a port, Start and
// Stop for all ports. It gives the station its thread (window timers, posted
// messages) and draws what the board tells; the devices, the records and the
// transcripts are the station's own. Its parts: win_station_fich.cpp (life,
// messages, the operator's questions) and win_station_layout.cpp (controls,
// tiles, colours, DPI).
#pragma once

#include "app/face_data/station_board.h"
#include "app/win32/win_controls.h"
#include "link/port_list.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vz::win {

class TWinStationFich : private TStationLoop, private face::StationBoardFace {
public:
    TWinStationFich(face::StationArguments arguments, face::StationContext context);
    ~TWinStationFich() override;
    TWinStationFich(const TWinStationFich&) = delete;
    TWinStationFich& operator=(const TWinStationFich&) = delete;

    // Makes the window and its controls; false when the system refused.
    bool Create();
    void Show(int how);
    HWND Handle() const { return window_; }

    void StartClick();
    void StopClick();

private:
    class Timer;
    static constexpr int kStartId = 101;
    static constexpr int kStopId = 102;
    // A tile's controls.
    struct TileControls {
        HWND frame = nullptr;
        HWND title = nullptr;
        HWND state = nullptr;
        HWND bar = nullptr;
        HWND activity = nullptr;
        HWND counts = nullptr;
        HWND last = nullptr;
        face::TileLook look = face::TileLook::Idle;
        face::TileLook lastLook = face::TileLook::Idle;
    };

    template <typename Form> friend LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // WM_CLOSE: true when the window may close (a device mid-update asks first).
    bool MayClose();
    bool ConfirmStop(const char* question);
    void ShowBox(const std::string& text, const char* title);
    HWND FocusedButton() const;

    // Layout (win_station_layout.cpp).
    void BuildControls();
    void BuildTiles();
    void MakeFonts();
    void PlaceControls();
    void PlaceHeader();
    // The frames around the tiles.
    void Paint();
    void DpiChanged(int dpi, const RECT* suggested);
    // The brush and colours of a tile's state or last-result control; null: the window's own.
    HBRUSH PaintStatic(HWND control, HDC dc);

    // The station's thread.
    std::unique_ptr<TTimer> NewTimer(std::function<void()> fire) override;
    void Post(std::function<void()> work) override;

    // What the board draws.
    void DrawTile(std::size_t port) override;
    void DrawHeader() override;
    void DrawButtons() override;
    void ShowBoxLater(const std::string& text, const char* title) override;

    face::StationBoard board_;
    HWND window_ = nullptr;
    std::atomic<HWND> postTarget_{nullptr};
    std::map<UINT_PTR, std::function<void()>> timers_;
    UINT_PTR nextTimer_ = 1;
    bool closing_ = false;
    int boxesShown_ = 0;

    HWND package_ = nullptr;
    HWND people_ = nullptr;
    HWND report_ = nullptr;
    HWND totals_ = nullptr;
    HWND elapsed_ = nullptr;
    HWND start_ = nullptr;
    HWND stop_ = nullptr;
    std::vector<TileControls> tiles_;
    std::vector<RECT> tileRects_;

    int dpi_ = 96;
    TFont font_;
    TFont bold_;
    TFont titleFont_;
    TFont stateFont_;
    // A brush for each look's background, made when first painted.
    std::array<HBRUSH, 10> brushes_{};
};

} // namespace vz::win

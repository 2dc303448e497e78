// The two modal dialogs of the window: the about box and the component
// selection dialog of Manual mode.
#pragma once

#include "app/win32/win_controls.h"

#include <windows.h>

#include <string>

namespace vz::win {

// A modal dialog with no controls of its own: `proc` makes them in pixels at
// WM_INITDIALOG, where lParam is `self`.
INT_PTR RunDialog(HWND owner, DLGPROC proc, void* self);
// Sizes `dialog` so that its client area is `client` (96-DPI pixels) at `dpi`.
void SizeClient(HWND dialog, face::Size client, int dpi);

// TAboutBox: the product title and the program's file version.
class TWinAboutBox {
public:
    // `programPath`: the file whose version resource is shown.
    explicit TWinAboutBox(std::string programPath);
    ~TWinAboutBox();
    TWinAboutBox(const TWinAboutBox&) = delete;
    TWinAboutBox& operator=(const TWinAboutBox&) = delete;
    // Modal over `owner`; returns when it is closed.
    void ShowModal(HWND owner);
    // "Version : " and the file version, or the design caption without one.
    const std::wstring& VersionCaption() const { return version_; }

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void FormCreate(HWND dialog);

    std::wstring version_;
    TFont font_;
    HICON icon_ = nullptr;       // the program's icon at the size the box shows it
    int dpi_ = face::kLayoutDpi; // of the screen the font and the icon were made for
};

// TCompSelDlg: its three boxes keep their states between openings, whether it
// is closed by OK or by its close box.
class TWinCompSelDlg {
public:
    void ShowModal(HWND owner);
    bool Keyb() const { return keyb_; }
    bool Prom1() const { return prom1_; }
    bool Prom2() const { return prom2_; }

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void FormCreate(HWND dialog);
    void KeepBoxes(HWND dialog);

    bool keyb_ = true;
    bool prom1_ = true;
    bool prom2_ = true;
    TFont font_;
    int dpi_ = face::kLayoutDpi;
};

} // namespace vz::win

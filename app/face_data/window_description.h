// What both faces of the window show, written once: object names, captions,
// geometry, the menu tree and the dialogs' texts. Each face reads it and keeps
// only its toolkit's calls, so a caption cannot differ between them.
#pragma once

#include <cstdint>
#include <span>

namespace vz::face {

// Pixels in the client area of the form that holds the control. A width or
// height of 0 means "as large as the caption" (labels).
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Control {
    const char* name;
    const char* caption; // the design caption; nullptr for none
    Rect rect;
};

struct Font {
    const char* face;
    int pixelHeight; // character height; does not follow the system's font scaling
};

// A radio item: checking it unchecks the other items of its menu.
struct MenuItem {
    const char* name;
    const char* caption;
    bool checkedAtCreation;
    int value; // the port number, the model code, or the item's place in its menu
};

struct Menu {
    const char* name;
    const char* caption;
    std::span<const MenuItem> items;
};

struct Size {
    int width;
    int height;
};

inline constexpr char kProductTitle[] = "Zentrik Vorna-Zadod Updater";

// The main window.
inline constexpr char kMainFormName[] = "MainFich";
inline constexpr char kMenuBarName[] = "MainMenu1";
inline constexpr Size kMainClientSize{526, 221};
inline constexpr Font kMainFont{"MS Sans Serif", 16};
inline constexpr Control kMemoStatus{"MemoStatus", nullptr, {22, 8, 484, 105}};
inline constexpr Control kProgressBar1{"ProgressBar1", nullptr, {22, 120, 484, 17}};
inline constexpr Control kProgressBar2{"ProgressBar2", nullptr, {22, 145, 484, 17}};
// What each bar measures, shown when the pointer rests on it.
inline constexpr char kProgressBar1Tip[] = "Current file: the steps of the script line being run";
inline constexpr char kProgressBar2Tip[] = "Script: the lines of the update script";
inline constexpr Control kReadId{"ReadId", "Read Id", {22, 173, 137, 41}};
inline constexpr Control kStart{"Start", "Start", {180, 173, 169, 41}};
inline constexpr Control kQuit{"Quit", "Quit", {369, 173, 137, 41}};
inline constexpr char kTimerName[] = "Timer1";
// The About item's caption, set at creation over its design caption.
inline constexpr char kAboutItemCaption[] = "&About Zentrik Vorna-Zadod Updater";

// Menus in the order of the menu bar.
enum MenuIndex { kPortMenu, kDeviceMenu, kModeMenu, kSpeedMenu, kAboutMenu, kMenuCount };
std::span<const Menu> MenuBar();
const Menu& MenuAt(MenuIndex menu);
// The item checked at creation; 0 for a menu without one.
int DefaultItem(MenuIndex menu);

// The error boxes.
inline constexpr char kErrorBoxTitle[] = "Error";

// Asked when the window is closed while an update runs; No is the default.
inline constexpr char kCloseQuestionTitle[] = "Update running";
inline constexpr char kCloseQuestion[] =
    "An update is running. Closing now stops it and leaves the device partly updated. Close anyway?";

// The about box.
inline constexpr char kAboutFormName[] = "AboutBox";
inline constexpr char kAboutCaption[] = "About \"Zentrik Vorna-Zadod Updater\"";
inline constexpr Size kAboutClientSize{270, 149};
inline constexpr Font kAboutFont{"MS Sans Serif", 11};
inline constexpr Control kAboutPanel{"Panel1", nullptr, {8, 8, 256, 137}};
// These four lie in the panel.
inline constexpr Control kAboutIcon{"ProgramIcon", nullptr, {16, 24, 41, 41}};
inline constexpr Control kAboutTitle{"LTitle", kProductTitle, {68, 24, 0, 0}};
inline constexpr Control kAboutVersion{"LVersion", "Version : X.X.X.X", {104, 44, 0, 0}};
inline constexpr Control kAboutNotice{"LNotice", "Copyright Zentrik", {86, 60, 0, 0}};
inline constexpr Control kAboutOK{"OKButton", "OK", {98, 108, 75, 25}};
inline constexpr char kVersionPrefix[] = "Version : ";

// The component selection dialog; it has the system's default font.
inline constexpr char kCompSelFormName[] = "CompSelDlg";
inline constexpr char kCompSelCaption[] = "Component Selection";
inline constexpr Size kCompSelClientSize{313, 171};
inline constexpr Control kCompGroup{"GroupBox1", "Select Component to Program", {8, 4, 297, 161}};
// These four lie in the group box.
inline constexpr Control kCompKeyb{"CBKeyb", "Keyb 350", {112, 24, 73, 17}};
inline constexpr Control kCompProm1{"CBProm1", "Prom 1", {112, 52, 73, 17}};
inline constexpr Control kCompProm2{"CBProm2", "Prom 2", {112, 80, 73, 17}};
inline constexpr Control kCompOK{"OKBtn", "OK", {75, 112, 154, 33}};

// A control as wide and high as its caption needs, measured by the face in its
// own font: it keeps its place and grows to the right and downwards, never
// beyond `limit` (the width of what holds it, 0 for none), and never shrinks.
Rect FitCaption(const Rect& design, Size needed, int limit = 0);

// The layout's pixels are those of a 96-DPI screen; a face on a denser screen
// multiplies them by dpi / 96, rounded to the nearest pixel.
inline constexpr int kLayoutDpi = 96;
int Scaled(int pixels, int dpi);
Rect Scaled(const Rect& rect, int dpi);
Size Scaled(Size size, int dpi);

} // namespace vz::face

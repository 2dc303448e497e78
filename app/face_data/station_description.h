// What every face of the station window shows, written once: its title, captions,
// questions, the words and colours of a port's tile and how tiles are laid out.
#pragma once

#include <cstdint>
#include <string>

namespace vz::face {

inline constexpr char kStationTitle[] = "Zentrik Vorna-Zadod Station";
inline constexpr char kStationFormName[] = "StationFich";
inline constexpr char kStationStart[] = "&Start";
inline constexpr char kStationStop[] = "S&top";
inline constexpr char kStationStartName[] = "Start";
inline constexpr char kStationStopName[] = "Stop";

// Asked on Stop and on closing while a device is mid-update; No is the default.
inline constexpr char kStationStopTitle[] = "Devices are being updated";
inline constexpr char kStationStopQuestion[] =
    "Devices are being updated. Stopping now leaves them partly updated; each is recorded as "
    "stopped. Stop anyway?";
inline constexpr char kStationCloseQuestion[] =
    "Devices are being updated. Closing now stops them and leaves them partly updated; each is "
    "recorded as stopped. Close anyway?";
inline constexpr char kStationRefusedTitle[] = "The station cannot start";
inline constexpr char kStationReportTitle[] = "The report cannot be written";

// The dialog that chooses the ports when none was given.
inline constexpr char kStationPortsTitle[] = "Ports of the station";
inline constexpr char kStationPortsFormName[] = "StationPortDlg";
inline constexpr char kStationPortsPrompt[] =
    "Choose the ports of the station; a label (the socket's name) is optional.";
inline constexpr char kStationLabelHint[] = "label (optional)";
inline constexpr char kStationNoPorts[] = "No serial port was found. Connect the adapters and try again.";

struct Colour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// What a tile shows of its port: the port's state, and once its count is reached or
// the station stopped, how its last device ended.
enum class TileLook {
    Idle,
    Opening,
    Waiting,
    Updating,
    Completed,
    Failed,
    Stopped,
    Gone,
    Finished,
    Unusable
};

struct TileStyle {
    const char* words;
    Colour background;
    Colour text;
};

const TileStyle& StyleOf(TileLook look);

// Tiles laid out in a grid: how many columns for `ports` tiles.
int TileColumns(int ports);
inline constexpr int kTileMinWidth = 300;
inline constexpr int kTileMinHeight = 200;
// The window's first size, fitting a 1366x768 screen with its task bar.
inline constexpr int kStationWidth = 1300;
inline constexpr int kStationHeight = 680;

// The header's lines.
std::string PackageLine(const std::string& root, const std::string& sha256);
std::string PeopleLine(const std::string& station, const std::string& operatorName);
// "Completed 3  Failed 1  Stopped 0  Yield 75 %"; yield over completed and failed.
std::string TotalsLine(long completed, long failed, long stopped);
// "Elapsed 1:02:03".
std::string ElapsedLine(long seconds);
std::string ReportLine(const std::string& report);
// "Completed 2  Failed 0  Stopped 1" under a tile.
std::string TileCounts(long completed, long failed, long stopped);

} // namespace vz::face

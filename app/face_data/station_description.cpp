#include "app/face_data/station_description.h"

#include <cstdio>

namespace vz::face {

const TileStyle& StyleOf(TileLook look) {
    // Light backgrounds with dark words, readable in either colour scheme.
    static constexpr TileStyle kStyles[] = {
        {"not started", {0xE0, 0xE0, 0xE0}, {0x30, 0x30, 0x30}},
        {"opening the port", {0xE0, 0xE0, 0xE0}, {0x30, 0x30, 0x30}},
        {"waiting for a device", {0xD6, 0xE4, 0xF5}, {0x10, 0x30, 0x60}},
        {"updating", {0xFF, 0xE8, 0xA8}, {0x50, 0x38, 0x00}},
        {"completed", {0xC8, 0xEC, 0xC8}, {0x10, 0x50, 0x18}},
        {"failed", {0xF6, 0xC6, 0xC6}, {0x80, 0x10, 0x10}},
        {"stopped", {0xFF, 0xD8, 0xA0}, {0x60, 0x38, 0x00}},
        {"adapter gone", {0xF6, 0xC6, 0xC6}, {0x80, 0x10, 0x10}},
        {"finished", {0xE0, 0xE0, 0xE0}, {0x30, 0x30, 0x30}},
        {"cannot be opened", {0xF6, 0xC6, 0xC6}, {0x80, 0x10, 0x10}},
    };
    return kStyles[static_cast<int>(look)];
}

int TileColumns(int ports) {
    if (ports <= 2) return ports < 1 ? 1 : ports;
    if (ports <= 4) return 2;
    if (ports <= 6) return 3;
    return 4;
}

std::string PackageLine(const std::string& root, const std::string& sha256) {
    std::string line = "Package: " + (root.empty() ? std::string("(not checked yet)") : root);
    if (!sha256.empty()) line += "   sha256 " + sha256.substr(0, 12);
    return line;
}

std::string PeopleLine(const std::string& station, const std::string& operatorName) {
    return "Station: " + station + "   Operator: " + (operatorName.empty() ? std::string("-") : operatorName);
}

std::string TotalsLine(long completed, long failed, long stopped) {
    std::string line = TileCounts(completed, failed, stopped) + "   Yield ";
    if (completed + failed == 0) return line + "-";
    return line + std::to_string(completed * 100 / (completed + failed)) + " %";
}

std::string ElapsedLine(long seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "Elapsed %ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string ReportLine(const std::string& report) {
    return "Report: " + (report.empty() ? std::string("none") : report);
}

std::string TileCounts(long completed, long failed, long stopped) {
    return "Completed " + std::to_string(completed) + "   Failed " + std::to_string(failed) + "   Stopped " +
           std::to_string(stopped);
}

} // namespace vz::face

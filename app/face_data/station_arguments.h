// The station window's command line (`vzupdater --station ...`), read the same way
// by every window face before any window is made.
#pragma once

#include <string>
#include <vector>

namespace vz::face {

struct StationPortArgument {
    std::string label; // empty: the port's name stands for it
    std::string port;  // 1 to 9, or a device path
};

struct StationArguments {
    bool station = false; // --station: the station window instead of the single-device one
    std::vector<StationPortArgument> ports;
    std::string report;       // JSON Lines, appended; empty: none
    std::string logDir;       // one transcript a device; empty: none
    long count = 0;           // devices a port takes; 0: until stopped
    long stopAfter = 0;       // a port ends after this many failures in a row; 0: never
    std::string stationName;  // empty: the host's name
    std::string operatorName; // empty: none recorded
    std::string device = "auto";
    std::string mode = "auto";
    std::vector<std::string> components{"keyb", "prom1", "prom2"};
    std::string speed = "fast";
    std::string root;
    std::string script;
    // A bad argument: one line saying which; empty when all were understood.
    std::string error;
};

// True when the command line asks for the station window.
bool WantsStation(int argc, const char* const* argv);
StationArguments ParseStationArguments(int argc, const char* const* argv);

// "LABEL=PORT" or "PORT".
StationPortArgument ParsePortArgument(const std::string& text);

std::string StationUsageText();

} // namespace vz::face

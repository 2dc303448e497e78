// A station's settings from what its face was given, the same for every face: the
// ports' choices, the locked model, the checks before the first device, the session.
#pragma once

#include "app/core/station.h"

#include <optional>
#include <string>
#include <vector>

namespace vz {

// The words a run is chosen with on either face's command line.
struct TRunWords {
    std::string device = "auto"; // a model's name; any other word: the device is identified
    std::string mode = "auto";   // "manual" or "auto"
    std::vector<std::string> components{"keyb", "prom1", "prom2"};
    std::string speed = "fast"; // "slow" or "fast"
};

// The port part of a run's choices: digits name COM 1 to 9, anything else a device as
// the system opens it. None for a number out of range.
std::optional<RunChoices> PortChoices(const std::string& port);
// Why `port` is no port, as both faces say it.
std::string BadPortText(const std::string& port);
// Sets the run part of `choices` (speed, mode, components, the device menu).
void SetRunWords(const TRunWords& words, RunChoices& choices);

struct TStationAskPort {
    std::string label; // the socket's name on the line; empty: none
    std::string port;  // as the user gave it
};

// What a face was asked to start a station with.
struct TStationAsk {
    std::vector<TStationAskPort> ports;
    TRunWords run;
    std::string root;   // the package, already found
    std::string script; // empty: the model's script below the root
    std::string logDir;
    std::string report;
    long count = 0;
    long stopAfter = 0;
    std::string stationName; // empty: the host's name stands for it
    std::string hostName;
    std::string operatorName;
    std::string version;
};

// Fills new `settings` from `ask`, all but what differs between faces (preparePort,
// writeLogHeader, silenceSeconds). The reasons, one a line, when the station cannot start.
std::optional<std::string> SetUpStation(const TStationAsk& ask, TStationSettings& settings);

} // namespace vz

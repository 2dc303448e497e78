// The station's settings from its window's command line, for every window face: the
// ports and their choices, the package and the checks before the first device.
#pragma once

#include "app/core/station.h"
#include "app/face_data/station_arguments.h"

#include <functional>
#include <optional>
#include <string>

namespace vz::face {

// Where the package is looked for when no --root is given.
struct PackagePlaces {
    std::string programDir; // with its trailing separator
    std::string variable;   // VZ_ROOT; empty when not set
    std::string machineDir; // the package directory an installer set for the machine; empty: none
    std::string currentDir;
};

// What the window's station settings need beyond the arguments.
struct StationContext {
    PackagePlaces places;
    std::string hostName; // the station's name when none is given
    std::string version;  // the program's, for the records and transcripts
    // The station's clocks, and what a test changes in its settings (its links, the
    // drivers' clock); the system's and nothing for the programs.
    TTimeSource time = TTimeSource::System();
    std::function<void(TStationSettings&)> adjust;
};

// Fills `settings` (a new session) from the arguments; the reasons, one a line, when
// the station cannot start.
std::optional<std::string> FillStationSettings(const StationArguments& arguments,
                                               const StationContext& context, TStationSettings& settings);

// The package the station will use: --root, or where one is found.
std::string PackageRoot(const StationArguments& arguments, const PackagePlaces& places);

// The name a port's tile carries: its label, or the port as given.
std::string PortTitle(const StationPortArgument& port);

} // namespace vz::face

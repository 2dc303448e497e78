#include "app/face_data/station_setup.h"

#include "app/core/model_root.h"
#include "app/core/station_setup.h"

#include <ctime>

namespace vz::face {

std::string PackageRoot(const StationArguments& arguments, const PackagePlaces& places) {
    if (!arguments.root.empty()) return arguments.root;
    return FindModelRoot(places.programDir, places.variable, places.machineDir, places.currentDir).dir;
}

std::string PortTitle(const StationPortArgument& port) {
    return port.label.empty() ? port.port : port.label;
}

std::optional<std::string> FillStationSettings(const StationArguments& arguments,
                                               const StationContext& context, TStationSettings& settings) {
    TStationAsk ask;
    for (const StationPortArgument& port : arguments.ports)
        ask.ports.push_back({port.label, port.port});
    ask.run = {arguments.device, arguments.mode, arguments.components, arguments.speed};
    ask.root = PackageRoot(arguments, context.places);
    ask.script = arguments.script;
    ask.logDir = arguments.logDir;
    ask.report = arguments.report;
    ask.count = arguments.count;
    ask.stopAfter = arguments.stopAfter;
    ask.stationName = arguments.stationName;
    ask.hostName = context.hostName;
    ask.operatorName = arguments.operatorName;
    ask.version = context.version;
    if (auto problem = SetUpStation(ask, settings)) return problem;
    settings.preparePort = [root = arguments.root, places = context.places,
                            script = arguments.script](TRunDriver& driver) {
        driver.UsePackageRoot(root, places.programDir, places.variable, places.machineDir, places.currentDir,
                              false);
        if (!script.empty()) driver.SetScriptArgument(script);
    };
    settings.writeLogHeader = [arguments, root = ask.root,
                               version = context.version](TRunLog& log, const TStationPort& port) {
        const std::time_t now = std::time(nullptr);
        char started[64];
        std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S %z", std::localtime(&now));
        log.Note("head", "vzupdater " + version + " station window");
        log.Note("head", std::string("started ") + started);
        log.Note("head", "port " +
                             (port.choices.portPath.empty() ? std::to_string(port.choices.port)
                                                            : port.choices.portPath) +
                             " (" + port.name + ")");
        log.Note("head",
                 "script " + (arguments.script.empty() ? "script.ini of the identified model below " + root
                                                       : arguments.script));
        std::string components;
        for (const std::string& item : arguments.components)
            components += (components.empty() ? "" : ",") + item;
        log.Note("head", "device " + arguments.device + ", mode " + arguments.mode + ", components " +
                             components + ", speed " + arguments.speed);
    };
    return std::nullopt;
}

} // namespace vz::face

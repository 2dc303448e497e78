#include "app/face_data/station_setup.h"

#include "app/core/model_root.h"
#include "app/core/station_preflight.h"
#include "engines/constante.h"
#include "link/port_list.h"

#include <algorithm>
#include <ctime>
#include <set>

namespace vz::face {

namespace {

bool Has(const std::vector<std::string>& list, const char* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::optional<RunChoices> ChoicesFor(const StationArguments& arguments, const std::string& port) {
    RunChoices choices;
    if (std::all_of(port.begin(), port.end(), [](unsigned char c) { return c >= '0' && c <= '9'; })) {
        choices.port = std::stoi(port.substr(0, 4));
        if (choices.port < 1 || choices.port > 9) return std::nullopt;
    } else {
        choices.portPath = PortOpenName(port);
    }
    choices.slow = arguments.speed == "slow";
    choices.manual = arguments.mode == "manual";
    choices.keyb = Has(arguments.components, "keyb");
    choices.prom1 = Has(arguments.components, "prom1");
    choices.prom2 = Has(arguments.components, "prom2");
    // Every device is identified; one of another model than a locked one is refused.
    choices.menuModel = 0;
    return choices;
}

} // namespace

std::string PackageRoot(const StationArguments& arguments, const PackagePlaces& places) {
    if (!arguments.root.empty()) return arguments.root;
    return FindModelRoot(places.programDir, places.variable, places.machineDir, places.currentDir).dir;
}

std::string PortTitle(const StationPortArgument& port) {
    return port.label.empty() ? port.port : port.label;
}

std::optional<std::string> FillStationSettings(const StationArguments& arguments,
                                               const StationContext& context, TStationSettings& settings) {
    if (arguments.ports.empty()) return "Give at least one --port.";
    std::set<std::string> seen;
    for (const StationPortArgument& port : arguments.ports) {
        const std::optional<RunChoices> choices = ChoicesFor(arguments, port.port);
        if (!choices) return "--port takes 1 to 9 or a device path, not " + port.port;
        const std::string name =
            choices->portPath.empty() ? std::to_string(choices->port) : choices->portPath;
        if (!seen.insert(name).second) return "The port " + port.port + " is given twice.";
        settings.ports.push_back({port.port, port.label, *choices});
    }
    settings.lockedModel = ChosenModelCode(arguments.device);
    TSessionRecord& session = settings.session;
    const std::string root = PackageRoot(arguments, context.places);
    std::optional<std::string> problem = LogDirectoryProblem(arguments.logDir);
    if (!problem) problem = PackageProblem(root, arguments.device, arguments.script, session);
    if (problem) return problem;
    session.station = arguments.stationName.empty() ? context.hostName : arguments.stationName;
    session.operatorName = arguments.operatorName;
    session.runId = NewRunId();
    settings.count = arguments.count;
    settings.stopAfter = arguments.stopAfter;
    settings.report = arguments.report;
    settings.logDir = arguments.logDir;
    settings.version = context.version;
    settings.preparePort = [root = arguments.root, places = context.places,
                            script = arguments.script](TRunDriver& driver) {
        driver.UsePackageRoot(root, places.programDir, places.variable, places.machineDir, places.currentDir,
                              false);
        if (!script.empty()) driver.SetScriptArgument(script);
    };
    settings.writeLogHeader = [arguments, root, version = context.version](TRunLog& log,
                                                                           const TStationPort& port) {
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

#include "app/core/station_setup.h"

#include "app/core/station_preflight.h"
#include "engines/constante.h"
#include "link/port_list.h"

#include <algorithm>
#include <set>

namespace vz {

namespace {

bool Has(const std::vector<std::string>& list, const char* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

std::optional<RunChoices> PortChoices(const std::string& port) {
    RunChoices choices;
    if (!port.empty() &&
        std::all_of(port.begin(), port.end(), [](unsigned char c) { return c >= '0' && c <= '9'; })) {
        choices.port = std::stoi(port.substr(0, 4));
        if (choices.port < 1 || choices.port > 9) return std::nullopt;
    } else {
        // Names as vzflash ports gives them: device paths, by-id links, COM12.
        choices.portPath = PortOpenName(port);
    }
    return choices;
}

std::string BadPortText(const std::string& port) {
    return "--port takes 1 to 9 or a device path, not " + port;
}

void SetRunWords(const TRunWords& words, RunChoices& choices) {
    choices.slow = words.speed == "slow";
    choices.menuModel = ChosenModelCode(words.device);
    choices.manual = words.mode == "manual";
    choices.keyb = Has(words.components, "keyb");
    choices.prom1 = Has(words.components, "prom1");
    choices.prom2 = Has(words.components, "prom2");
}

std::optional<std::string> SetUpStation(const TStationAsk& ask, TStationSettings& settings) {
    if (ask.ports.empty()) return "Give at least one --port";
    std::set<std::string> seen;
    for (const TStationAskPort& port : ask.ports) {
        // A single run without a port takes COM 1; a station's port is always named.
        if (port.port.empty())
            return "--port " + (port.label.empty() ? std::string() : port.label + "=") +
                   ": the port is missing";
        std::optional<RunChoices> choices = PortChoices(port.port);
        if (!choices) return BadPortText(port.port);
        const std::string name =
            choices->portPath.empty() ? std::to_string(choices->port) : choices->portPath;
        if (!seen.insert(name).second) return "The port " + port.port + " is given twice";
        SetRunWords(ask.run, *choices);
        // A locked model: every device is identified, and one of another model refused.
        choices->menuModel = 0;
        settings.ports.push_back({port.port, port.label, *choices});
    }
    settings.lockedModel = ChosenModelCode(ask.run.device);
    TSessionRecord& session = settings.session;
    std::optional<std::string> problem = LogDirectoryProblem(ask.logDir);
    if (!problem) problem = PackageProblem(ask.root, ask.run.device, ask.script, session);
    if (problem) return problem;
    session.station = ask.stationName.empty() ? ask.hostName : ask.stationName;
    session.operatorName = ask.operatorName;
    session.runId = NewRunId();
    settings.count = ask.count;
    settings.stopAfter = ask.stopAfter;
    settings.report = ask.report;
    settings.logDir = ask.logDir;
    settings.version = ask.version;
    return std::nullopt;
}

} // namespace vz

#include "app/cli/command_line.h"

#include "app/cli/inspect_commands.h"
#include "app/cli/ports_command.h"
#include "engines/constante.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <ostream>

namespace vz::cli {

namespace {

// What --device accepts: "auto", then the models of the Device menu in its order.
const std::vector<std::string> kModels = [] {
    std::vector<std::string> models{"auto"};
    for (const chosen_model& model : chosen_models)
        models.emplace_back(ModelName(model.code));
    return models;
}();

// CLI11's own range check prints the largest double as its bound.
const CLI::Validator kSeconds(
    [](std::string& text) {
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc() || end != text.data() + text.size() || !(value >= 0))
            return std::string("must be a number of seconds, 0 or more, not ") + text;
        return std::string();
    },
    "SECONDS");

const CLI::Validator kDevices(
    [](std::string& text) {
        long value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc() || end != text.data() + text.size() || value < 1)
            return std::string("must be a number of devices, 1 or more, not ") + text;
        return std::string();
    },
    "N");

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// What every port of a run or a station is updated with.
void AddChoiceOptions(CLI::App& command, RunOptions& options) {
    command.add_option("--device", options.device, "Device model")
        ->check(CLI::IsMember(kModels))
        ->capture_default_str();
    command.add_option("--mode", options.mode, "auto: every component; manual: those of --components")
        ->check(CLI::IsMember({"auto", "manual"}))
        ->capture_default_str();
    // One value a time ("keyb,prom1"), so that the script after it stays the script.
    command.add_option("--components", options.components, "Components in manual mode, comma-separated")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->delimiter(',')
        ->check(CLI::IsMember({"keyb", "prom1", "prom2"}))
        ->capture_default_str();
    command.add_option("--speed", options.speed, "PROM update speed")
        ->check(CLI::IsMember({"fast", "slow"}))
        ->capture_default_str();
}

} // namespace

const char* ProgramVersion() {
    return VZ_VERSION;
}

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CommandLine line;
    CLI::App app{"vzflash: firmware updater for Vorna-Zadod devices", "vzflash"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("vzflash ") + ProgramVersion());

    RunOptions& run = line.run;
    auto* runCommand = app.add_subcommand("run", "Update a device connected to a serial port");
    runCommand->add_option("SCRIPT", run.script, "Script file; its directory holds every file it names");
    runCommand->add_option("--port", run.port, "COM port 1 to 9, or a device path")->capture_default_str();
    AddChoiceOptions(*runCommand, run);
    runCommand->add_flag("--read-id", run.readId, "Run readid.ini instead of script.ini");
    runCommand->add_option("--root", run.root,
                           "Directory holding one directory per model (default: beside the program, VZ_ROOT, "
                           "the installed package directory on Windows or the current directory)");
    runCommand
        ->add_option("--timeout", run.timeout,
                     "End the run when the device is silent this many seconds (default: none until the "
                     "device calls, then 60; 0: never)")
        ->check(kSeconds);
    runCommand->add_flag("--quiet", run.quiet, "No progress output");
    runCommand->add_option("--log", run.log, "Write a timestamped transcript of the line to this file");

    StationOptions& station = line.station;
    auto* stationCommand =
        app.add_subcommand("station", "Update device after device on several ports at once, with a record");
    stationCommand->add_option("SCRIPT", station.run.script,
                               "Script file; its directory holds every file it names");
    stationCommand->add_option("--port", station.ports, "A port (1 to 9, a device path or COM12); repeat it")
        ->required()
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    AddChoiceOptions(*stationCommand, station.run);
    stationCommand->add_option("--root", station.run.root,
                               "Directory holding one directory per model (default: beside the program, "
                               "VZ_ROOT, the installed package directory on Windows or the current "
                               "directory)");
    stationCommand
        ->add_option("--timeout", station.run.timeout,
                     "End a device's run when it is silent this many seconds after it called (default 60; "
                     "0: never); the wait for the next device has no limit")
        ->check(kSeconds);
    stationCommand->add_option("--count", station.count, "Devices attempted on each port before it ends")
        ->check(kDevices);
    stationCommand
        ->add_option("--stop-after", station.stopAfter,
                     "End a port after this many devices in a row failed on it")
        ->check(kDevices);
    stationCommand->add_option("--report", station.report, "Append one JSON line a device to this file");
    stationCommand->add_option("--log-dir", station.logDir,
                               "Keep a transcript of each device in this directory");
    stationCommand->add_flag("--quiet", station.run.quiet, "One line a device's result, nothing else");
    stationCommand->add_option("--station", station.station,
                               "The station's name in the record (default: the host's)");
    stationCommand->add_option("--operator", station.operatorName, "The operator's name in the record");

    ReportOptions& report = line.report;
    auto* reportCommand = app.add_subcommand(
        "report", "Totals and yield of station records, by station, label, model and error code");
    reportCommand->add_option("FILE", report.files, "Station reports (JSON Lines)")->required();
    reportCommand->add_flag("--by-hour", report.byHour, "Also by the hour the devices ended");
    reportCommand->add_flag("--json", report.json, "One JSON object for programs");

    CheckOptions& check = line.check;
    auto* checkCommand = app.add_subcommand("check", "Find what would stop a script, without a device");
    checkCommand->add_option("SCRIPT", check.script,
                             "Script file (default: every model's scripts below --root)");
    checkCommand->add_option("--root", check.root,
                             "Directory holding one directory per model (default: beside the program, "
                             "VZ_ROOT, the installed package directory on Windows or the current "
                             "directory)");
    checkCommand->add_option("--device", check.device, "Check only this model's directory")
        ->check(CLI::IsMember(kModels))
        ->capture_default_str();

    auto* hexsum =
        app.add_subcommand("hexsum", "Print the 16-bit image sum of an Intel HEX file over a range");
    hexsum->add_option("FILE", line.file, "Intel HEX file")->required();
    hexsum->add_option("FIRST", line.first, "First address, hexadecimal")->required();
    hexsum->add_option("LAST", line.last, "Last address, hexadecimal")->required();

    auto* effect = app.add_subcommand("effect", "Print the command each Effect file line becomes");
    effect->add_option("FILE", line.file, "Effect file")->required();

    auto* convertCommand = AddConvertCommand(app, line.convert);

    auto* ports = app.add_subcommand("ports", "List the serial ports of this machine");
    ports->add_flag("--json", line.portsJson, "As a JSON array, for scripts");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            // --help and --version.
            line.exitCode = app.exit(e, out, err);
        } else {
            err << "vzflash: " << OneLine(e.what()) << " (vzflash --help lists the options)\n";
            line.exitCode = kBadArguments;
        }
        return line;
    }
    if (*runCommand)
        line.command = CommandLine::Command::Run;
    else if (*reportCommand)
        line.command = CommandLine::Command::Report;
    else if (*stationCommand)
        line.command = CommandLine::Command::Station;
    else if (*checkCommand)
        line.command = CommandLine::Command::Check;
    else if (*hexsum)
        line.command = CommandLine::Command::HexSum;
    else if (*effect)
        line.command = CommandLine::Command::Effect;
    else if (*convertCommand)
        line.command = CommandLine::Command::Convert;
    else if (*ports)
        line.command = CommandLine::Command::Ports;
    return line;
}

int RunCommandLine(const CommandLine& line, std::ostream& out, std::ostream& err) {
    switch (line.command) {
    case CommandLine::Command::Run:
        return RunUpdate(line.run, out, err);
    case CommandLine::Command::Station:
        return RunStation(line.station, out, err);
    case CommandLine::Command::Check:
        return RunCheck(line.check, out, err);
    case CommandLine::Command::HexSum:
        return RunHexSum(line.file, line.first, line.last, out, err);
    case CommandLine::Command::Effect:
        return RunEffect(line.file, out, err);
    case CommandLine::Command::Convert:
        return RunConvert(line.convert, out, err);
    case CommandLine::Command::Ports:
        return RunPorts(line.portsJson, out, err);
    case CommandLine::Command::Report:
        return RunReport(line.report, out, err);
    case CommandLine::Command::None:
        break;
    }
    return line.exitCode;
}

} // namespace vz::cli

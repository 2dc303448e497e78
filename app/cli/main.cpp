// vzflash: the updater's command-line face.
#include "app/cli/check_command.h"
#include "app/cli/inspect_commands.h"
#include "app/cli/ports_command.h"
#include "app/cli/run_command.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <iostream>

namespace {

void OnInterrupt(int) {
    vz::cli::g_interrupted.store(true);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"vzflash: firmware updater for Vorna-Zadod devices"};
    app.require_subcommand(1);

    vz::cli::RunOptions run;
    auto* runCommand = app.add_subcommand("run", "Update a device connected to a serial port");
    runCommand->add_option("SCRIPT", run.script, "Script file; its directory holds every file it names");
    runCommand->add_option("--port", run.port, "COM port 1 to 9, or a device path")->capture_default_str();
    runCommand->add_option("--device", run.device, "Device model")
        ->check(CLI::IsMember({"auto", "KRA350", "KRB350", "KRC350", "KRD350", "KRT120"}))
        ->capture_default_str();
    runCommand->add_option("--mode", run.mode, "auto: every component; manual: those of --components")
        ->check(CLI::IsMember({"auto", "manual"}))
        ->capture_default_str();
    runCommand->add_option("--components", run.components, "Components in manual mode")
        ->delimiter(',')
        ->check(CLI::IsMember({"keyb", "prom1", "prom2"}))
        ->capture_default_str();
    runCommand->add_option("--speed", run.speed, "PROM update speed")
        ->check(CLI::IsMember({"fast", "slow"}))
        ->capture_default_str();
    runCommand->add_flag("--read-id", run.readId, "Run readid.ini instead of script.ini");
    runCommand->add_option("--root", run.root,
                           "Directory holding one directory per model (default: beside the program, VZ_ROOT "
                           "or the current directory)");
    runCommand
        ->add_option("--timeout", run.timeout, "End the run when the device is silent this many seconds")
        ->check(CLI::NonNegativeNumber);
    runCommand->add_flag("--quiet", run.quiet, "No progress output");
    runCommand->add_option("--log", run.log, "Write a timestamped transcript of the line to this file");

    vz::cli::CheckOptions check;
    auto* checkCommand = app.add_subcommand("check", "Find what would stop a script, without a device");
    checkCommand->add_option("SCRIPT", check.script,
                             "Script file (default: every model's scripts below --root)");
    checkCommand->add_option("--root", check.root,
                             "Directory holding one directory per model (default: beside the program, "
                             "VZ_ROOT or the current directory)");
    checkCommand->add_option("--device", check.device, "Check only this model's directory")
        ->check(CLI::IsMember({"auto", "KRA350", "KRB350", "KRC350", "KRD350", "KRT120"}))
        ->capture_default_str();

    std::string hexFile, first, last;
    auto* hexsum =
        app.add_subcommand("hexsum", "Print the 16-bit image sum of an Intel HEX file over a range");
    hexsum->add_option("FILE", hexFile, "Intel HEX file")->required();
    hexsum->add_option("FIRST", first, "First address, hexadecimal")->required();
    hexsum->add_option("LAST", last, "Last address, hexadecimal")->required();

    std::string effectFile;
    auto* effect = app.add_subcommand("effect", "Print the command each Effect file line becomes");
    effect->add_option("FILE", effectFile, "Effect file")->required();

    bool portsJson = false;
    auto* ports = app.add_subcommand("ports", "List the serial ports of this machine");
    ports->add_flag("--json", portsJson, "As a JSON array, for scripts");

    CLI11_PARSE(app, argc, argv);

    if (*runCommand) {
        std::signal(SIGINT, OnInterrupt);
        std::signal(SIGTERM, OnInterrupt);
        return vz::cli::RunUpdate(run, std::cout, std::cerr);
    }
    if (*checkCommand) return vz::cli::RunCheck(check, std::cout, std::cerr);
    if (*hexsum) return vz::cli::RunHexSum(hexFile, first, last, std::cout, std::cerr);
    if (*effect) return vz::cli::RunEffect(effectFile, std::cout, std::cerr);
    if (*ports) return vz::cli::RunPorts(portsJson, std::cout, std::cerr);
    return 2;
}

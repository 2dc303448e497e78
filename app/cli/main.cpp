// vzflash: the updater's command-line face.
#include "app/cli/cli_platform.h"
#include "app/cli/command_line.h"

#include <csignal>
#include <iostream>

namespace {

void OnInterrupt(int) {
    vz::cli::g_interrupted.store(true);
}

} // namespace

int main(int argc, char** argv) {
    vz::cli::IgnoreBrokenPipe();
    const vz::cli::CommandLine line = vz::cli::ParseCommandLine(argc, argv, std::cout, std::cerr);
    if (line.command == vz::cli::CommandLine::Command::Run) {
        std::signal(SIGINT, OnInterrupt);
        std::signal(SIGTERM, OnInterrupt);
    }
    return vz::cli::RunCommandLine(line, std::cout, std::cerr);
}

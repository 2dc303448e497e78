// vzflash: the updater's command-line face.
#include "app/cli/cli_platform.h"
#include "app/cli/command_line.h"
#include "formats/printable_text.h"

#include <exception>
#include <iostream>
#include <new>
#include <string>

namespace {

void OnStop(vz::cli::StopCause cause) {
    vz::cli::g_stopCause.store(static_cast<int>(cause));
    vz::cli::g_interrupted.store(true);
}

} // namespace

int main(int argc, char** argv) {
    vz::cli::IgnoreBrokenPipe();
    // Whatever a command runs into, the user gets a line saying so and status 1,
    // never an abort; the guards of files half written are unwound on the way.
    try {
        const vz::cli::CommandLine line = vz::cli::ParseCommandLine(argc, argv, std::cout, std::cerr);
        if (line.command == vz::cli::CommandLine::Command::Run ||
            line.command == vz::cli::CommandLine::Command::Station) {
            vz::cli::CatchStopRequests(OnStop);
        }
        const int status = vz::cli::RunCommandLine(line, std::cout, std::cerr);
        vz::cli::StopHandled();
        return status;
    } catch (const std::bad_alloc&) {
        std::cerr << "vzflash: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "vzflash: " << vz::PrintableText(e.what()) << "\n";
    } catch (...) {
        std::cerr << "vzflash: unexpected failure\n";
    }
    return 1;
}

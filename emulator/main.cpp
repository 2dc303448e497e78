// vzdevice: the emulated Vorna-Zadod device on a pseudo-terminal, and the
// sample package tools.
#include "emulator/options.h"
#include "emulator/package.h"
#include "emulator/runner.h"
#include "emulator/verify_dump.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    using vz::emu::ProgramOptions;
    try {
        ProgramOptions options = vz::emu::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
        switch (options.command) {
        case ProgramOptions::Command::Help:
            std::cout << vz::emu::UsageText();
            return 0;
        case ProgramOptions::Command::Version:
            std::cout << "vzdevice " << VZ_VERSION << '\n';
            return 0;
        case ProgramOptions::Command::MakePackage:
            vz::emu::WritePackage(options.packageDir, options.smallPackage);
            return 0;
        case ProgramOptions::Command::VerifyDump: {
            vz::emu::DumpReport report = vz::emu::VerifyDump(options.modelDir, options.dumpDir);
            std::cout << report.text;
            return report.ok ? 0 : 1;
        }
        case ProgramOptions::Command::Run:
            return vz::emu::RunDevice(options.device, options.runner, std::cout);
        }
    } catch (const std::invalid_argument& e) {
        std::cerr << "vzdevice: " << e.what() << "\n\n" << vz::emu::UsageText();
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "vzdevice: " << e.what() << '\n';
        return 1;
    }
    return 1;
}

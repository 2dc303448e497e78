// The vzdevice command line.
#pragma once

#include "emulator/device_config.h"

#include <string>
#include <vector>

namespace vz::emu {

struct RunnerOptions {
    std::string linkPath; // symbolic link to the terminal side
    bool baudPacing = false;
    Micros latency = 0; // the adapter's latency tick towards the host (0: none)
    bool exitAfterFi = false;
    bool rebootOnOpen = true; // the host opening the port restarts the device's loader
    std::string statePath;
    std::string dumpDir;
    std::string logPath;
    long hangupAfter = -1;
};

struct ProgramOptions {
    enum class Command { Run, MakePackage, VerifyDump, Help, Version };
    Command command = Command::Run;
    DeviceConfig device;
    RunnerOptions runner;
    std::string packageDir; // make-package
    bool smallPackage = false;
    std::string modelDir; // verify-dump
    std::string dumpDir;
};

// Throws std::invalid_argument naming the option that is wrong.
ProgramOptions ParseOptions(const std::vector<std::string>& args);
std::string UsageText();

} // namespace vz::emu

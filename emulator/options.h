// The vzdevice command line.
#pragma once

#include "emulator/device_config.h"
#include "emulator/series.h"

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
    SeriesConfig series;     // --devices, --gap-ms, --cycle
    std::string resultsPath; // one JSON line per device that ended
    std::string verifyDir;   // package model folder the memories are checked against
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
// A --cycle plan: entries separated by ",", the faults of one entry joined by "+".
std::vector<FaultEntry> ParseCycle(const std::string& plan);
std::string UsageText();

} // namespace vz::emu

// Compares a device dump with the memories a package's script programs: HEX
// files give the boot area and the banks, Effect files played on a fresh chain
// give the PROM images.
#pragma once

#include "emulator/memory_image.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vz::emu {

struct ExpectedMemories {
    std::optional<Bytes> boot;
    std::array<std::optional<Bytes>, kBankCount> banks;
    std::array<std::optional<Bytes>, 2> proms;
    std::vector<std::string> problems; // files that could not be read or played
};

// Reads MODEL_DIR/script.ini and the files it names. Throws std::runtime_error when
// the script itself cannot be read.
ExpectedMemories ExpectedFromScript(const std::string& modelDir);

struct DumpReport {
    bool ok = false;
    std::string text; // one line per memory, then "OK" or "DIFFERENT"
};

DumpReport VerifyDump(const std::string& modelDir, const std::string& dumpDir);
// The same check on the memories a device holds: true when every memory the script
// programs is as programmed (the others are not looked at).
bool MemoriesAsProgrammed(const ExpectedMemories& expected, const DeviceMemory& memory);
// One memory: "" when equal, else how they differ (count and first difference).
std::string CompareMemory(const Bytes& expected, const Bytes& actual, std::uint32_t baseAddress);

} // namespace vz::emu

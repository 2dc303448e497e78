// What the device keeps between runs of the emulator (--state) and the memory
// files it leaves behind (--dump). Failures throw std::runtime_error naming the file.
#pragma once

#include "emulator/memory_image.h"

#include <string>

namespace vz::emu {

void SaveState(const std::string& path, const DeviceMemory& memory);
// A missing file leaves `memory` as it is and returns false.
bool LoadState(const std::string& path, DeviceMemory& memory);
// boot.bin, bank0.bin .. bank7.bin, prom1.bin, prom2.bin and versions.txt.
void WriteDump(const std::string& dir, const DeviceMemory& memory);
// Reads one memory file of a dump; its size must be `size`.
Bytes ReadMemoryFile(const std::string& path, std::size_t size);

} // namespace vz::emu

// The device's memories in words for people and as stable keys for programs.
#pragma once

#include "engines/gestionnaire.h"

#include <string>
#include <vector>

namespace vz {

// "the extended boot area", "keyboard bank 3", "Prom 1".
std::string MemoryName(const TMemory& memory);
// "boot", "bank3", "prom1": the key a record gives programs.
std::string MemoryKey(const TMemory& memory);
// "the extended boot area, keyboard banks 0,1,2, Prom 1"; "nothing" for none.
std::string ProgrammedText(const std::vector<TMemory>& programmed);
// The components left alone: "the keyboard" for its banks, "Prom 2".
std::string SkippedText(const std::vector<TMemory>& skipped);

} // namespace vz

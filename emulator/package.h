// The sample update package: per model folder a script.ini and a readid.ini,
// Intel HEX images of the boot area and the eight keyboard banks, and Effect
// files that identify the PROMs and program them, made from standard-SVF sources
// kept beside them. Everything is derived from
// fixed seeds, so two packages written alike are identical byte for byte.
#pragma once

#include "emulator/memory_image.h"
#include "emulator/models.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vz::emu {

struct PackageSizes {
    std::size_t bootBytes;        // from 0x4000
    std::size_t bankBytes;        // from the bank's base address
    std::array<int, 2> promPages; // pages of 64 words programmed into PROM 1 and PROM 2
};

PackageSizes SizesFor(bool small);

// Contents the package programs, before they are written out as text.
Bytes BootImage(int modelCode, bool small);
Bytes BankImage(int modelCode, int bank, bool small);
Bytes PromImage(int modelCode, int prom, bool small); // prom 0 or 1; whole pages

// 16 data bytes a line, then the end-of-file record.
std::vector<std::string> HexFileLines(const Bytes& data, std::uint16_t baseAddress);
// The PROM's programming file in standard SVF, as a vendor's tool would write it.
std::string SourceSvfText(const Model& model, int prom, const Bytes& image,
                          const std::array<std::uint32_t, 2>& idcodes);
// That file made into the Effect file the device plays (vzflash convert).
std::vector<std::string> EffectFileLines(const Model& model, int prom, const Bytes& image,
                                         const std::array<std::uint32_t, 2>& idcodes);
std::string ScriptText(const Model& model);
std::string ReadIdText();

// Writes one folder per model below `dir`. Throws std::runtime_error on failure.
void WritePackage(const std::string& dir, bool small);

} // namespace vz::emu

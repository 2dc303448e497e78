// Reads Effect file statements (the SVF subset the updater plays) straight into
// JTAG commands, so a package's PROM images can be worked out without a host.
#pragma once

#include "emulator/jtag_chain.h"

#include <string>
#include <string_view>

namespace vz::emu {

struct SvfStatement {
    enum class Kind { Nothing, Command, Error };
    Kind kind = Kind::Nothing;
    JtagCommand command;
    Bytes expectedTdo; // TDO value of the statement, least significant byte first (empty: none)
    Bytes mask;        // MASK value, same order (empty: all bits count)
    std::string problem;
};

// One line, one statement; comments, TRST and blank lines give Nothing.
SvfStatement ReadSvfStatement(std::string_view line);
// An SVF hex number (most significant digit first) as bytes, least significant first.
Bytes SvfHexToBytes(std::string_view hex);

} // namespace vz::emu

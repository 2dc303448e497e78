// Line settings as a terminal's raw-mode attributes.
#pragma once

#include "link/port_backend.h"

#include <string>
#include <termios.h>

namespace vz {

// Rewrites `t` (as read from the terminal) into raw mode with the given
// settings. False, with `error` saying why and `t` unusable, for a speed or a
// parity this system does not have. DTR and RTS are not part of it.
bool ToTermios(const LineSettings& settings, termios& t, std::string& error);

} // namespace vz

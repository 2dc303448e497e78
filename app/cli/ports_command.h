// `vzflash ports`: the machine's serial ports, one a line or as JSON.
#pragma once

#include "link/port_list.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace vz::cli {

// One port as a line: the name to give --port first, then what is known of it.
std::string PortLine(const PortInfo& port);
// The ports as a JSON array of objects; unknown texts are null.
std::string PortsJson(const std::vector<PortInfo>& ports);

int RunPorts(bool json, std::ostream& out, std::ostream& err);

} // namespace vz::cli

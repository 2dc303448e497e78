// The plainest host the protocol can have: one thread, a blocking stop-and-wait
// loop on the serial device, no engines. It programs the boot area and bank 0
// of a package's model directory and ends with "FI", so that the benchmark can
// hold the updater against it on the same paced device.
#pragma once

#include <string>

namespace vz::bench {

// True when every line was acknowledged; otherwise `error` says where it stopped.
bool RunReferenceHost(const std::string& port, const std::string& modelDir, std::string& error);

} // namespace vz::bench

// The reference host on a POSIX serial device: the stop-and-wait dialogue on a
// blocking terminal, one thread, no link thread.
#pragma once

#include <string>

namespace vz::bench {

// True when every line was acknowledged; otherwise `error` says where it stopped.
bool RunReferenceHost(const std::string& port, const std::string& modelDir, std::string& error);

} // namespace vz::bench

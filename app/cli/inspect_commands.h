// The inspection commands: what the device would be sent, without a device.
#pragma once

#include <iosfwd>
#include <string>

namespace vz::cli {

// Prints the image sum of FILE over FIRST..LAST (hex texts, "0x" optional).
int RunHexSum(const std::string& file, const std::string& first, const std::string& last, std::ostream& out,
              std::ostream& err);

// Prints every Effect file line with its translation and pending data block.
int RunEffect(const std::string& file, std::ostream& out, std::ostream& err);

} // namespace vz::cli

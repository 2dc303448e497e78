// Writing a record so that it survives a crash right after: one implementation per
// platform.
#pragma once

#include <cstdio>
#include <string>

namespace vz {

// Appends one line to a file and makes it reach the disk before returning, so that a
// crash right after loses nothing written; false when it may not have.
bool AppendDurably(std::FILE* file, const std::string& line);

} // namespace vz

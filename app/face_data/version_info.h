// The version information a program file carries: the version resource on
// Windows, the version block section elsewhere.
#pragma once

#include <optional>
#include <string>

// Name of the section that holds the version block in programs that carry one.
#define VZ_VERSION_SECTION "vzversion"

namespace vz {

// The query of the file version in the U.S. English, code page 1252 string table.
inline constexpr char kFileVersionKey[] = "\\StringFileInfo\\040904E4\\FileVersion";

// The string value `subBlock` (for example kFileVersionKey) of the version
// information of the file at `filePath`; nullopt when the file cannot be read,
// carries no version information or lacks that value.
std::optional<std::string> FileVersionValue(const std::string& filePath, const std::string& subBlock);

// The path of the running program's own file.
std::string RunningProgramPath();

} // namespace vz

// What a station checks before its first device, for every face alike: a device
// should never be taken that could not be recorded or could only fail.
#pragma once

#include "app/core/station_report.h"

#include <optional>
#include <string>

namespace vz {

// Why no transcript could be created in `dir` (it is no directory, or takes no file);
// none when it can, or when no directory is given.
std::optional<std::string> LogDirectoryProblem(const std::string& dir);

// Checks the package (`root`, the locked `device` or "auto", a `script` given) and,
// when sound, names it in `session`; otherwise the faults, one a line.
std::optional<std::string> PackageProblem(const std::string& root, const std::string& device,
                                          const std::string& script, TSessionRecord& session);

// One random identifier a session: 128 bits in hex.
std::string NewRunId();

} // namespace vz

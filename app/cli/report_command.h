// `vzflash report`: station records read back, counted by station, label, model,
// error code and hour, a line at a time.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vz::cli {

struct ReportOptions {
    std::vector<std::string> files;
    bool byHour = false;
    bool json = false;
};

// 0 when every line was a record; 1 when one was not (named by file and line number
// on `err`), the rest still counted.
int RunReport(const ReportOptions& options, std::ostream& out, std::ostream& err);

} // namespace vz::cli

// `vzflash check`: finds what would stop a script, without a device, by the
// same engines and readers a run uses.
#pragma once

#include <iosfwd>
#include <string>

namespace vz::cli {

struct CheckOptions {
    std::string root;            // empty: the program's own directory
    std::string device = "auto"; // auto: every model directory below the root
    std::string script;          // a script file instead of the model directories
};

int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err);

} // namespace vz::cli

#include "app/cli/check_command.h"

#include "app/cli/run_command.h"
#include "app/core/package_check.h"

#include <ostream>

namespace vz::cli {

int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err) {
    const std::string root = options.root.empty() ? FindDefaultRoot().dir : options.root;
    const TPackageCheck check = CheckPackage(root, options.device, options.script);
    if (!check.missing.empty()) {
        err << check.missing << "\n";
        return 1;
    }
    for (const std::string& fault : check.faults)
        out << fault << "\n";
    out << (check.faults.empty() ? "OK: " : "") << check.scripts.size() << " script(s) checked, "
        << check.faults.size() << " fault(s)\n";
    return check.faults.empty() ? 0 : 1;
}

} // namespace vz::cli

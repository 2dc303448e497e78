// What would stop an update package's scripts, found without a device by the same
// engines and readers a run uses; and the package's identity.
#pragma once

#include <string>
#include <vector>

namespace vz {

struct TPackageCheck {
    std::vector<std::string> scripts; // checked, in order
    // One line a fault, naming its file and line ("bank3.hex:12: record checksum 4F, expected 4E").
    std::vector<std::string> faults;
    // Every script checked and every file the scripts name, in order.
    std::vector<std::string> files;
    // Set when the root holds no model directory with a script.
    std::string missing;

    bool Sound() const { return missing.empty() && faults.empty(); }
};

// `script` given: that script alone. Otherwise below `root`: the `device` model's
// script, or with "auto" every model's script.ini and readid.ini.
TPackageCheck CheckPackage(const std::string& root, const std::string& device, const std::string& script);

// SHA-256 over the files checked, each by its name below `root` and its contents.
std::string PackageDigest(const TPackageCheck& check, const std::string& root);

} // namespace vz

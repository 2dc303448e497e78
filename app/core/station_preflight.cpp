#include "app/core/station_preflight.h"

#include "app/core/durable_file.h"
#include "app/core/package_check.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

namespace vz {

std::optional<std::string> LogDirectoryProblem(const std::string& dir) {
    if (dir.empty()) return std::nullopt;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return "The log directory " + dir + " does not exist";
    // Transcripts are created there device after device: found out now, not at a device's end.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string probe =
        (std::filesystem::path(dir) / ("vzflash-write-test-" + std::to_string(stamp) + ".tmp")).string();
    TRecordFile file;
    if (file.CreateNew(probe) != TRecordFile::Outcome::Opened)
        return "Cannot write in the log directory " + dir + ": " + file.Reason();
    file.Close();
    std::filesystem::remove(probe, ec);
    return std::nullopt;
}

std::optional<std::string> PackageProblem(const std::string& root, const std::string& device,
                                          const std::string& script, TSessionRecord& session) {
    const TPackageCheck check = CheckPackage(root, device, script);
    if (!check.missing.empty()) return check.missing;
    if (!check.faults.empty()) {
        std::string text = "The update package cannot update a device (vzflash check):";
        for (const std::string& fault : check.faults)
            text += "\n" + fault;
        return text;
    }
    session.packageRoot = script.empty() ? root : script;
    session.packageSha256 = PackageDigest(check, root);
    return std::nullopt;
}

std::string NewRunId() {
    std::random_device random;
    char text[40];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x", random(), random(), random(), random());
    return text;
}

} // namespace vz

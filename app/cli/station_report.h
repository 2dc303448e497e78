// The station's record of every device: one JSON object a line, appended and on the
// disk as soon as the device's run has ended.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vz::cli {

struct DeviceRecord {
    std::string port;
    std::string result; // "completed", "failed" or "stopped"
    std::string model;  // empty: never identified
    std::optional<std::int32_t> deviceId;
    std::optional<std::int32_t> options; // the identification's option word
    std::time_t started = 0;
    std::time_t ended = 0;
    double seconds = 0;
    std::optional<std::string> error; // as the memo shows it
    std::vector<std::string> programmed;
    std::vector<std::string> skipped;
    std::vector<std::pair<char, std::string>> versions;
    std::uint64_t bytesSent = 0;
    std::string script; // empty: none was read
    std::string log;    // the device's transcript; empty: none kept
    std::string version;
};

// "2026-12-09T14:03:07+01:00": local time with its offset from UTC.
std::string IsoLocalTime(std::time_t when);

// The record as one line of JSON, ending in a line feed.
std::string ReportLine(const DeviceRecord& record);

class ReportFile {
public:
    ReportFile() = default;
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Opens for appending; false when the file cannot be written.
    bool Open(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    // False when the line may not have reached the disk.
    bool Append(const DeviceRecord& record);

private:
    std::FILE* file_ = nullptr;
};

} // namespace vz::cli

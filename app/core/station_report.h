// The station's record of every device: one JSON object a line, appended and on the
// disk as soon as the device's run has ended.
#pragma once

#include "app/core/durable_file.h"
#include "app/core/main_face.h"
#include "engines/error_code.h"
#include "engines/gestionnaire.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vz {

enum class TDeviceResult { Completed, Failed, Stopped };

// What every record of a station's session shares.
struct TSessionRecord {
    std::string station;      // the station's name
    std::string operatorName; // empty: not given
    std::string runId;        // one random identifier a session
    std::string packageRoot;
    std::string packageSha256; // over the scripts and every file they name
};

struct TDeviceRecord {
    std::uint64_t seq = 0; // from 1 in a session
    std::string port;
    std::string label; // empty: none given
    TDeviceResult result = TDeviceResult::Failed;
    // The device as identified; none when it never was.
    std::optional<TDeviceIdentity> identity;
    std::time_t started = 0;
    std::time_t ended = 0;
    double seconds = 0;
    std::optional<std::string> error; // as the memo shows it
    TErrorCode errorCode = TErrorCode::none;
    std::optional<TMemory> stage; // the memory a failed or stopped run was in
    std::vector<TMemory> programmed;
    std::vector<TMemory> skipped;
    std::vector<std::pair<char, std::string>> versions;
    std::vector<std::pair<char, std::string>> versionsBefore;
    std::vector<std::pair<char, std::string>> versionsAfter;
    std::uint32_t resends = 0;
    std::uint64_t bytesSent = 0;
    std::string script; // empty: none was read
    std::string log;    // the device's transcript; empty: none kept
    std::string version;
};

// "completed", "failed", "stopped".
const char* ResultKey(TDeviceResult result);

// "2026-12-09T14:03:07+01:00": local time with its offset from UTC.
std::string IsoLocalTime(std::time_t when);

// The record as one line of JSON, ending in a line feed.
std::string ReportLine(const TSessionRecord& session, const TDeviceRecord& record);

class TReportFile {
public:
    // Opens for appending; false (with the system's reason) when the file cannot be
    // written or is no regular file.
    bool Open(const std::string& path);
    bool IsOpen() const { return file_.IsOpen(); }
    // A whole line or nothing; false when the record may not have reached the disk.
    bool Append(const TSessionRecord& session, const TDeviceRecord& record);
    const std::string& Reason() const { return file_.Reason(); }

private:
    TRecordFile file_;
};

} // namespace vz

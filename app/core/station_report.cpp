#include "app/core/station_report.h"

#include "app/core/durable_file.h"
#include "app/core/identity.h"
#include "app/core/memory_text.h"
#include "formats/printable_text.h"

#include <cstdio>

namespace vz {

namespace {

std::string Hex4(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

std::string TextOrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

std::string Versions(const std::vector<std::pair<char, std::string>>& versions) {
    std::string json = "{";
    for (const auto& [component, text] : versions)
        json +=
            (json.size() > 1 ? ", " : "") + JsonString(std::string(1, component)) + ": " + JsonString(text);
    return json + "}";
}

std::string Array(const std::vector<TMemory>& memories) {
    std::string json = "[";
    for (const TMemory& memory : memories)
        json += (json.size() > 1 ? ", " : "") + JsonString(MemoryKey(memory));
    return json + "]";
}

} // namespace

std::string IsoLocalTime(std::time_t when) {
    // strftime's %z is a zone name on some C libraries: the offset is worked out here.
    const std::tm local = *std::localtime(&when);
    const std::tm utc = *std::gmtime(&when);
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
    const long offset = ((days * 24L + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min) * 60 +
                        local.tm_sec - utc.tm_sec;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

const char* ResultKey(TDeviceResult result) {
    switch (result) {
    case TDeviceResult::Completed:
        return "completed";
    case TDeviceResult::Stopped:
        return "stopped";
    case TDeviceResult::Failed:
        break;
    }
    return "failed";
}

std::string ReportLine(const TSessionRecord& session, const TDeviceRecord& record) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", record.seconds);
    const std::optional<TDeviceIdentity>& identity = record.identity;
    return "{\"station\": " + JsonString(session.station) +
           ", \"operator\": " + TextOrNull(session.operatorName) +
           ", \"run_id\": " + JsonString(session.runId) + ", \"seq\": " + std::to_string(record.seq) +
           ", \"package\": {\"root\": " + JsonString(session.packageRoot) +
           ", \"sha256\": " + TextOrNull(session.packageSha256) + "}" +
           ", \"port\": " + JsonString(record.port) + ", \"label\": " + TextOrNull(record.label) +
           ", \"result\": " + JsonString(ResultKey(record.result)) +
           ", \"model\": " + (identity ? JsonString(ModelKey(identity->model)) : "null") +
           ", \"device_id\": " + (identity ? JsonString(Hex4(identity->deviceId)) : "null") +
           ", \"options\": " + (identity ? JsonString(Hex4(identity->options)) : "null") +
           ", \"started\": " + JsonString(IsoLocalTime(record.started)) +
           ", \"ended\": " + JsonString(IsoLocalTime(record.ended)) + ", \"seconds\": " + seconds +
           ", \"error\": " + (record.error ? JsonString(*record.error) : "null") + ", \"error_code\": " +
           (record.errorCode == TErrorCode::none ? "null"
                                                 : JsonString(std::string(ErrorCodeName(record.errorCode)))) +
           ", \"stage\": " + (record.stage ? JsonString(MemoryKey(*record.stage)) : "null") +
           ", \"programmed\": " + Array(record.programmed) + ", \"skipped\": " + Array(record.skipped) +
           ", \"versions\": " + Versions(record.versions) +
           ", \"versions_before\": " + Versions(record.versionsBefore) +
           ", \"versions_after\": " + Versions(record.versionsAfter) +
           ", \"boot_checksum\": " + (identity ? JsonString(Hex4(identity->bootChecksum)) : "null") +
           ", \"resends\": " + std::to_string(record.resends) +
           ", \"bytes_sent\": " + std::to_string(record.bytesSent) +
           ", \"script\": " + TextOrNull(record.script) + ", \"log\": " + TextOrNull(record.log) +
           ", \"version\": " + JsonString(record.version) + "}\n";
}

bool TReportFile::Open(const std::string& path) {
    return file_.OpenAppend(path) == TRecordFile::Outcome::Opened;
}

bool TReportFile::Append(const TSessionRecord& session, const TDeviceRecord& record) {
    return file_.AppendWhole(ReportLine(session, record));
}

} // namespace vz

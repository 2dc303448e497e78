#include "app/cli/station_report.h"

#include "app/cli/cli_platform.h"
#include "formats/printable_text.h"

#include <cstdio>

namespace vz::cli {

namespace {

std::string Hex4(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

std::string TextOrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

std::string Array(const std::vector<std::string>& items) {
    std::string json = "[";
    for (const std::string& item : items)
        json += (json.size() > 1 ? ", " : "") + JsonString(item);
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

std::string ReportLine(const DeviceRecord& record) {
    std::string versions = "{";
    for (const auto& [component, text] : record.versions)
        versions += (versions.size() > 1 ? ", " : "") + JsonString(std::string(1, component)) + ": " +
                    JsonString(text);
    versions += "}";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", record.seconds);
    return "{\"port\": " + JsonString(record.port) + ", \"result\": " + JsonString(record.result) +
           ", \"model\": " + TextOrNull(record.model) +
           ", \"device_id\": " + (record.deviceId ? JsonString(Hex4(*record.deviceId)) : "null") +
           ", \"options\": " + (record.options ? JsonString(Hex4(*record.options)) : "null") +
           ", \"started\": " + JsonString(IsoLocalTime(record.started)) +
           ", \"ended\": " + JsonString(IsoLocalTime(record.ended)) + ", \"seconds\": " + seconds +
           ", \"error\": " + (record.error ? JsonString(*record.error) : "null") +
           ", \"programmed\": " + Array(record.programmed) + ", \"skipped\": " + Array(record.skipped) +
           ", \"versions\": " + versions + ", \"bytes_sent\": " + std::to_string(record.bytesSent) +
           ", \"script\": " + TextOrNull(record.script) + ", \"log\": " + TextOrNull(record.log) +
           ", \"version\": " + JsonString(record.version) + "}\n";
}

ReportFile::~ReportFile() {
    if (file_) std::fclose(file_);
}

bool ReportFile::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "ab");
    return file_ != nullptr;
}

bool ReportFile::Append(const DeviceRecord& record) {
    return file_ != nullptr && AppendDurably(file_, ReportLine(record));
}

} // namespace vz::cli

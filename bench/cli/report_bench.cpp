// vzflash report over a million station records: how long it reads and how much
// memory it holds.
//   vz_report_bench [RECORDS]
#include "app/cli/report_command.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::stol(argv[1]) : 1000000;
    const fs::path file = fs::temp_directory_path() / "vz_report_bench.jsonl";
    {
        std::ofstream out(file);
        const char* results[] = {"completed", "completed", "completed", "failed", "stopped"};
        for (long i = 0; i < count; ++i) {
            char hour[8];
            std::snprintf(hour, sizeof hour, "%02ld", (i / 1000) % 24);
            out << "{\"station\": \"line" << i % 3
                << "\", \"operator\": null, \"run_id\": \"761c48a6e87eb753\", \"seq\": " << i + 1
                << ", \"package\": {\"root\": \"pkg\", \"sha256\": \"45ae8325cb0bddbc\"}, \"port\": "
                   "\"/dev/ttyUSB"
                << i % 16 << "\", \"label\": \"A" << i % 16 << "\", \"result\": \"" << results[i % 5]
                << "\", \"model\": \"KRA350\", \"device_id\": \"1001\", \"options\": \"0000\", \"started\": "
                   "\"2026-12-09T"
                << hour << ":00:00+00:00\", \"ended\": \"2026-12-09T" << hour
                << ":00:02+00:00\", \"seconds\": 2.31, \"error\": null, \"error_code\": "
                << (i % 5 == 3 ? "\"write_error\"" : "null")
                << ", \"stage\": null, \"programmed\": [\"boot\", \"bank0\", \"bank1\", \"bank2\", "
                   "\"bank3\", \"bank4\", "
                   "\"bank5\", \"bank6\", \"bank7\", \"prom1\", \"prom2\"], \"skipped\": [], \"versions\": "
                   "{\"0\": "
                   "\"0105\", \"8\": \"0203\", \"9\": \"0204\"}, \"versions_before\": {}, "
                   "\"versions_after\": {}, "
                   "\"boot_checksum\": \"E000\", \"resends\": 0, \"bytes_sent\": 3705, \"script\": "
                   "\"pkg/KRA350/script.ini\", \"log\": null, \"version\": \"2.6.0.6\"}\n";
        }
    }
    const double megabytes = static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0);
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    const int status = vz::cli::RunReport({{file.string()}, true, false}, out, err);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld records (%.0f MiB) read in %.2f s (%.0f MiB/s), status %d, peak memory %.1f MiB\n",
                count, megabytes, seconds, megabytes / seconds, status,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("%s", out.str().substr(0, out.str().find("By label")).c_str());
    fs::remove(file);
    return status;
}

#include "app/cli/report_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vz::cli {
namespace {

namespace fs = std::filesystem;

// Records of two stations read back: the counts by every grouping, and a line that is
// no record named by file and number while the rest still count.
TEST(Report, CountsEveryGroupingAndNamesWhatIsNoRecord) {
    const fs::path file =
        fs::temp_directory_path() /
        ("vz_report_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".jsonl");
    std::ofstream(file)
        << R"({"station": "line3", "port": "/dev/ttyUSB0", "label": "A1", "result": "completed", "model": "KRA350", "error_code": null, "ended": "2026-12-09T14:03:07+01:00", "versions": {"0": "0105"}, "programmed": ["boot"]})"
           "\n"
        << R"({"station": "line3", "port": "/dev/ttyUSB1", "label": null, "result": "failed", "model": "KRB350_256", "error_code": "write_error", "ended": "2026-12-09T15:00:00+01:00"})"
           "\n"
        << R"({"station": "line4", "port": "COM3", "result": "stopped", "model": null, "error_code": null, "ended": "2026-12-09T15:10:00+01:00"})"
           "\n"
        << "{\"station\": \"line3\", \"result\": \"completed\"\n" // torn at a full disk
        << R"({"some": "other program's line"})"
           "\n\n";
    std::ostringstream out, err;
    EXPECT_EQ(RunReport({{file.string()}, true, false}, out, err), 1);
    EXPECT_EQ(err.str(),
              file.string() + ":4: not a station record\n" + file.string() + ":5: not a station record\n");
    for (const char* line : {"All: 3 devices: 1 completed, 1 failed, 1 stopped, yield 50 %",
                             "  line3  2 devices: 1 completed, 1 failed, 0 stopped, yield 50 %",
                             "  A1  1 device:", "  /dev/ttyUSB1  1 device:", "  KRB350_256  1 device:",
                             "  (unidentified)  1 device:", "  write_error  1",
                             "  2026-12-09T15  2 devices: 0 completed, 1 failed, 1 stopped, yield 0 %"})
        EXPECT_NE(out.str().find(line), std::string::npos) << line << " in\n" << out.str();

    std::ostringstream json, ignored;
    RunReport({{file.string()}, false, true}, json, ignored);
    EXPECT_TRUE(json.str().starts_with(
        "{\"all\": {\"devices\": 3, \"completed\": 1, \"failed\": 1, \"stopped\": 1, \"yield\": 50}"))
        << json.str();
    EXPECT_NE(json.str().find("\"by_error_code\": {\"write_error\": 1}"), std::string::npos) << json.str();
    EXPECT_NE(json.str().find("\"bad_lines\": 2}"), std::string::npos) << json.str();
    EXPECT_EQ(json.str().find("by_hour"), std::string::npos);
    fs::remove(file);
}

} // namespace
} // namespace vz::cli

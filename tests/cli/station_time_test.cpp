// The report's times in a given time zone, set through TZ as POSIX reads it.
#include "app/core/station_report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace vz::cli {
namespace {

TEST(StationReport, TimesCarryTheirOffsetFromUtc) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    // POSIX zones count west as positive: this one is 5 h 30 min east of UTC.
    setenv("TZ", "XST-05:30", 1);
    tzset();
    EXPECT_EQ(IsoLocalTime(0), "1970-01-01T05:30:00+05:30");
    setenv("TZ", "YST+03", 1);
    tzset();
    EXPECT_EQ(IsoLocalTime(86400 * 365), "1970-12-31T21:00:00-03:00"); // the day before, in UTC's year
    if (before)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

} // namespace
} // namespace vz::cli

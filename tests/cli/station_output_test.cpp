#include "app/cli/station_screen.h"
#include "app/core/station_report.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace vz::cli {
namespace {

TEST(StationReport, LineIsOneJsonObjectWithEveryKey) {
    TDeviceRecord record;
    record.port = "/dev/serial/by-id/usb-\"odd\"\x1B[8m";
    record.result = TDeviceResult::Failed;
    record.identity = TDeviceIdentity{6, 0x8006, 1, 0}; // the KRB350's 256 variant
    record.seconds = 12.34;
    record.error = "Error while writing!!!";
    record.errorCode = TErrorCode::write_error;
    record.stage = TMemory{mkKeyboardBank, 1};
    record.programmed = {{mkBootArea, 0}, {mkKeyboardBank, 0}};
    record.skipped = {{mkProm, 2}};
    record.versions = {{'0', "0105"}, {'8', "0203"}};
    record.bytesSent = 4096;
    record.version = "2.6.0.6";
    record.seq = 3;
    record.versionsBefore = {{'0', "0104"}};
    record.versionsAfter = {{'0', "0105"}, {'8', "0203"}};
    record.resends = 7;
    const TSessionRecord session{"line3", "", "4f2a", "pkg", "ab12"};
    const std::string line = ReportLine(session, record);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(line.find('\x1B'), std::string::npos); // the port's name comes from outside
    for (const char* part : {"\"port\": \"/dev/serial/by-id/usb-\\\"odd\\\"\\u001b[8m\"",
                             "\"result\": \"failed\"",
                             "\"model\": \"KRB350_256\"",
                             "\"device_id\": \"8006\"",
                             "\"options\": \"0001\"",
                             "\"seconds\": 12.34",
                             "\"error\": \"Error while writing!!!\"",
                             "\"error_code\": \"write_error\"",
                             "\"stage\": \"bank1\"",
                             "\"programmed\": [\"boot\", \"bank0\"]",
                             "\"skipped\": [\"prom2\"]",
                             "\"versions\": {\"0\": \"0105\", \"8\": \"0203\"}",
                             "\"bytes_sent\": 4096",
                             "\"script\": null",
                             "\"log\": null",
                             "\"version\": \"2.6.0.6\"",
                             "\"started\": \"",
                             "\"ended\": \"",
                             "\"station\": \"line3\"",
                             "\"operator\": null",
                             "\"run_id\": \"4f2a\"",
                             "\"seq\": 3",
                             "\"package\": {\"root\": \"pkg\", \"sha256\": \"ab12\"}",
                             "\"versions_before\": {\"0\": \"0104\"}",
                             "\"versions_after\": {\"0\": \"0105\", \"8\": \"0203\"}",
                             "\"boot_checksum\": \"0000\"",
                             "\"resends\": 7"})
        EXPECT_NE(line.find(part), std::string::npos) << part << " in " << line;

    // A device that never said who it is has no identity, and no error when stopped.
    TDeviceRecord unknown;
    unknown.result = TDeviceResult::Stopped;
    const std::string stopped = ReportLine(session, unknown);
    for (const char* part :
         {"\"result\": \"stopped\"", "\"model\": null", "\"boot_checksum\": null", "\"device_id\": null",
          "\"options\": null", "\"error\": null", "\"error_code\": null", "\"stage\": null"})
        EXPECT_NE(stopped.find(part), std::string::npos) << part << " in " << stopped;
}

TEST(StationScreen, TerminalRedrawsItsLinesInPlaceWithinTheWidth) {
    std::ostringstream out;
    StationScreen screen(out, StationScreen::Style::Live, 50, {"COM3", "/dev/ttyUSB0"});
    screen.SetRow(0, "waiting for a device");
    screen.SetRow(1, "updating KRA350  Id : 1001  42 % and more words than fit");
    screen.Refresh();
    const std::string first = out.str();
    // 49 characters: the terminal never wraps a line.
    EXPECT_NE(first.find("\x1B[2K/dev/ttyUSB0  updating KRA350  Id : 1001  42 % an\n"), std::string::npos)
        << first;
    EXPECT_NE(first.find("COM3          waiting for a device\n"), std::string::npos) << first;
    out.str("");
    screen.Refresh(); // nothing changed: nothing drawn
    EXPECT_EQ(out.str(), "");
    screen.Event(0, "Device KRA350  Id : 1001");
    screen.Refresh();
    // Back up over the two lines drawn, then the ports, a blank line and the event.
    EXPECT_TRUE(out.str().starts_with("\r\x1B[2A")) << out.str();
    EXPECT_NE(out.str().find("COM3          Device KRA350  Id : 1001\n"), std::string::npos) << out.str();
    out.str("");
    screen.SetRow(0, "é" + std::string(40, 'x')); // cut between characters, never inside one
    screen.Refresh();
    EXPECT_TRUE(out.str().starts_with("\r\x1B[4A")) << out.str();
    EXPECT_NE(out.str().find("COM3          é" + std::string(34, 'x') + "\n"), std::string::npos)
        << out.str();
}

TEST(StationScreen, PlainAndQuietStylesWriteLines) {
    std::ostringstream plain, quiet;
    StationScreen lines(plain, StationScreen::Style::Lines, 0, {"COM3"});
    StationScreen results(quiet, StationScreen::Style::Quiet, 0, {"COM3"});
    for (StationScreen* screen : {&lines, &results}) {
        screen->SetRow(0, "updating");
        screen->Event(0, "Erase Bank0");
        screen->Result(0, "Completed: KRA350");
        screen->Refresh();
    }
    // Piped lines begin with the time of day, so that a shift's log matches other events.
    const std::regex timed(
        "\\d\\d:\\d\\d:\\d\\d COM3: Erase Bank0\n\\d\\d:\\d\\d:\\d\\d COM3: Completed: KRA350\n");
    EXPECT_TRUE(std::regex_match(plain.str(), timed)) << plain.str();
    EXPECT_TRUE(std::regex_match(quiet.str(), std::regex("\\d\\d:\\d\\d:\\d\\d COM3: Completed: KRA350\n")))
        << quiet.str();
    // A wide character takes two columns of the terminal's line.
    EXPECT_EQ(DisplayColumns("A1 装置"), 7u);
}

} // namespace
} // namespace vz::cli

// How vzflash ports prints what the port list found.
#include "app/cli/ports_command.h"

#include <gtest/gtest.h>

namespace vz::cli {
namespace {

PortInfo Adapter() {
    PortInfo port;
    port.name = "/dev/ttyUSB0";
    port.stableName = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    port.driver = "ftdi_sio";
    port.vendorId = "0403";
    port.productId = "6001";
    port.manufacturer = "FTDI";
    port.product = "FT232R \"USB\" UART";
    port.serialNumber = "A50285BI";
    port.inUse = true;
    port.latencyTimerMs = 16;
    return port;
}

TEST(PortsCommand, LineStartsWithTheNameToGiveAndLeavesOutWhatIsUnknown) {
    EXPECT_EQ(
        PortLine(Adapter()),
        "/dev/ttyUSB0  /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0  "
        "driver ftdi_sio  USB 0403:6001  FTDI  FT232R \"USB\" UART  serial A50285BI  latency timer 16 ms  "
        "in use");
    PortInfo board;
    board.name = "COM1";
    board.description = "Communications Port (COM1)";
    EXPECT_EQ(PortLine(board), "COM1  Communications Port (COM1)");
}

TEST(PortsCommand, JsonEscapesTextsAndGivesNullForUnknown) {
    PortInfo board;
    board.name = "C:\\odd\tname";
    const std::string json = PortsJson({Adapter(), board});
    EXPECT_NE(json.find("\"product\": \"FT232R \\\"USB\\\" UART\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"latency_timer_ms\": 16, \"in_use\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"latency_timer_ms\": null"), std::string::npos) << json;
    EXPECT_NE(json.find("{\"name\": \"C:\\\\odd\\u0009name\", \"stable_name\": null"), std::string::npos)
        << json;
    EXPECT_EQ(PortsJson({}), "[]");
}

// Adapters name themselves: what they say must not act on the terminal or
// break the JSON.
TEST(PortsCommand, DeviceTextsArePrintableAndJsonStaysValid) {
    PortInfo port = Adapter();
    port.manufacturer = "Evil\x1B]0;owned\x07";
    port.product = "\xFF\xC2\x85\x7F";
    port.serialNumber = "\x1B[8m";
    EXPECT_EQ(PortLine(port), "/dev/ttyUSB0  /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0  "
                              "driver ftdi_sio  USB 0403:6001  Evil\\x1B]0;owned\\x07  "
                              "\\xFF\\u0085\\x7F  serial \\x1B[8m  latency timer 16 ms  in use");
    const std::string json = PortsJson({port});
    EXPECT_NE(json.find("\"manufacturer\": \"Evil\\u001b]0;owned\\u0007\", \"product\": "
                        "\"\\ufffd\\u0085\\u007f\", \"serial_number\": \"\\u001b[8m\""),
              std::string::npos)
        << json;
}

} // namespace
} // namespace vz::cli

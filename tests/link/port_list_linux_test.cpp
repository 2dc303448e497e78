// The sysfs reading on a fake tree laid out as the kernel lays out its own.
#include "link/port_list_linux.h"

#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>

namespace vz {
namespace {

namespace fs = std::filesystem;

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    void Write(const fs::path& file, const std::string& text) {
        fs::create_directories((root_ / file).parent_path());
        std::ofstream(root_ / file) << text << "\n";
    }
    // Relative links, as sysfs makes them, so that they resolve inside the tree.
    void Link(const fs::path& at, const fs::path& target) {
        fs::create_directories((root_ / at).parent_path());
        fs::create_directory_symlink(target, root_ / at);
    }
    // A tty in /sys/class/tty whose device is `device` (below sys/devices).
    void Tty(const std::string& name, const std::string& device, const std::string& subsystem,
             const std::string& driver) {
        fs::create_directories(root_ / "sys/devices" / device);
        fs::create_directories(root_ / "sys/bus" / subsystem / "drivers" / driver);
        Link("sys/class/tty/" + name + "/device", "../../../devices/" + device);
        // From sys/devices/DEVICE back up to sys.
        std::string up = "../";
        for (const char c : device)
            if (c == '/') up += "../";
        up += "../";
        Link("sys/devices/" + device + "/subsystem", up + "bus/" + subsystem);
        Link("sys/devices/" + device + "/driver", up + "bus/" + subsystem + "/drivers/" + driver);
    }
    void UsbDevice(const std::string& dir, const std::string& vid, const std::string& pid) {
        Write("sys/devices/" + dir + "/idVendor", vid);
        Write("sys/devices/" + dir + "/idProduct", pid);
    }

    const fs::path root_ = vz::testing::UniqueTempPath("vz_fake_sysfs");
};

TEST_F(FakeSysfs, UsbAdaptersOnBoardPortsAndWhatIsLeftOut) {
    // An FTDI adapter: ttyUSB0 below interface 1-1:1.0 of device 1-1.
    const std::string ftdi = "pci0000:00/0000:00:14.0/usb1/1-1";
    UsbDevice(ftdi, "0403", "6001");
    Write("sys/devices/" + ftdi + "/manufacturer", "FTDI");
    Write("sys/devices/" + ftdi + "/product", "FT232R USB UART");
    Write("sys/devices/" + ftdi + "/serial", "A50285BI");
    Tty("ttyUSB0", ftdi + "/1-1:1.0/ttyUSB0", "usb-serial", "ftdi_sio");
    Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
    // A CDC ACM modem: the tty's device is the interface itself; no serial number.
    const std::string acm = "pci0000:00/0000:00:14.0/usb1/1-2";
    UsbDevice(acm, "2341", "0043");
    Write("sys/devices/" + acm + "/1-2:1.0/interface", "CDC Abstract Control Model");
    Tty("ttyACM0", acm + "/1-2:1.0", "usb", "cdc_acm");
    // A board UART, a spare serial core entry without a UART, and a console.
    Tty("ttyS0", "pnp0/00:04", "pnp", "serial");
    Write("sys/class/tty/ttyS0/type", "4");
    Tty("ttyS3", "platform/serial8250", "platform", "serial8250");
    Write("sys/class/tty/ttyS3/type", "0");
    fs::create_directories(root_ / "sys/class/tty/tty1");
    // A process holds the adapter; minicom's lock names the modem.
    Link("proc/4242/fd/5", "/dev/ttyUSB0");
    fs::create_directories(root_ / "proc/777");
    Write("var/lock/LCK..ttyACM0", "       777");
    Write("var/lock/LCK..ttyS0", "       999"); // stale: process 999 is gone

    const std::vector<PortInfo> ports = ListPortsUnder(root_);
    ASSERT_EQ(ports.size(), 3u);

    EXPECT_EQ(ports[0].name, "/dev/ttyACM0");
    EXPECT_EQ(ports[0].driver, "cdc_acm");
    EXPECT_EQ(ports[0].vendorId + ":" + ports[0].productId, "2341:0043");
    EXPECT_EQ(ports[0].description, "CDC Abstract Control Model");
    EXPECT_EQ(ports[0].serialNumber, "");
    EXPECT_TRUE(ports[0].inUse);

    EXPECT_EQ(ports[1].name, "/dev/ttyS0");
    EXPECT_EQ(ports[1].driver, "serial");
    EXPECT_EQ(ports[1].vendorId, "");
    EXPECT_EQ(ports[1].stableName, "");
    EXPECT_FALSE(ports[1].inUse);

    const PortInfo& usb = ports[2];
    EXPECT_EQ(usb.name, "/dev/ttyUSB0");
    EXPECT_EQ(usb.stableName, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(usb.driver, "ftdi_sio");
    EXPECT_EQ(usb.vendorId, "0403");
    EXPECT_EQ(usb.productId, "6001");
    EXPECT_EQ(usb.manufacturer, "FTDI");
    EXPECT_EQ(usb.product, "FT232R USB UART");
    EXPECT_EQ(usb.serialNumber, "A50285BI");
    EXPECT_TRUE(usb.inUse);
    EXPECT_EQ(PortCaption(usb), usb.stableName + "  (FT232R USB UART)");
    EXPECT_EQ(PortCaption(ports[1]), "/dev/ttyS0");
}

// The kernel shows an FTDI adapter's latency timer beside its tty; the updater reads
// it back after asking for low latency, by the name the operator gave.
TEST_F(FakeSysfs, LatencyTimerOfUsbSerialAdaptersByAnyOfTheirNames) {
    const std::string ftdi = "pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0";
    Tty("ttyUSB0", ftdi, "usb-serial", "ftdi_sio");
    Write("sys/devices/" + ftdi + "/latency_timer", "16");
    Link("sys/bus/usb-serial/devices/ttyUSB0", "../../../devices/" + ftdi);
    Link("dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "../../ttyUSB0");
    Tty("ttyUSB1", "pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB1", "usb-serial", "pl2303");
    Tty("ttyS0", "pnp0/00:04", "pnp", "serial");
    // What no driver writes.
    Tty("ttyUSB2", "pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/ttyUSB2", "usb-serial", "ftdi_sio");
    Write("sys/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/ttyUSB2/latency_timer", "4096");

    EXPECT_EQ(PortLatencyTimerUnder(root_, "/dev/ttyUSB0"), 16);
    EXPECT_EQ(PortLatencyTimerUnder(root_, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"), 16);
    EXPECT_EQ(PortLatencyTimerUnder(root_, "/dev/ttyUSB1"), std::nullopt);
    EXPECT_EQ(PortLatencyTimerUnder(root_, "/dev/ttyS0"), std::nullopt);
    EXPECT_EQ(PortLatencyTimerUnder(root_, "/dev/ttyUSB2"), std::nullopt);
    EXPECT_EQ(PortLatencyTimerUnder(root_, "/dev/ttyUSB9"), std::nullopt);
    const std::vector<PortInfo> ports = ListPortsUnder(root_);
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[1].name, "/dev/ttyUSB0");
    EXPECT_EQ(ports[1].latencyTimerMs, 16);
    EXPECT_EQ(ports[0].latencyTimerMs, std::nullopt);

    EXPECT_EQ(
        LatencyTimerFixUnder(root_, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"),
        "echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer (or setserial /dev/ttyUSB0 "
        "low_latency)");
    // No usb-serial device of that name: the command is shown for one.
    EXPECT_NE(LatencyTimerFixUnder(root_, "/dev/pts/3").find("/devices/ttyUSBn/latency_timer"),
              std::string::npos);
}

TEST_F(FakeSysfs, NoTreeGivesNoPorts) {
    EXPECT_TRUE(ListPortsUnder(root_ / "absent").empty());
}

// Anyone may write into the lock directory: what they leave there must neither
// hang the listing, nor fill the memory, nor make it open something else.
TEST_F(FakeSysfs, LockFilesAreReadWithoutBlockingFollowingOrNoEnd) {
    for (const char* tty : {"ttyS0", "ttyS1", "ttyS2"})
        Tty(tty, std::string("pnp0/") + tty, "pnp", "serial");
    fs::create_directories(root_ / "proc/777");
    fs::create_directories(root_ / "run/lock");
    fs::create_directories(root_ / "var/lock");
    const fs::path fifo = root_ / "run/lock/LCK..ttyS0";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // 300 MB with no line end after the PID of a live process.
    Write("run/lock/LCK..ttyS1", "       777");
    fs::resize_file(root_ / "run/lock/LCK..ttyS1", 300u << 20);
    // A link to a lock that would say "in use" is not followed.
    Write("elsewhere", "       777");
    fs::create_symlink(root_ / "elsewhere", root_ / "var/lock/LCK..ttyS2");

    auto listing = std::async(std::launch::async, [this] { return ListPortsUnder(root_); });
    if (listing.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        // Give the blocked open its writer so that the test can end.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
        FAIL() << "the listing blocked on a FIFO";
    }
    const std::vector<PortInfo> ports = listing.get();
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_FALSE(ports[0].inUse);
    EXPECT_TRUE(ports[1].inUse);
    EXPECT_FALSE(ports[2].inUse);
}

TEST(PortAccessAdvice, NamesTheGroupAndTheOneCommand) {
    EXPECT_EQ(AccessAdviceFor("/dev/ttyUSB0", "uucp", 14, false),
              "/dev/ttyUSB0 belongs to the group uucp: add your user to it with "
              "'sudo usermod -aG uucp $USER' and log in again");
    EXPECT_NE(AccessAdviceFor("/dev/ttyUSB0", "dialout", 20, true).find("log out and in again"),
              std::string::npos);
    // Never advise joining root's group.
    EXPECT_EQ(AccessAdviceFor("/dev/ttyS0", "root", 0, false).find("usermod"), std::string::npos);
}

} // namespace
} // namespace vz

// The serial ports of this machine, as an operator chooses among them: the
// name to open, a name that stays the same across reboots and what the system
// knows about the hardware behind it. One implementation per platform.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vz {

struct PortInfo {
    std::string name;       // what to give as the port: /dev/ttyUSB0, COM3
    std::string stableName; // /dev/serial/by-id/... where the system makes one
    std::string driver;     // the kernel or Windows driver serving the port
    std::string vendorId;   // USB ids, four lower-case hex digits; empty if not USB
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    std::string description; // the system's own name for the port (Windows)
    bool inUse = false;      // another program holds it open
    // How long a USB adapter holds received bytes before passing them on, in ms;
    // unknown for ports without such a timer or where the system does not tell.
    std::optional<int> latencyTimerMs;
};

// Every serial port with hardware behind it, sorted by name.
std::vector<PortInfo> ListPorts();

// The text the window shows for a port: its stable name (or its name) and the
// product it belongs to.
std::string PortCaption(const PortInfo& port);

// Why an open was refused for lack of rights and the one command that fixes it, as
// a sentence (empty when nothing can be said); the device's owning group is read
// from the system.
std::string PortAccessAdvice(const std::string& deviceName);

// The latency timer of the adapter behind `portName` (a name as given or as
// opened: /dev/ttyUSB0, a by-id link, COM3, \\.\COM3), read from the system
// without opening the port.
std::optional<int> PortLatencyTimer(const std::string& portName);

// How the operator brings that timer to 1 ms on this system, for the port.
std::string LatencyTimerFix(const std::string& portName);

// The device name to open for a name an operator gives (COM12 on Windows
// becomes \\.\COM12; paths stay as they are).
std::string PortOpenName(const std::string& name);

} // namespace vz

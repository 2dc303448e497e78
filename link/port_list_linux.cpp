// Serial ports from sysfs: every tty with a device behind it, the USB
// identities of its adapter, its /dev/serial/by-id name and whether a process
// holds it. Nothing is opened, so listing never toggles a line of a port.
#include "link/port_list_linux.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

namespace vz {

namespace fs = std::filesystem;

namespace {

// A sysfs attribute is at most a page long.
constexpr std::size_t kAttributeBytes = 4096;
// A lock file holds a PID in ten columns and a line end.
constexpr std::size_t kLockBytes = 64;

// The file closes with its guard, whichever way the read ends.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }

private:
    int fd_;
};

// The first `maxBytes` of a regular file; empty for anything else. Anyone may
// put a FIFO, a link to a device or a huge file where a lock file belongs, so
// the open never waits, never follows a link (opening a tty would toggle its
// lines) and the read stops at the bound.
std::string ReadHead(const fs::path& file, std::size_t maxBytes) {
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    std::string text(maxBytes, '\0');
    std::size_t got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd.Get(), text.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

// The first line of a sysfs attribute, without its line end; empty when absent.
std::string ReadAttribute(const fs::path& file) {
    std::string line = ReadHead(file, kAttributeBytes);
    line.resize(std::min(line.size(), line.find('\n')));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The last component of where a link points, or empty.
std::string LinkTargetName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

// tty name -> its by-id name; the first in name order when several point to one tty.
std::map<std::string, std::string> ByIdNames(const fs::path& root) {
    std::map<std::string, std::string> names;
    std::error_code ec;
    std::vector<fs::path> links;
    for (const auto& entry : fs::directory_iterator(root / "dev/serial/by-id", ec))
        links.push_back(entry.path());
    std::sort(links.begin(), links.end());
    for (const fs::path& link : links) {
        const std::string tty = LinkTargetName(link);
        if (!tty.empty()) names.emplace(tty, "/dev/serial/by-id/" + link.filename().string());
    }
    return names;
}

bool IsNumber(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Device paths held open by a process other than this one, as far as /proc lets us see.
std::set<std::string> OpenDevices(const fs::path& root) {
    std::set<std::string> open;
    const std::string self = root == "/" ? std::to_string(::getpid()) : std::string();
    std::error_code ec;
    for (const auto& process : fs::directory_iterator(root / "proc", ec)) {
        const std::string pid = process.path().filename().string();
        if (!IsNumber(pid) || pid == self) continue;
        std::error_code fdError;
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(fd.path(), linkError);
            if (!linkError && target.string().starts_with("/dev/")) open.insert(target.string());
        }
    }
    return open;
}

// The PID a UUCP lock file starts with: blanks, then digits up to the first
// character that is not one; empty when there is none.
std::string LockPid(const fs::path& file) {
    const std::string head = ReadHead(file, kLockBytes);
    const std::size_t start = head.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    const std::size_t end = head.find_first_not_of("0123456789", start);
    return head.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A UUCP lock file of a process that still runs (minicom, cu and others take one).
bool LockedByLiveProcess(const fs::path& root, const std::string& tty) {
    for (const char* dir : {"var/lock", "run/lock"}) {
        const std::string pid = LockPid(root / dir / ("LCK.." + tty));
        if (IsNumber(pid) && pid.size() <= 10) {
            std::error_code ec;
            if (fs::exists(root / "proc" / pid, ec)) return true;
        }
    }
    return false;
}

// The USB device and interface directories above a tty's device, when it has them.
struct UsbPlace {
    fs::path interface;
    fs::path device;
};

// A usb-serial device's latency_timer: a count of milliseconds (the FTDI driver
// takes 1 to 255).
std::optional<int> LatencyTimerOf(const fs::path& device) {
    const std::string text = ReadAttribute(device / "latency_timer");
    if (!IsNumber(text) || text.size() > 3) return std::nullopt;
    const int ms = std::stoi(text);
    return ms <= 255 ? std::optional<int>(ms) : std::nullopt;
}

// The tty a port name stands for: ttyUSB0 for /dev/ttyUSB0 and for a by-id link to it.
std::string TtyName(const fs::path& root, const std::string& portName) {
    const fs::path name(portName);
    std::error_code ec;
    const fs::path inTree = root / name.relative_path();
    if (fs::is_symlink(inTree, ec)) {
        const std::string target = LinkTargetName(inTree);
        if (!target.empty()) return target;
    }
    return name.filename().string();
}

std::optional<UsbPlace> FindUsb(const fs::path& device, const std::string& subsystem) {
    fs::path interface;
    if (subsystem == "usb-serial")
        interface = device.parent_path(); // ttyUSBn sits below its interface
    else if (subsystem == "usb")
        interface = device; // cdc_acm binds the interface itself
    else
        return std::nullopt;
    return UsbPlace{interface, interface.parent_path()};
}

} // namespace

std::vector<PortInfo> ListPortsUnder(const fs::path& root) {
    const std::map<std::string, std::string> byId = ByIdNames(root);
    const std::set<std::string> open = OpenDevices(root);
    std::vector<PortInfo> ports;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root / "sys/class/tty", ec)) {
        const std::string tty = entry.path().filename().string();
        std::error_code linkError;
        const fs::path device = fs::canonical(entry.path() / "device", linkError);
        if (linkError) continue; // virtual consoles, pseudo-terminals
        // A serial core port without a UART (the kernel's spare ttyS entries).
        if (ReadAttribute(entry.path() / "type") == "0") continue;

        PortInfo port;
        port.name = "/dev/" + tty;
        if (auto found = byId.find(tty); found != byId.end()) port.stableName = found->second;
        port.driver = LinkTargetName(device / "driver");
        const std::string subsystem = LinkTargetName(device / "subsystem");
        if (const auto usb = FindUsb(device, subsystem)) {
            port.vendorId = ReadAttribute(usb->device / "idVendor");
            port.productId = ReadAttribute(usb->device / "idProduct");
            port.manufacturer = ReadAttribute(usb->device / "manufacturer");
            port.product = ReadAttribute(usb->device / "product");
            port.serialNumber = ReadAttribute(usb->device / "serial");
            port.description = ReadAttribute(usb->interface / "interface");
        }
        port.latencyTimerMs = LatencyTimerOf(device);
        port.inUse = open.contains(port.name) || LockedByLiveProcess(root, tty);
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return a.name < b.name; });
    return ports;
}

std::vector<PortInfo> ListPorts() {
    return ListPortsUnder("/");
}

std::optional<int> PortLatencyTimerUnder(const fs::path& root, const std::string& portName) {
    const std::string tty = TtyName(root, portName);
    if (tty.empty() || tty == "." || tty == "..") return std::nullopt;
    return LatencyTimerOf(root / "sys/class/tty" / tty / "device");
}

std::optional<int> PortLatencyTimer(const std::string& portName) {
    return PortLatencyTimerUnder("/", portName);
}

std::string LatencyTimerFixUnder(const fs::path& root, const std::string& portName) {
    std::string tty = TtyName(root, portName);
    std::error_code ec;
    // Only usb-serial adapters have the setting; for another port the command is shown for one.
    if (tty.empty() || !fs::exists(root / "sys/bus/usb-serial/devices" / tty, ec)) tty = "ttyUSBn";
    return "echo 1 | sudo tee /sys/bus/usb-serial/devices/" + tty + "/latency_timer (or setserial /dev/" +
           tty + " low_latency)";
}

std::string LatencyTimerFix(const std::string& portName) {
    return LatencyTimerFixUnder("/", portName);
}

std::string AccessAdviceFor(const std::string& deviceName, const std::string& group, unsigned gid,
                            bool userInGroup) {
    if (gid == 0)
        // Adding a user to root's group would give away far more than the port.
        return deviceName +
               " belongs to the group root: give your user access with 'sudo setfacl -m u:" + "$USER:rw " +
               deviceName + "'";
    if (userInGroup)
        return deviceName + " belongs to the group " + group +
               ", which your user joined after logging in: log out and in again";
    return deviceName + " belongs to the group " + group + ": add your user to it with 'sudo usermod -aG " +
           group + " $USER' and log in again";
}

std::string PortAccessAdvice(const std::string& deviceName) {
    struct stat info {};
    if (::stat(deviceName.c_str(), &info) != 0) return {};
    std::string groupName = std::to_string(info.st_gid);
    bool member = false;
    if (const struct group* entry = ::getgrgid(info.st_gid)) {
        groupName = entry->gr_name;
        // The group file, not this process's groups: a user added since logging in
        // needs a new login, not another usermod.
        const struct passwd* user = ::getpwuid(::getuid());
        for (char** name = entry->gr_mem; user != nullptr && *name != nullptr; ++name)
            if (std::string(*name) == user->pw_name) member = true;
    }
    return AccessAdviceFor(deviceName, groupName, static_cast<unsigned>(info.st_gid), member);
}

std::string PortOpenName(const std::string& name) {
    return name;
}

} // namespace vz

#include "emulator/pty_port.h"

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace vz::emu {

namespace {

[[noreturn]] void Throw(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), "pseudo-terminal: " + what);
}

int BaudOf(speed_t speed) {
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

} // namespace

PtyPort::PtyPort() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) Throw("posix_openpt");
    if (grantpt(master_) != 0) Throw("grantpt");
    if (unlockpt(master_) != 0) Throw("unlockpt");
    const char* name = ptsname(master_);
    if (!name) Throw("ptsname");
    path_ = name;
    terminal_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
    if (terminal_ < 0) Throw("open " + path_);
    termios t{};
    if (tcgetattr(terminal_, &t) != 0) Throw("tcgetattr");
    cfmakeraw(&t);
    cfsetispeed(&t, B57600);
    cfsetospeed(&t, B57600);
    if (tcsetattr(terminal_, TCSANOW, &t) != 0) Throw("tcsetattr");
    int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) Throw("fcntl O_NONBLOCK");
}

PtyPort::~PtyPort() {
    close();
}

int PtyPort::hostBaud() const {
    termios t{};
    if (terminal_ < 0 || tcgetattr(terminal_, &t) != 0) return 0;
    return BaudOf(cfgetospeed(&t));
}

void PtyPort::flushTowardsHost() {
    if (terminal_ >= 0) tcflush(terminal_, TCIFLUSH);
}

void PtyPort::close() {
    if (terminal_ >= 0) ::close(terminal_);
    if (master_ >= 0) ::close(master_);
    terminal_ = master_ = -1;
}

OpenWatch::OpenWatch(const std::string& path) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0 && inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

OpenWatch::~OpenWatch() {
    if (fd_ >= 0) ::close(fd_);
}

OpenWatch::Events OpenWatch::take() {
    Events events;
    if (fd_ < 0) return events;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) break;
        for (char* p = buffer; p < buffer + n;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            if (event->mask & IN_OPEN) {
                ++events.opens;
                ++open_;
            }
            if ((event->mask & IN_CLOSE) && open_ > 0 && --open_ == 0) events.allClosed = true;
            p += sizeof(inotify_event) + event->len;
        }
    }
    return events;
}

} // namespace vz::emu

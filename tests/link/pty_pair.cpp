#include "pty_pair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace vz::test {

PtyPair::PtyPair() {
    char name[256] = {};
    if (::openpty(&master_, &terminal_, name, nullptr, nullptr) != 0) {
        master_ = terminal_ = -1;
        return;
    }
    path_ = name;
    // A known starting point that differs from anything the link programs.
    termios t{};
    ::tcgetattr(terminal_, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B38400);
    ::cfsetospeed(&t, B38400);
    ::tcsetattr(terminal_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    CloseMaster();
    if (terminal_ >= 0) ::close(terminal_);
}

void PtyPair::WriteMaster(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && master_ >= 0) {
        const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd fd{master_, POLLOUT, 0};
            ::poll(&fd, 1, 100);
        }
    }
}

std::size_t PtyPair::WriteMasterFor(const std::string& bytes, std::chrono::milliseconds timeout) {
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (done < bytes.size() && master_ >= 0 && std::chrono::steady_clock::now() < deadline) {
        const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        } else {
            pollfd fd{master_, POLLOUT, 0};
            ::poll(&fd, 1, 10);
        }
    }
    return done;
}

std::string PtyPair::ReadMaster(std::size_t count, std::chrono::milliseconds timeout) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count && master_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd fd{master_, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[512];
        const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return got;
}

void PtyPair::CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

termios PtyPair::Settings() const {
    termios t{};
    ::tcgetattr(terminal_, &t);
    return t;
}

speed_t PtyPair::OutputSpeed() const {
    const termios t = Settings();
    return ::cfgetospeed(&t);
}

int PtyPair::InputQueued() const {
    int count = -1;
    ::ioctl(terminal_, FIONREAD, &count);
    return count;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace vz::test

#include "bench/e2e/reference_host.h"

#include "bench/e2e/stop_and_wait.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace vz::bench {

namespace {

constexpr int kAnswerWaitMs = 10000;

// The serial device as a blocking terminal at 57600 bit/s.
class Line : public DialogueLine {
public:
    explicit Line(const std::string& port) : fd_(::open(port.c_str(), O_RDWR | O_NOCTTY)) {
        termios t{};
        if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0) return;
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B57600);
        ::cfsetospeed(&t, B57600);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        ok_ = ::tcsetattr(fd_, TCSANOW, &t) == 0;
    }
    ~Line() {
        if (fd_ >= 0) ::close(fd_);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool Ok() const { return ok_; }

    bool Send(const std::string& text) override {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t put = ::write(fd_, text.data() + done, text.size() - done);
            if (put <= 0) return false;
            done += static_cast<std::size_t>(put);
        }
        return true;
    }

    // The next byte from the device; 0 after the wait or on an error.
    char Next() override {
        pollfd fd{fd_, POLLIN, 0};
        if (::poll(&fd, 1, kAnswerWaitMs) != 1) return 0;
        char byte = 0;
        return ::read(fd_, &byte, 1) == 1 ? byte : 0;
    }

private:
    int fd_;
    bool ok_ = false;
};

} // namespace

bool RunReferenceHost(const std::string& port, const std::string& modelDir, std::string& error) {
    Line line(port);
    if (!line.Ok()) {
        error = "cannot open " + port + ": " + std::strerror(errno);
        return false;
    }
    return RunStopAndWait(line, modelDir, error);
}

} // namespace vz::bench

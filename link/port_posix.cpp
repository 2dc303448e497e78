// Serial ports on Linux and macOS through termios. The descriptor is opened
// non-blocking and every wait is a poll() on it together with a wake-up pipe,
// so the driver's loops sleep in the kernel instead of spinning.
#include "link/port_backend.h"
#include "link/port_names.h"
#include "link/posix_termios.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace vz {

namespace {

bool IsDeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

class PosixPort : public PortBackend {
public:
    PosixPort() { MakeWakePipe(); }

    ~PosixPort() override {
        Close();
        if (wakeRead_ >= 0) ::close(wakeRead_);
        if (const int fd = wakeWrite_.load(); fd >= 0) ::close(fd);
    }

    std::string DeviceName(int comNumber) const override { return PosixComDeviceName(comNumber); }

    bool Open(const std::string& name) override {
        if (fd_ >= 0) return true;
        // Without the pipe an idle wait could not be ended, and a stop or the
        // program's end would hang: no port then.
        if (!MakeWakePipe()) {
            const int error = errno;
            lastError_ = "Cannot make the link thread's wake-up pipe: " + ErrorText(error);
            lastErrorAccessDenied_ = false;
            return false;
        }
        const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return FailOpen(errno);
        // The advisory lock also binds root, which the terminal's own exclusive
        // mode does not: a second updater must not share the port.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd);
            return FailOpen(error);
        }
        if (::tcgetattr(fd, &original_) != 0) {
            const int error = errno;
            ::close(fd);
            return FailOpen(error);
        }
        ::ioctl(fd, TIOCEXCL);
        RequestLowLatency(fd);
        fd_ = fd;
        failed_ = false;
        lostReason_.clear();
        pushback_.reset();
        return true;
    }

    void Close() override {
        if (fd_ < 0) return;
        // Unsent output is dropped so that closing never waits for a stalled line.
        ::tcflush(fd_, TCIOFLUSH);
        ::tcsetattr(fd_, TCSANOW, &original_);
        // The exclusive mode outlives us if another process keeps the device open.
        ::ioctl(fd_, TIOCNXCL);
        RestoreLatency(fd_);
        ::close(fd_);
        fd_ = -1;
        pushback_.reset();
    }

    bool IsOpen() const override { return fd_ >= 0; }

    bool ApplySettings(const LineSettings& s) override {
        if (fd_ < 0) return false;
        termios t{};
        if (::tcgetattr(fd_, &t) != 0) return FailSetting(ErrorText(errno));
        std::string refused;
        if (!ToTermios(s, t, refused)) return FailSetting(refused);
        if (::tcsetattr(fd_, TCSANOW, &t) != 0) return FailSetting(ErrorText(errno));

        // Modem control lines; a terminal without them (a pseudo-terminal) refuses quietly.
        SetModemLine(TIOCM_DTR, s.dtrOn);
        SetModemLine(TIOCM_RTS, s.rtsOn || s.rtsCtsFlow);
        return true;
    }

    // The kernel's queues have fixed sizes.
    bool SetQueueSizes(std::uint32_t, std::uint32_t) override { return fd_ >= 0; }

    void Purge(bool input, bool output) override {
        if (fd_ < 0) return;
        if (input && output)
            ::tcflush(fd_, TCIOFLUSH);
        else if (input)
            ::tcflush(fd_, TCIFLUSH);
        else if (output)
            ::tcflush(fd_, TCOFLUSH);
        if (input) pushback_.reset();
    }

    std::optional<std::uint32_t> BytesWaiting() override {
        if (fd_ < 0) return std::nullopt;
        int count = 0;
        if (::ioctl(fd_, FIONREAD, &count) != 0) {
            NoteError(errno);
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(std::max(count, 0)) + (pushback_ ? 1u : 0u);
    }

    std::optional<std::uint32_t> OutputQueued() override {
        if (fd_ < 0) return std::nullopt;
        int count = 0;
        if (::ioctl(fd_, TIOCOUTQ, &count) != 0) {
            NoteError(errno);
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(std::max(count, 0));
    }

    std::optional<TModemLines> ModemLines() override {
        if (fd_ < 0) return std::nullopt;
        int bits = 0;
        if (::ioctl(fd_, TIOCMGET, &bits) != 0) return std::nullopt;
        TModemLines lines = 0;
        if (bits & TIOCM_CTS) lines |= mlCTS;
        if (bits & TIOCM_DSR) lines |= mlDSR;
        if (bits & TIOCM_RNG) lines |= mlRING;
        if (bits & TIOCM_CAR) lines |= mlDCD;
        return lines;
    }

    std::size_t Read(void* buffer, std::size_t count) override {
        if (fd_ < 0 || count == 0) return 0;
        auto* out = static_cast<unsigned char*>(buffer);
        std::size_t total = 0;
        if (pushback_) {
            out[total++] = *pushback_;
            pushback_.reset();
        }
        if (total == count) return total;
        const ssize_t got = ::read(fd_, out + total, count - total);
        if (got > 0) return total + static_cast<std::size_t>(got);
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) NoteError(errno);
        return total;
    }

    std::size_t Write(const void* data, std::size_t count) override {
        if (fd_ < 0 || count == 0) return 0;
        const ssize_t put = ::write(fd_, data, count);
        if (put > 0) return static_cast<std::size_t>(put);
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) NoteError(errno);
        return 0;
    }

    WaitResult WaitReadable(int timeoutMs, bool watchData) override {
        if (failed_) return WaitResult::Failed;
        if (watchData && pushback_) return WaitResult::Ready;
        const auto deadline = TickDeadline(timeoutMs);
        for (;;) {
            pollfd fds[2] = {{fd_, static_cast<short>(watchData ? POLLIN : 0), 0}, {wakeRead_, POLLIN, 0}};
            const int ready = PollUntil(fds, 2, timeoutMs, deadline);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return WaitResult::TimedOut;
            }
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                MarkLost("The device hung up");
                return WaitResult::Failed;
            }
            if (fds[1].revents & POLLIN) {
                DrainWakePipe();
                return WaitResult::Woken;
            }
            if (fds[0].revents & POLLIN) return CheckReadable();
            ++timedWakeups_;
            return WaitResult::TimedOut;
        }
    }

    WaitResult WaitWritable(int timeoutMs) override {
        if (failed_ || fd_ < 0) return failed_ ? WaitResult::Failed : WaitResult::TimedOut;
        const auto deadline = TickDeadline(timeoutMs);
        for (;;) {
            pollfd fd = {fd_, POLLOUT, 0};
            const int ready = PollUntil(&fd, 1, timeoutMs, deadline);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return WaitResult::TimedOut;
            }
            if (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
                MarkLost("The device hung up");
                return WaitResult::Failed;
            }
            if (ready > 0) return WaitResult::Ready;
            ++timedWakeups_;
            return WaitResult::TimedOut;
        }
    }

    void Pause(int ms) override {
        ++timedWakeups_;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    void Interrupt() override {
        const char byte = 1;
        const int fd = wakeWrite_.load();
        // A full pipe already holds a wake-up; without a pipe no port is open.
        if (fd < 0) return;
        [[maybe_unused]] const ssize_t put = ::write(fd, &byte, 1);
    }

    std::string PlatformName() const override {
        utsname name{};
        return ::uname(&name) == 0 ? name.sysname : "??";
    }

    int PlatformMajorVersion() const override {
        utsname name{};
        return ::uname(&name) == 0 ? std::atoi(name.release) : 0;
    }

    std::uint64_t TimedWakeups() const override { return timedWakeups_.load(); }
    std::string LastError() const override { return lastError_; }
    bool LastErrorAccessDenied() const override { return lastErrorAccessDenied_; }
    bool Failed() const override { return failed_; }
    std::string LostReason() const override { return lostReason_; }

private:
    using TimePoint = std::chrono::steady_clock::time_point;

    // A wait of n ms ends when the system tick count (milliseconds of this same
    // clock) has moved on by n, not a full n ms later: a read that waits for
    // the tick to change then waits less than a millisecond on average.
    static TimePoint TickDeadline(int timeoutMs) {
        const auto now = std::chrono::steady_clock::now();
        return std::chrono::floor<std::chrono::milliseconds>(now) +
               std::chrono::milliseconds(std::max(timeoutMs, 0));
    }

    static int PollUntil(pollfd* fds, nfds_t count, int timeoutMs, TimePoint deadline) {
        if (timeoutMs < 0) return ::poll(fds, count, -1);
        const auto left = std::max(deadline - std::chrono::steady_clock::now(), TimePoint::duration::zero());
#ifdef __linux__
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec span{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        return ::ppoll(fds, count, &span, nullptr);
#else
        return ::poll(fds, count,
                      static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
#endif
    }

    // A raw terminal that polls readable has at least one byte, unless it hung
    // up: a read of 0 bytes then is the only sign some systems give.
    WaitResult CheckReadable() {
        int count = 0;
        if (::ioctl(fd_, FIONREAD, &count) != 0) {
            NoteError(errno);
            return failed_ ? WaitResult::Failed : WaitResult::Ready;
        }
        if (count > 0) return WaitResult::Ready;
        unsigned char byte = 0;
        const ssize_t got = ::read(fd_, &byte, 1);
        if (got == 1) {
            pushback_ = byte;
            return WaitResult::Ready;
        }
        if (got == 0) {
            MarkLost("The device hung up");
            return WaitResult::Failed;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) NoteError(errno);
        return failed_ ? WaitResult::Failed : WaitResult::Ready;
    }

    void DrainWakePipe() {
        char bytes[64];
        while (::read(wakeRead_, bytes, sizeof bytes) > 0) {
        }
    }

    void SetModemLine(int line, bool on) {
        ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line);
    }

    bool MakeWakePipe() {
        if (wakeRead_ >= 0) return true;
        int fds[2] = {-1, -1};
        if (::pipe(fds) != 0) return false;
        for (int fd : fds) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        wakeRead_ = fds[0];
        wakeWrite_.store(fds[1]);
        return true;
    }

    void RequestLowLatency([[maybe_unused]] int fd) {
        lowLatencySet_ = false;
#ifdef __linux__
        // USB adapters otherwise hold received bytes back for their latency
        // timer (16 ms by default); the flag makes the kernel use 1 ms.
        serial_struct serial{};
        if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
            serial.flags |= ASYNC_LOW_LATENCY;
            lowLatencySet_ = ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
        }
#endif
    }

    // The flag stays with the adapter after close: give it back as it was.
    void RestoreLatency([[maybe_unused]] int fd) {
#ifdef __linux__
        serial_struct serial{};
        if (lowLatencySet_ && ::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
            serial.flags &= ~ASYNC_LOW_LATENCY;
            ::ioctl(fd, TIOCSSERIAL, &serial);
        }
#endif
        lowLatencySet_ = false;
    }

    bool FailOpen(int error) {
        lastError_ = ErrorText(error);
        lastErrorAccessDenied_ = error == EACCES || error == EPERM;
        return false;
    }

    bool FailSetting(std::string reason) {
        lastError_ = std::move(reason);
        lastErrorAccessDenied_ = false;
        return false;
    }

    void NoteError(int error) {
        if (IsDeviceGone(error)) MarkLost(ErrorText(error));
    }

    void MarkLost(std::string reason) {
        if (failed_) return;
        failed_ = true;
        lostReason_ = std::move(reason);
    }

    int fd_ = -1;
    // The write end is read by Interrupt() on other threads.
    int wakeRead_ = -1;
    std::atomic<int> wakeWrite_{-1};
    termios original_{};
    bool lowLatencySet_ = false;
    std::atomic<std::uint64_t> timedWakeups_{0};
    std::optional<unsigned char> pushback_;
    bool failed_ = false;
    std::string lostReason_;
    std::string lastError_;
    bool lastErrorAccessDenied_ = false;
};

} // namespace

std::unique_ptr<PortBackend> MakeSystemPort() {
    return std::make_unique<PosixPort>();
}

} // namespace vz

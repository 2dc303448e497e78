// The pseudo-terminal the device talks through (POSIX). The device writes and
// reads the master side; the host opens the terminal side like a serial port.
// The device keeps the terminal side open itself, so the host closing and
// reopening its port never hangs the line up.
#pragma once

#include <string>

namespace vz::emu {

class PtyPort {
public:
    // Opens a new pseudo-terminal with the terminal side raw at 57600 baud.
    // Throws std::system_error saying which step failed.
    PtyPort();
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    int masterFd() const { return master_; }
    const std::string& terminalPath() const { return path_; }
    bool isOpen() const { return master_ >= 0; }
    // Speed the host has set on the terminal side, in bits per second (0: unknown).
    int hostBaud() const;
    // Drops the bytes waiting for the host to read (a new session starts).
    void flushTowardsHost();
    // Closes both sides: the adapter is pulled out.
    void close();

private:
    int master_ = -1;
    int terminal_ = -1;
    std::string path_;
};

// Watches the terminal side for the host opening and closing it (inotify). When
// the platform cannot tell, fd() is -1 and nothing is ever reported.
class OpenWatch {
public:
    explicit OpenWatch(const std::string& path);
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    int fd() const { return fd_; }
    struct Events {
        int opens = 0;          // opens seen since the last call
        bool allClosed = false; // meanwhile the last open handle was closed
    };
    Events take();

private:
    int fd_ = -1;
    int open_ = 0; // handles the host holds
};

} // namespace vz::emu

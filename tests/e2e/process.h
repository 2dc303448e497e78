// Child processes for end-to-end tests: the emulated device and the updater.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace vz::e2e {

class Process {
public:
    // Starts `argv` with stdout and stderr captured.
    explicit Process(const std::vector<std::string>& argv);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The first line the process writes on stdout (waits up to `seconds`).
    std::string ReadLine(double seconds);
    void Signal(int signal);
    // Exit status, or -signal; -1000 when it had to be killed after `seconds`.
    int Wait(double seconds);
    bool Running();
    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }

private:
    void Drain(int timeoutMs);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
    std::size_t lineRead_ = 0;
    int status_ = 0;
    bool reaped_ = false;
};

} // namespace vz::e2e

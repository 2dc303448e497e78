// Child processes for end-to-end tests: the emulated device and the updater.
#pragma once

#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace vz::e2e {

class Process {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // Starts `argv` with stdout and stderr captured, with `env` added to the environment.
    explicit Process(const std::vector<std::string>& argv, const Environment& env = {});
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
    // CPU time and peak memory of the process, once it has ended.
    const rusage& Usage() const { return usage_; }
    pid_t Pid() const { return pid_; }

private:
    void Drain(int timeoutMs);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
    std::size_t lineRead_ = 0;
    int status_ = 0;
    rusage usage_{};
    bool reaped_ = false;
};

} // namespace vz::e2e

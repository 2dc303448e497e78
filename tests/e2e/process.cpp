#include "tests/e2e/process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace vz::e2e {

namespace {
using Clock = std::chrono::steady_clock;
}

Process::Process(const std::vector<std::string>& argv, const Environment& env) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
}

Process::~Process() {
    if (!reaped_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

void Process::Drain(int timeoutMs) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) return;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
    }
}

std::string Process::ReadLine(double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        const std::size_t newline = out_.find('\n', lineRead_);
        if (newline != std::string::npos) {
            std::string line = out_.substr(lineRead_, newline - lineRead_);
            lineRead_ = newline + 1;
            return line;
        }
        Drain(50);
    }
    return {};
}

void Process::Signal(int signal) {
    if (!reaped_) kill(pid_, signal);
}

bool Process::Running() {
    if (reaped_) return false;
    if (wait4(pid_, &status_, WNOHANG, &usage_) == pid_) reaped_ = true;
    return !reaped_;
}

int Process::Wait(double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Running() && Clock::now() < end)
        Drain(20);
    if (Running()) {
        kill(pid_, SIGKILL);
        wait4(pid_, &status_, 0, &usage_);
        reaped_ = true;
        return -1000;
    }
    for (int i = 0; i < 20; ++i)
        Drain(5);
    if (WIFEXITED(status_)) return WEXITSTATUS(status_);
    return -WTERMSIG(status_);
}

} // namespace vz::e2e

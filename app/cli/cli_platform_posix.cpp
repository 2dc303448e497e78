#include "app/cli/cli_platform.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace vz::cli {

std::string ProgramFilePath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string PlatformName() {
    utsname name{};
    if (uname(&name) != 0) return "POSIX";
    return std::string(name.sysname) + " " + name.release + " " + name.machine;
}

std::string HostName() {
    char name[256] = "";
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

bool TerminalTakesControlSequences(std::FILE* stream) {
    const char* term = std::getenv("TERM");
    return isatty(fileno(stream)) && term != nullptr && std::string(term) != "dumb";
}

namespace {

void (*g_onStop)(StopCause) = nullptr;

void OnSignal(int number) {
    const StopCause cause = number == SIGHUP    ? StopCause::HangUp
                            : number == SIGTERM ? StopCause::Terminate
                                                : StopCause::Interrupt;
    if (g_onStop) g_onStop(cause);
}

} // namespace

void CatchStopRequests(void (*onStop)(StopCause cause)) {
    g_onStop = onStop;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(number, &action, nullptr);
}

void StopHandled() {}

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
    // Likewise a file past the size limit: its write fails, and the record is cut back.
    std::signal(SIGXFSZ, SIG_IGN);
}

ExclusiveFile::Outcome ExclusiveFile::Create(const std::string& path) {
    Close();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? Outcome::Exists : Outcome::Failed;
    handle_ = fd;
    return Outcome::Created;
}

bool ExclusiveFile::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(static_cast<int>(handle_), data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool ExclusiveFile::Close() {
    if (handle_ == kNone) return true;
    const int result = close(static_cast<int>(handle_));
    handle_ = kNone;
    return result == 0;
}

} // namespace vz::cli

#include "bench/e2e/reference_host.h"

#include "formats/hex.h"
#include "formats/text_lines.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace vz::bench {

namespace {

constexpr int kAnswerWaitMs = 10000;
// The KRA350's type number, the first the updater tries.
constexpr const char* kTypeNumber = "18";

struct Memory {
    const char* command;
    const char* file;
    std::uint16_t first;
    std::uint16_t last;
};

class Line {
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

    bool Send(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t put = ::write(fd_, text.data() + done, text.size() - done);
            if (put <= 0) return false;
            done += static_cast<std::size_t>(put);
        }
        return true;
    }

    // The next byte from the device; 0 after the wait or on an error.
    char Next() {
        pollfd fd{fd_, POLLIN, 0};
        if (::poll(&fd, 1, kAnswerWaitMs) != 1) return 0;
        char byte = 0;
        return ::read(fd_, &byte, 1) == 1 ? byte : 0;
    }

private:
    int fd_;
    bool ok_ = false;
};

bool Fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

bool Expect(Line& line, char wanted, const std::string& after, std::string& error) {
    const char got = line.Next();
    if (got == wanted) return true;
    return Fail(error, "expected \"" + std::string(1, wanted) + "\" after " + after + ", received " +
                           (got == 0 ? std::string("nothing") : "\"" + std::string(1, got) + "\""));
}

bool Program(Line& line, const std::string& modelDir, const Memory& memory, std::string& error) {
    std::vector<std::string> lines;
    const std::string path = modelDir + "/" + memory.file;
    if (LoadTextLines(path, lines) != LoadResult::Ok) return Fail(error, path + " cannot be read");
    if (!line.Send(memory.command) || !Expect(line, '.', memory.command, error) ||
        !Expect(line, '.', std::string(memory.command) + " erase", error))
        return false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        for (;;) {
            if (!line.Send(lines[i] + "\r\n")) return Fail(error, "write failed");
            const char answer = line.Next();
            if (answer == '.') break;
            if (answer != 'R')
                return Fail(error, path + " line " + std::to_string(i + 1) + " answered " +
                                       (answer == 0 ? std::string("nothing") : std::string(1, answer)));
        }
    }
    const std::string sum = WordToHex(HexImageSum(lines, memory.first, memory.last));
    return line.Send(BuildHexRecord(0x0C, 0x0000, sum) + "\r\n") &&
           Expect(line, '.', std::string(memory.file) + " checksum record", error);
}

} // namespace

bool RunReferenceHost(const std::string& port, const std::string& modelDir, std::string& error) {
    Line line(port);
    if (!line.Ok()) return Fail(error, "cannot open " + port + ": " + std::strerror(errno));
    // The boot loader calls until it is answered.
    for (char c = line.Next(); c != '%'; c = line.Next())
        if (c == 0) return Fail(error, "the boot loader never called");
    if (!line.Send("%") || !Expect(line, '.', "%", error)) return false;
    if (!line.Send(kTypeNumber) || !Expect(line, '.', "the type number", error)) return false;
    for (char c = line.Next(); c != '.'; c = line.Next())
        if (c == 0) return Fail(error, "the identification reply did not end");
    static constexpr Memory kMemories[] = {{"PB", "boot.hex", 0x4000, 0x5FFF},
                                           {"P0", "bank0.hex", 0x0000, 0x7FFF}};
    for (const Memory& memory : kMemories)
        if (!Program(line, modelDir, memory, error)) return false;
    return line.Send("FI") && Expect(line, '.', "FI", error);
}

} // namespace vz::bench

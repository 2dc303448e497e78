// Machine-readable record of the line traffic. One line per contiguous chunk:
//   <first_us> <last_us> <H>D|D>H> <length> <escaped bytes>
// and notes as "# <us> <text>". See emulator/README.md.
#pragma once

#include "emulator/device_config.h"

#include <ostream>
#include <string>
#include <string_view>

namespace vz::emu {

// Printable characters stay as they are; "\\", blank, CR, LF, ESC, NUL and any other
// byte are written as \\ \x20 \r \n \e \0 \xHH so a chunk never contains white space.
std::string EscapeBytes(std::string_view bytes);

class Transcript {
public:
    enum class Direction { HostToDevice, DeviceToHost };

    // `out` may be null: nothing is recorded.
    explicit Transcript(std::ostream* out) : out_(out) {}
    ~Transcript() { flush(); }

    // Bytes seen at `at`; they join the open chunk when they follow it within
    // two character times at `baud` in the same direction.
    void bytes(Direction direction, std::string_view data, Micros at, int baud);
    void note(Micros at, std::string_view text);
    // Writes the open chunk if nothing can extend it any more.
    void idle(Micros now);
    void flush();

private:
    std::ostream* out_;
    bool open_ = false;
    Direction direction_ = Direction::HostToDevice;
    Micros first_ = 0;
    Micros last_ = 0;
    Micros gap_ = 0;
    std::string data_;
};

} // namespace vz::emu

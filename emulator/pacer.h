// Timing of the serial line for a device that is to behave like one on a real
// UART: ten bit times per byte, both ways. Without pacing bytes pass at once.
// A latency tick plays a USB serial adapter's latency timer: bytes towards the
// host are held until the next multiple of the tick, counted from the start.
#pragma once

#include "emulator/device.h"

#include <deque>
#include <string>
#include <string_view>

namespace vz::emu {

// Microseconds one byte (start, 8 data, stop bits) takes at this speed.
Micros CharTime(int baud);

class LinePacer {
public:
    // latency: the adapter's tick (0: bytes are passed on as soon as they have arrived).
    explicit LinePacer(bool enabled, Micros latency = 0) : enabled_(enabled), latency_(latency) {}

    // Host bytes read at `readAt`, sent by the host at `hostBaud` (0: unknown),
    // while the device listens at `deviceBaud`.
    void received(std::string_view bytes, Micros readAt, int hostBaud, int deviceBaud);
    struct InputByte {
        char byte;
        int hostBaud;
    };
    // The host bytes that have fully arrived by now, in order.
    std::vector<InputByte> dueInput(Micros now);
    Micros nextInputAt() const;

    void queueOutput(const Emission& emission, Micros now);
    // The leading bytes that may be written by now.
    std::string dueOutput(Micros now) const;
    // The first n bytes of dueOutput have been written.
    void consumeOutput(std::size_t n);
    Micros nextOutputAt() const;
    bool outputPending() const { return !output_.empty(); }
    std::size_t outputSize() const { return output_.size(); }
    // Drops what is queued for the host (a new host session starts).
    void dropOutput();
    // Drops the oldest queued bytes beyond `keep` (nobody is reading the line).
    std::size_t trimOutput(std::size_t keep);

private:
    struct Pending {
        char byte;
        int baud;
        Micros at; // arrival (input) or queueing time (output)
    };
    // When the byte at `index` has fully arrived at the adapter.
    Micros outputSlot(std::size_t index) const;
    // When the adapter passes on a byte that arrived at `slot`.
    Micros released(Micros slot) const;

    bool enabled_;
    Micros latency_;
    std::deque<Pending> input_;
    Micros lastArrival_ = 0;
    std::deque<Pending> output_;
    Micros lastSlot_ = 0;
};

} // namespace vz::emu

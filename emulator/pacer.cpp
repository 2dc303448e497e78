#include "emulator/pacer.h"

#include <algorithm>

namespace vz::emu {

Micros CharTime(int baud) {
    return baud > 0 ? (10'000'000 + baud / 2) / baud : 0;
}

void LinePacer::received(std::string_view bytes, Micros readAt, int hostBaud, int deviceBaud) {
    for (char c : bytes) {
        Micros at = readAt;
        if (enabled_) {
            // Bytes that came together were sent back to back: each needs its own character time.
            lastArrival_ = std::max(readAt, lastArrival_) + CharTime(hostBaud > 0 ? hostBaud : deviceBaud);
            at = lastArrival_;
        }
        input_.push_back({c, hostBaud, at});
    }
}

std::vector<LinePacer::InputByte> LinePacer::dueInput(Micros now) {
    std::vector<InputByte> due;
    while (!input_.empty() && input_.front().at <= now) {
        due.push_back({input_.front().byte, input_.front().baud});
        input_.pop_front();
    }
    return due;
}

Micros LinePacer::nextInputAt() const {
    return input_.empty() ? kNever : input_.front().at;
}

void LinePacer::queueOutput(const Emission& emission, Micros now) {
    for (char c : emission.bytes)
        output_.push_back({c, emission.baud, now});
}

Micros LinePacer::outputSlot(std::size_t index) const {
    Micros slot = lastSlot_;
    for (std::size_t i = 0; i <= index; ++i) {
        const Pending& p = output_[i];
        slot = enabled_ ? std::max(slot, p.at) + CharTime(p.baud) : p.at;
    }
    return slot;
}

Micros LinePacer::released(Micros slot) const {
    if (latency_ <= 0) return slot;
    // The first tick at or after the byte has arrived; ticks count from the start.
    return (slot + latency_ - 1) / latency_ * latency_;
}

std::string LinePacer::dueOutput(Micros now) const {
    std::string due;
    Micros slot = lastSlot_;
    for (const Pending& p : output_) {
        slot = enabled_ ? std::max(slot, p.at) + CharTime(p.baud) : p.at;
        if (released(slot) > now) break;
        due += p.byte;
    }
    return due;
}

void LinePacer::consumeOutput(std::size_t n) {
    n = std::min(n, output_.size());
    if (n == 0) return;
    lastSlot_ = outputSlot(n - 1);
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(n));
}

Micros LinePacer::nextOutputAt() const {
    return output_.empty() ? kNever : released(outputSlot(0));
}

void LinePacer::dropOutput() {
    output_.clear();
}

std::size_t LinePacer::trimOutput(std::size_t keep) {
    if (output_.size() <= keep) return 0;
    std::size_t n = output_.size() - keep;
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

} // namespace vz::emu

// The engines' only view of time: a millisecond tick count and a pause.
#pragma once

#include <cstdint>
#include <functional>

namespace vz {

struct EngineClock {
    // Milliseconds as a wrapping 32-bit count; only differences are meaningful.
    std::function<std::uint32_t()> Now;
    // Holds the calling thread for the given number of milliseconds.
    std::function<void(std::uint32_t)> Pause;

    // A steady clock and a real sleep.
    static EngineClock System();
};

} // namespace vz

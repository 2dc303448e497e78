// The engines' only view of time: a millisecond tick count. Nothing waits inside a
// step: an engine that must let time pass looks at the count again on later steps.
#pragma once

#include <cstdint>
#include <functional>

namespace vz {

struct EngineClock {
    // Milliseconds as a wrapping 32-bit count; only differences are meaningful.
    std::function<std::uint32_t()> Now;
    // A steady clock.
    static EngineClock System();
};

} // namespace vz

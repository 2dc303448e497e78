// The millisecond tick count every link time-out is measured with: 32 bits that
// wrap, so elapsed times are always unsigned differences.
#pragma once

#include <cstdint>
#include <functional>

namespace vz {

using TickClock = std::function<std::uint32_t()>;

// Milliseconds of a monotonic clock, truncated to 32 bits.
std::uint32_t SystemTickCount();

// Wrap-safe: the time from `start` to `now`.
inline std::uint32_t TicksSince(std::uint32_t start, std::uint32_t now) {
    return now - start;
}

} // namespace vz

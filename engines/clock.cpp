#include "engines/clock.h"

#include <chrono>

namespace vz {

EngineClock EngineClock::System() {
    EngineClock clock;
    clock.Now = [] {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
        // Truncation to 32 bits gives the wrapping tick count the time-outs expect.
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
    };
    return clock;
}

} // namespace vz

// Time as the station and the transcripts read it, injected like the engines' clock.
#pragma once

#include <chrono>
#include <ctime>
#include <functional>

namespace vz {

struct TTimeSource {
    std::function<std::time_t()> wall;
    std::function<std::chrono::steady_clock::time_point()> steady;

    static TTimeSource System();
};

} // namespace vz

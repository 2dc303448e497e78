#include "app/core/time_source.h"

namespace vz {

TTimeSource TTimeSource::System() {
    return {[] { return std::time(nullptr); }, [] { return std::chrono::steady_clock::now(); }};
}

} // namespace vz

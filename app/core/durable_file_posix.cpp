#include "app/core/durable_file.h"

#include <unistd.h>

namespace vz {

bool AppendDurably(std::FILE* file, const std::string& line) {
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) return false;
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

} // namespace vz

// Loads a file of empty lines (the costliest text per byte: one line for every
// byte) and prints the memory the loaded lines take against the file's size.
// Usage: vz_text_lines_bench [MEGABYTES] [DIR]
#include "formats/text_lines.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Peak resident memory in KiB from the kernel's own account; 0 where there is none.
long PeakKib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::uintmax_t megabytes = argc > 1 ? std::stoull(argv[1]) : 20;
    const fs::path dir = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const fs::path path = dir / "vz_text_lines_bench.txt";
    {
        std::ofstream out(path, std::ios::binary);
        const std::string block(1 << 20, '\n');
        for (std::uintmax_t i = 0; i < megabytes; ++i)
            out << block;
    }
    const long before = PeakKib();
    vz::TextLines lines;
    if (vz::LoadTextLines(path.string(), lines) != vz::LoadResult::Ok) {
        std::cerr << "cannot load " << path.string() << "\n";
        return 1;
    }
    const long after = PeakKib();
    fs::remove(path);
    const double fileKib = static_cast<double>(megabytes) * 1024;
    std::cout << "file: " << megabytes << " MiB of empty lines, " << lines.size() << " lines\n";
    if (after == 0) {
        std::cout << "peak memory: not available here\n";
        return 0;
    }
    std::cout << "peak memory: " << before << " KiB before loading, " << after << " KiB after; the load took "
              << after - before << " KiB, " << static_cast<double>(after - before) / fileKib
              << " times the file\n";
    return 0;
}

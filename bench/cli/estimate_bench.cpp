// Follows an 8000-line script the way the progress line does, one estimate per
// script position, and prints the time it took in all.
#include "app/cli/progress_display.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::stoi(argv[1]) : 8000;
    const fs::path dir = fs::temp_directory_path() / "vz_estimate_bench";
    fs::create_directories(dir);
    for (int bank = 0; bank < 8; ++bank)
        std::ofstream(dir / ("bank" + std::to_string(bank) + ".hex")) << std::string(4096, 'x');
    std::vector<std::string> lines;
    for (int i = 0; lines.size() < static_cast<std::size_t>(count); ++i) {
        if (i % 10 == 0) lines.push_back("rem part " + std::to_string(i / 10));
        lines.push_back("P" + std::to_string(i % 8) + " bank" + std::to_string(i % 8) + ".hex");
    }
    const std::string scriptDir = dir.string() + "/";

    const auto start = std::chrono::steady_clock::now();
    // Measured at the start and once after a component is skipped midway, its lines
    // then replaced as the sequencer replaces them.
    vz::cli::UpdateEstimate estimate;
    std::uint64_t last = 0;
    for (std::size_t position = 1; position <= lines.size(); ++position) {
        if (position == lines.size() / 2)
            for (std::string& line : lines)
                if (line.starts_with("P7")) line = "NP";
        if (position == 1 || position == lines.size() / 2) estimate.Measure(lines, scriptDir);
        last = estimate.Total();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu lines, %zu estimates: %.3f s in all (%.1f us each), estimate %llu bytes\n", lines.size(),
                lines.size(), seconds, seconds * 1e6 / static_cast<double>(lines.size()),
                static_cast<unsigned long long>(last));
    fs::remove_all(dir);
    return 0;
}

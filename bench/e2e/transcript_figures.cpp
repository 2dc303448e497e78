#include "bench/e2e/transcript_figures.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace vz::bench {

namespace {

struct Chunk {
    double first = 0;
    double last = 0;
    bool toDevice = false;
    std::uint64_t length = 0;
    std::string text;
};

} // namespace

TranscriptFigures ReadTranscript(const std::string& path, const std::string& from, const std::string& until) {
    std::ifstream file(path);
    std::vector<Chunk> chunks;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Chunk chunk;
        std::string direction;
        fields >> chunk.first >> chunk.last >> direction >> chunk.length >> chunk.text;
        if (!fields && !fields.eof()) continue;
        chunk.toDevice = direction == "H>D";
        chunks.push_back(chunk);
    }
    TranscriptFigures figures;
    if (chunks.empty()) return figures;
    bool slow = false;
    bool slowStartSent = false;
    bool endRecordSent = false;
    double firstHost = -1;
    bool started = from.empty();
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const Chunk& chunk = chunks[i];
        if (chunk.toDevice && !until.empty() && started && chunk.text == until) break;
        if (!started && chunk.toDevice && chunk.text == from) started = true;
        if (!started) continue;
        // The boot loader's calls before the host answers wait for the operator, not the wire.
        if (firstHost < 0 && !chunk.toDevice) continue;
        const double baud = slow ? 19200.0 : 57600.0;
        figures.wireSeconds += static_cast<double>(chunk.length) * 10.0 / baud;
        if (chunk.toDevice) {
            figures.bytesToDevice += chunk.length;
            if (firstHost < 0) firstHost = chunk.first;
            slowStartSent = chunk.text == "S8" || chunk.text == "S9";
            endRecordSent = chunk.text.starts_with(":00000001FF");
            if (i > 0 && !chunks[i - 1].toDevice)
                figures.turnarounds.push_back((chunk.first - chunks[i - 1].last) / 1000.0);
        } else {
            figures.bytesFromDevice += chunk.length;
            if (slowStartSent) slow = true;
            if (endRecordSent) slow = false;
            slowStartSent = endRecordSent = false;
            figures.spanSeconds = (chunk.last - std::max(firstHost, 0.0)) / 1e6;
        }
    }
    return figures;
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

} // namespace vz::bench

// The two progress bars on stderr: redrawn in place on a terminal, a plain line
// now and then otherwise, nothing with --quiet.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace vz::cli {

class ProgressDisplay {
public:
    enum class Style { Bars, Lines, None };

    // `columns`: the terminal's width (0: unknown, taken as 80).
    ProgressDisplay(std::FILE* stream, Style style, int columns = 0);

    // The script bar and the line bar as the sequencer holds them.
    void Update(int scriptPosition, int scriptMax, int linePosition, int lineMax);
    // Bytes sent so far, the estimate for the whole update, and the wire's rate now.
    void UpdateBytes(std::uint64_t sent, std::uint64_t total, int bitsPerSecond);
    // Takes the bars off the terminal line before other output is written.
    void Clear();
    // Puts the bars back after other output.
    void Redraw();
    // Takes the bars off for good: the run is over.
    void Finish();

    // The line as drawn: percent, bytes and time left, with bars when asked and
    // room allows; never wider than `columns` - 1, so the terminal does not wrap it.
    std::string Text(bool bars, int columns) const;

    static Style StyleFor(std::FILE* stream, bool quiet);

private:
    void Draw(bool force);

    std::FILE* stream_;
    Style style_;
    int columns_;
    int scriptPosition_ = 0;
    int scriptMax_ = 1;
    int linePosition_ = 0;
    int lineMax_ = 1;
    std::uint64_t sent_ = 0;
    std::uint64_t total_ = 0;
    int bitsPerSecond_ = 57600;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
    // The last plain line written, so that an unchanged state is not written again.
    std::string lastLine_;
};

// The bytes an update sends, estimated from the sizes of the files its programming
// lines name (each HEX or Effect line goes out about as long as it stands).
// Each file's size is asked once, however many lines name it and however often
// the script is measured again.
class UpdateEstimate {
public:
    // Measures the script as it stands: as loaded, or after the sequencer has
    // dropped the lines of a component. Costs one pass over the lines.
    void Measure(const std::vector<std::string>& scriptLines, const std::string& scriptDir);
    std::uint64_t Total() const { return total_; }

private:
    std::string dir_;
    std::unordered_map<std::string, std::uint64_t> sizes_; // by file name; 0 for a missing file
    std::uint64_t total_ = 0;
};

} // namespace vz::cli

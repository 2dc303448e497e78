// The two progress bars on stderr: redrawn in place on a terminal, a plain line
// now and then otherwise, nothing with --quiet.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace vz::cli {

class ProgressDisplay {
public:
    enum class Style { Bars, Lines, None };

    ProgressDisplay(std::FILE* stream, Style style);

    // The script bar and the line bar as the sequencer holds them.
    void Update(int scriptPosition, int scriptMax, int linePosition, int lineMax);
    // Takes the bars off the terminal line before other output is written.
    void Clear();
    // Puts the bars back after other output.
    void Redraw();

    static Style StyleFor(std::FILE* stream, bool quiet);

private:
    void Draw(bool force);
    std::string Text(bool bars) const;

    std::FILE* stream_;
    Style style_;
    int scriptPosition_ = 0;
    int scriptMax_ = 1;
    int linePosition_ = 0;
    int lineMax_ = 1;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
    // Line steps counted for the rate shown beside the bars.
    int stepsSinceRate_ = 0;
    double rate_ = 0;
    std::chrono::steady_clock::time_point rateStart_ = std::chrono::steady_clock::now();
    int lastLinePosition_ = 0;
    // The last plain line written, so that an unchanged state is not written again.
    std::string lastLine_;
};

} // namespace vz::cli

#include "app/cli/progress_display.h"

#include <algorithm>
#include <unistd.h>

namespace vz::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kBarsInterval = std::chrono::milliseconds(100);
constexpr auto kLinesInterval = std::chrono::seconds(5);
constexpr int kBarWidth = 20;

std::string Bar(int position, int max) {
    const int filled = max > 0 ? std::clamp(position * kBarWidth / max, 0, kBarWidth) : 0;
    // Appended piecewise: the chained operator+ trips a false -Wrestrict in GCC 12 at -O3.
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '-');
    return bar + "]";
}

} // namespace

ProgressDisplay::ProgressDisplay(std::FILE* stream, Style style) : stream_(stream), style_(style) {}

ProgressDisplay::Style ProgressDisplay::StyleFor(std::FILE* stream, bool quiet) {
    if (quiet) return Style::None;
    return isatty(fileno(stream)) ? Style::Bars : Style::Lines;
}

void ProgressDisplay::Update(int scriptPosition, int scriptMax, int linePosition, int lineMax) {
    if (linePosition > lastLinePosition_) stepsSinceRate_ += linePosition - lastLinePosition_;
    lastLinePosition_ = linePosition;
    scriptPosition_ = scriptPosition;
    scriptMax_ = scriptMax;
    linePosition_ = linePosition;
    lineMax_ = lineMax;
    Draw(false);
}

std::string ProgressDisplay::Text(bool bars) const {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.0f", rate_);
    std::string text = "script ";
    if (bars) text += Bar(scriptPosition_, scriptMax_) + " ";
    text += std::to_string(scriptPosition_) + "/" + std::to_string(scriptMax_) + "  line ";
    if (bars) text += Bar(linePosition_, lineMax_) + " ";
    text += std::to_string(linePosition_) + "/" + std::to_string(lineMax_) + "  " + rate + " steps/s";
    return text;
}

void ProgressDisplay::Draw(bool force) {
    // Before the script is loaded, and after the bars are reset, there is nothing to show.
    if (style_ == Style::None || scriptPosition_ == 0) return;
    const auto now = Clock::now();
    const auto interval = style_ == Style::Bars ? kBarsInterval : kLinesInterval;
    if (!force && shown_ && now - lastDraw_ < interval) return;
    const double seconds = std::chrono::duration<double>(now - rateStart_).count();
    if (seconds >= 1.0) {
        rate_ = stepsSinceRate_ / seconds;
        stepsSinceRate_ = 0;
        rateStart_ = now;
    }
    lastDraw_ = now;
    shown_ = true;
    if (style_ == Style::Bars)
        std::fprintf(stream_, "\r\033[K%s", Text(true).c_str());
    else if (const std::string text = Text(false); text != lastLine_) {
        std::fprintf(stream_, "progress: %s\n", text.c_str());
        lastLine_ = text;
    }
    std::fflush(stream_);
}

void ProgressDisplay::Clear() {
    if (style_ != Style::Bars || !shown_) return;
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
}

void ProgressDisplay::Redraw() {
    if (style_ == Style::Bars && shown_) Draw(true);
}

} // namespace vz::cli

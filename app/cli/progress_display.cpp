#include "app/cli/progress_display.h"

#include "app/cli/cli_platform.h"
#include "engines/line_text.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace vz::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kBarsInterval = std::chrono::milliseconds(100);
constexpr auto kLinesInterval = std::chrono::seconds(5);
constexpr int kMaxBarWidth = 20;
constexpr int kMinBarWidth = 4;

std::string Bar(int position, int max, int width) {
    const int filled = max > 0 ? std::clamp(position * width / max, 0, width) : 0;
    // Appended piecewise: the chained operator+ trips a false -Wrestrict in GCC 12 at -O3.
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '-');
    return bar + "] ";
}

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

ProgressDisplay::ProgressDisplay(std::FILE* stream, Style style, int columns)
    : stream_(stream), style_(style), columns_(columns > 0 ? columns : 80) {}

ProgressDisplay::Style ProgressDisplay::StyleFor(std::FILE* stream, bool quiet) {
    if (quiet) return Style::None;
    return isatty(fileno(stream)) ? Style::Bars : Style::Lines;
}

void ProgressDisplay::Update(int scriptPosition, int scriptMax, int linePosition, int lineMax) {
    scriptPosition_ = scriptPosition;
    scriptMax_ = scriptMax;
    linePosition_ = linePosition;
    lineMax_ = lineMax;
    Draw(false);
}

void ProgressDisplay::UpdateBytes(std::uint64_t sent, std::uint64_t total, int bitsPerSecond) {
    sent_ = sent;
    total_ = total;
    bitsPerSecond_ = bitsPerSecond;
}

std::string ProgressDisplay::Text(bool bars, int columns) const {
    int percent = scriptMax_ > 0 ? scriptPosition_ * 100 / scriptMax_ : 0;
    // The estimate may fall short of what is sent; the run is not over until it says so.
    if (total_ > 0) percent = static_cast<int>(std::min<std::uint64_t>(99, sent_ * 100 / total_));
    std::string tail = "  " + std::to_string(percent) + "%  " + Format("%.1f kB", sent_ / 1000.0);
    if (total_ > sent_ && bitsPerSecond_ > 0) {
        // Ten bits a byte on the wire: start, eight data bits, stop.
        const auto seconds = (total_ - sent_) * 10 / static_cast<std::uint64_t>(bitsPerSecond_);
        tail += "  " + std::to_string(seconds / 60) + ":" +
                Format("%02.0f", static_cast<double>(seconds % 60)) + " left";
    }
    // Positions as wide as their maximum, so that the bars stand still while a line runs.
    const auto fraction = [](int position, int max) {
        std::string text = std::to_string(position);
        const std::string of = std::to_string(max);
        if (text.size() < of.size()) text.insert(0, of.size() - text.size(), ' ');
        return text + "/" + of;
    };
    const std::string script = fraction(scriptPosition_, scriptMax_);
    const std::string line = fraction(linePosition_, lineMax_);
    const int fixed =
        static_cast<int>(std::string("script   line ").size() + script.size() + line.size() + tail.size());
    const int width = std::min(kMaxBarWidth, (columns - 1 - fixed) / 2 - 3);
    std::string text = "script ";
    if (bars && width >= kMinBarWidth) text += Bar(scriptPosition_, scriptMax_, width);
    text += script + "  line ";
    if (bars && width >= kMinBarWidth) text += Bar(linePosition_, lineMax_, width);
    text += line + tail;
    if (static_cast<int>(text.size()) > columns - 1)
        text.resize(static_cast<std::size_t>(std::max(0, columns - 1)));
    return text;
}

void ProgressDisplay::Draw(bool force) {
    // Before the script is loaded, and after the bars are reset, there is nothing to show.
    if (style_ == Style::None || scriptPosition_ == 0) return;
    const auto now = Clock::now();
    const auto interval = style_ == Style::Bars ? kBarsInterval : kLinesInterval;
    if (!force && shown_ && now - lastDraw_ < interval) return;
    lastDraw_ = now;
    shown_ = true;
    if (style_ == Style::Bars) {
        // Measured again each time: the operator may resize the terminal.
        const int columns = TerminalColumns(stream_);
        std::fprintf(stream_, "\r\033[K%s", Text(true, columns > 0 ? columns : columns_).c_str());
    } else if (const std::string text = Text(false, 1 << 20); text != lastLine_) {
        std::fprintf(stream_, "progress: %s\n", text.c_str());
        lastLine_ = text;
    }
    std::fflush(stream_);
}

void ProgressDisplay::Clear() {
    if (style_ != Style::Bars || !shown_) return;
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
    shown_ = false;
}

void ProgressDisplay::Finish() {
    Clear();
    style_ = Style::None;
}

void ProgressDisplay::Redraw() {
    if (style_ == Style::Bars && scriptPosition_ != 0) Draw(true);
}

void UpdateEstimate::Measure(const std::vector<std::string>& scriptLines, const std::string& scriptDir) {
    if (scriptDir != dir_) {
        sizes_.clear();
        dir_ = scriptDir;
    }
    total_ = 0;
    for (const std::string& raw : scriptLines) {
        const TScriptLine line = CutScriptLine(TrimBoth(raw));
        if (line.letter != 'P' || (line.component != 'B' && !IsComponentDigit(line.component))) continue;
        std::string name = ProgrammedFileName(line);
        auto known = sizes_.find(name);
        if (known == sizes_.end()) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(scriptDir + name, ec);
            known = sizes_.emplace(std::move(name), ec ? 0 : size).first;
        }
        total_ += known->second;
    }
}

} // namespace vz::cli

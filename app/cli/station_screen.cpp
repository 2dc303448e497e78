#include "app/cli/station_screen.h"

#include "app/cli/cli_platform.h"

#include <algorithm>

namespace vz::cli {

namespace {

// At most `columns` - 1 characters of UTF-8, so that the terminal never wraps the line
// and the cursor's way back up stays one line a row.
std::string Fit(const std::string& text, std::size_t columns) {
    const std::size_t room = columns > 1 ? columns - 1 : 1;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue; // inside a character
        if (++characters > room) return text.substr(0, i);
    }
    return text;
}

} // namespace

StationScreen::StationScreen(std::ostream& out, Style style, int columns, std::vector<std::string> ports)
    : out_(out), style_(style), columns_(columns > 0 ? static_cast<std::size_t>(columns) : 80),
      ports_(std::move(ports)), rows_(ports_.size()) {
    for (const std::string& port : ports_)
        labelWidth_ = std::max(labelWidth_, port.size());
}

StationScreen::Style StationScreen::StyleFor(std::FILE* stream, bool quiet) {
    if (quiet) return Style::Quiet;
    return TerminalTakesControlSequences(stream) ? Style::Live : Style::Lines;
}

std::string StationScreen::Labelled(std::size_t port, const std::string& text) const {
    std::string label = ports_[port];
    label.resize(labelWidth_, ' ');
    return label + "  " + text;
}

void StationScreen::Print(const std::string& line) {
    out_ << line << '\n';
    out_.flush();
}

void StationScreen::SetRow(std::size_t port, const std::string& text) {
    if (rows_[port] == text) return;
    rows_[port] = text;
    changed_ = true;
}

void StationScreen::Event(std::size_t port, const std::string& text) {
    if (style_ == Style::Lines) Print(ports_[port] + ": " + text);
    if (style_ != Style::Live) return;
    events_.push_back(Labelled(port, text));
    if (events_.size() > kEventsShown) events_.pop_front();
    changed_ = true;
}

void StationScreen::Result(std::size_t port, const std::string& text) {
    if (style_ == Style::Quiet) Print(ports_[port] + ": " + text);
    Event(port, text);
}

void StationScreen::Refresh() {
    if (style_ != Style::Live || !changed_) return;
    changed_ = false;
    std::string frame;
    // Back to the first line of the last picture, then each line cleared and drawn again.
    if (drawnLines_ > 0) frame += "\r\x1B[" + std::to_string(drawnLines_) + "A";
    std::size_t lines = 0;
    const auto add = [&](const std::string& line) {
        frame += "\x1B[2K" + Fit(line, columns_) + "\n";
        ++lines;
    };
    for (std::size_t port = 0; port < ports_.size(); ++port)
        add(Labelled(port, rows_[port]));
    if (!events_.empty()) add("");
    for (const std::string& event : events_)
        add(event);
    frame += "\x1B[J";
    drawnLines_ = lines;
    out_ << frame;
    out_.flush();
}

void StationScreen::Finish() {
    Refresh();
    drawnLines_ = 0;
}

} // namespace vz::cli

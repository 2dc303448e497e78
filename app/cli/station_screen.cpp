#include "app/cli/station_screen.h"

#include "app/cli/cli_platform.h"

#include <algorithm>
#include <ctime>

namespace vz::cli {

namespace {

// The columns a character takes on a terminal: two for the wide East Asian ranges,
// none for combining marks, one otherwise.
int CharacterColumns(char32_t c) {
    if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F))
        return 0;
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
        (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
        (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
        (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
        (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD))
        return 2;
    return 1;
}

// The UTF-8 character at `i` and its length in bytes (a stray byte counts as one).
char32_t Decode(const std::string& text, std::size_t i, std::size_t& length) {
    const auto byte = static_cast<unsigned char>(text[i]);
    length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    if (i + length > text.size()) length = 1;
    if (length == 1) return byte;
    char32_t c = byte & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return c;
}

// The text cut to at most `columns` - 1 terminal columns, between characters, so that
// the terminal never wraps the line and the cursor's way back up stays one line a row.
std::string Fit(const std::string& text, std::size_t columns) {
    const std::size_t room = columns > 1 ? columns - 1 : 1;
    std::size_t used = 0;
    for (std::size_t i = 0, length = 1; i < text.size(); i += length) {
        const char32_t c = Decode(text, i, length);
        used += static_cast<std::size_t>(CharacterColumns(c));
        if (used > room) return text.substr(0, i);
    }
    return text;
}

std::string ClockText() {
    const std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", std::localtime(&now));
    return text;
}

} // namespace

StationScreen::StationScreen(std::ostream& out, Style style, int columns, std::vector<std::string> ports)
    : out_(out), style_(style), columns_(columns > 0 ? static_cast<std::size_t>(columns) : 80),
      ports_(std::move(ports)), rows_(ports_.size()) {
    for (const std::string& port : ports_)
        labelWidth_ = std::max(labelWidth_, DisplayColumns(port));
}

StationScreen::Style StationScreen::StyleFor(std::FILE* stream, bool quiet) {
    if (quiet) return Style::Quiet;
    return TerminalTakesControlSequences(stream) ? Style::Live : Style::Lines;
}

std::string StationScreen::Labelled(std::size_t port, const std::string& text) const {
    return ports_[port] + std::string(labelWidth_ - DisplayColumns(ports_[port]), ' ') + "  " + text;
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

std::size_t DisplayColumns(const std::string& text) {
    std::size_t used = 0;
    for (std::size_t i = 0, length = 1; i < text.size(); i += length)
        used += static_cast<std::size_t>(CharacterColumns(Decode(text, i, length)));
    return used;
}

// Long stable names (/dev/serial/by-id/…) by their end, which tells adapters apart.
std::string ShortName(const std::string& port) {
    constexpr std::size_t kMost = 24;
    if (DisplayColumns(port) <= kMost) return port;
    std::size_t cut = port.size() - (kMost - 1);
    while (cut < port.size() && (static_cast<unsigned char>(port[cut]) & 0xC0) == 0x80)
        ++cut;
    return "…" + port.substr(cut);
}

void StationScreen::SetTotals(const std::string& text) {
    if (totals_ == text) return;
    totals_ = text;
    changed_ = true;
}

void StationScreen::Event(std::size_t port, const std::string& text) {
    // A shift's log is read beside other events: each line says when.
    if (style_ == Style::Lines) Print(ClockText() + " " + ports_[port] + ": " + text);
    if (style_ != Style::Live) return;
    events_.push_back(Labelled(port, text));
    if (events_.size() > kEventsShown) events_.pop_front();
    changed_ = true;
}

void StationScreen::Result(std::size_t port, const std::string& text) {
    if (style_ == Style::Quiet) Print(ClockText() + " " + ports_[port] + ": " + text);
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
    if (!totals_.empty()) add(totals_);
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

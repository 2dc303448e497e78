// What the station shows: on a terminal, one line a port redrawn in place with the
// latest events below; otherwise one line an event, prefixed with its port; with
// --quiet, one line a device's result.
#pragma once

#include <cstddef>
#include <cstdio>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

namespace vz::cli {

// The columns `text` (UTF-8) takes on a terminal: a wide character two.
std::size_t DisplayColumns(const std::string& text);
// A long port name (/dev/serial/by-id/…) by its end, which tells adapters apart.
std::string ShortName(const std::string& port);

class StationScreen {
public:
    enum class Style { Live, Lines, Quiet };

    // `columns`: the terminal's width (0: unknown, taken as 80).
    StationScreen(std::ostream& out, Style style, int columns, std::vector<std::string> ports);

    static Style StyleFor(std::FILE* stream, bool quiet);

    // A port's line on a terminal: its state, device, percent and counts.
    void SetRow(std::size_t port, const std::string& text);
    // The port's name as shown.
    const std::string& Name(std::size_t port) const { return ports_[port]; }
    // The line of totals below the ports' lines on a terminal.
    void SetTotals(const std::string& text);
    // Something that happened on a port (piped: after the time of day).
    void Event(std::size_t port, const std::string& text);
    // A device's end, shown in every style.
    void Result(std::size_t port, const std::string& text);
    // Draws the ports' lines again where something changed.
    void Refresh();
    // The last picture stays; what is written after it goes below.
    void Finish();

    // The latest events a terminal keeps below the ports' lines.
    static constexpr std::size_t kEventsShown = 8;

private:
    std::string Labelled(std::size_t port, const std::string& text) const;
    void Print(const std::string& line);

    std::ostream& out_;
    Style style_;
    std::size_t columns_;
    std::vector<std::string> ports_;
    std::size_t labelWidth_ = 0;
    std::vector<std::string> rows_;
    std::string totals_;
    std::deque<std::string> events_;
    std::size_t drawnLines_ = 0;
    bool changed_ = true;
};

} // namespace vz::cli

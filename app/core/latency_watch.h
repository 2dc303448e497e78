// Whether the device's answers come late. Each acknowledged file line's round trip
// is held against the time the line and its answer need on the wire; what is left
// is time the answer spent between the device and the program, mostly in a USB
// adapter that holds received bytes until its latency timer runs out. Judged once
// a run, on its first lines, so that the operator hears of it early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz {

// Answers found consistently late, as the lines judged showed them.
struct TLateAnswers {
    double lateMs = 0; // the median time an answer came after the wire had brought it
    double lineMs = 0; // the median round trip of a line
};

class TLatencyWatch {
public:
    // Lines judged; the verdict comes with the last of them.
    static constexpr std::size_t kJudgedLines = 100;
    // Late by more than this on three lines in four: consistently late. A prompt
    // device over a serial port or an adapter at 1 ms stays well below it.
    static constexpr double kLateMs = 3;

    // A new run: nothing judged yet, the wire at 57600 bit/s.
    void Reset();
    void SetBitsPerSecond(int bitsPerSecond) { bitsPerSecond_ = bitsPerSecond; }
    // A text of `bytes` went out at `now` (ms on the run's clock).
    void Sent(std::size_t bytes, std::uint32_t now);
    // The text sent last was a file line, acknowledged at `now`. Once a run, with
    // the last line judged: the answers when they came consistently late.
    std::optional<TLateAnswers> Acknowledged(std::uint32_t now);
    bool Judged() const { return judged_; }

private:
    int bitsPerSecond_ = 57600;
    std::size_t sentBytes_ = 0;
    std::uint32_t sentAt_ = 0;
    bool awaiting_ = false; // a text went out and no acknowledgement has come since
    bool judged_ = false;
    std::vector<double> late_;
    std::vector<double> trips_;
};

// "2 min 5 s", "40 s".
std::string DurationText(double seconds);

// The advice for late answers: how late they come, how long the update's `lines`
// file lines take at that pace instead of how long they could, and `fix`, the
// setting that cures it.
std::string LateAnswersAdvice(const TLateAnswers& late, std::uint64_t lines, const std::string& fix);

// The advice for an adapter found holding bytes longer than it should before the
// run: its latency timer and `fix`.
std::string LatencyTimerAdvice(const std::string& port, int milliseconds, const std::string& fix);

// Timers above this slow an update down: advised before the run.
inline constexpr int kLatencyTimerAdviceMs = 2;

// The log's line for the adapter's latency timer, read once the port is open.
std::string LatencyTimerNote(const std::string& port, int milliseconds);

} // namespace vz

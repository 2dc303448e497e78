#include "app/core/latency_watch.h"

#include <algorithm>
#include <cmath>

namespace vz {

namespace {

// A byte on the wire: start bit, eight data bits, stop bit.
constexpr double kBitsPerByte = 10;

// The value below which `share` of the values lie.
double Quantile(std::vector<double> values, double share) {
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

} // namespace

void TLatencyWatch::Reset() {
    *this = TLatencyWatch();
}

void TLatencyWatch::Sent(std::size_t bytes, std::uint32_t now) {
    sentBytes_ = bytes;
    sentAt_ = now;
    awaiting_ = true;
}

std::optional<TLateAnswers> TLatencyWatch::Acknowledged(std::uint32_t now) {
    if (judged_ || !awaiting_ || bitsPerSecond_ <= 0) return std::nullopt;
    awaiting_ = false;
    const double trip = static_cast<std::uint32_t>(now - sentAt_);
    // The line out and the one-byte answer back.
    const double wire = static_cast<double>(sentBytes_ + 1) * kBitsPerByte * 1000 / bitsPerSecond_;
    trips_.push_back(trip);
    late_.push_back(trip - wire);
    if (late_.size() < kJudgedLines) return std::nullopt;
    judged_ = true;
    // Three answers in four: a few slow steps of a busy machine are not the adapter.
    if (Quantile(late_, 0.25) <= kLateMs) return std::nullopt;
    return TLateAnswers{Quantile(late_, 0.5), Quantile(trips_, 0.5)};
}

std::string DurationText(double seconds) {
    const long whole = std::lround(std::max(seconds, 0.0));
    if (whole < 60) return std::to_string(whole) + " s";
    return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
}

std::string LateAnswersAdvice(const TLateAnswers& late, std::uint64_t lines, const std::string& fix) {
    const double count = static_cast<double>(lines);
    const double prompt = std::max(late.lineMs - late.lateMs, 0.0);
    return "The device's answers come " + std::to_string(std::lround(late.lateMs)) +
           " ms late (a USB adapter holds them for its latency timer): the update's " +
           std::to_string(lines) + " lines will take about " + DurationText(count * late.lineMs / 1000) +
           " instead of " + DurationText(count * prompt / 1000) +
           "; set the adapter's latency timer to 1 ms: " + fix;
}

std::string LatencyTimerAdvice(const std::string& port, int milliseconds, const std::string& fix) {
    return "The adapter of " + port + " holds received bytes for " + std::to_string(milliseconds) +
           " ms (its latency timer), which can make an update nearly twice as long; set it to 1 ms: " + fix;
}

std::string LatencyTimerNote(const std::string& port, int milliseconds) {
    return "latency timer of the adapter of " + port + ": " + std::to_string(milliseconds) + " ms";
}

} // namespace vz

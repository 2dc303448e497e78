#include "link/port_sim.h"

#include "link/port_names.h"

#include <algorithm>
#include <cstring>

namespace vz {

TickClock SimPort::Clock() {
    return [this] { return now_; };
}

void SimPort::At(std::uint32_t tick, std::function<void()> action) {
    events_.emplace_back(tick, std::move(action));
    RunDueEvents();
}

std::optional<std::uint32_t> SimPort::NextEventWithin(std::uint32_t limit) const {
    std::optional<std::uint32_t> best;
    for (const auto& event : events_) {
        const std::uint32_t distance = TicksSince(now_, event.first);
        if (distance <= limit && (!best || distance < *best)) best = distance;
    }
    return best;
}

void SimPort::RunDueEvents() {
    // An action may schedule further events, so take one at a time.
    for (;;) {
        auto due = std::find_if(events_.begin(), events_.end(),
                                [this](const auto& event) { return event.first == now_; });
        if (due == events_.end()) return;
        auto action = std::move(due->second);
        events_.erase(due);
        action();
    }
}

void SimPort::Advance(std::uint32_t ms) {
    while (auto next = NextEventWithin(ms)) {
        now_ += *next;
        ms -= *next;
        RunDueEvents();
    }
    now_ += ms;
}

void SimPort::PushInput(std::string_view bytes) {
    input_.append(bytes);
}

std::string SimPort::TakeOutput() {
    std::string taken;
    taken.swap(output_);
    return taken;
}

void SimPort::FailOpens(std::string reason, bool accessDenied) {
    openFailure_.emplace(std::move(reason), accessDenied);
}

void SimPort::SetPlatform(std::string name, int majorVersion) {
    platform_ = std::move(name);
    platformMajor_ = majorVersion;
}

void SimPort::HangUp(std::string reason) {
    failed_ = true;
    lostReason_ = std::move(reason);
}

std::string SimPort::DeviceName(int comNumber) const {
    return naming_ ? naming_(comNumber) : WindowsComDeviceName(comNumber);
}

bool SimPort::Open(const std::string& name) {
    log_.push_back("open " + name);
    if (openFailure_) {
        lastError_ = openFailure_->first;
        lastErrorAccessDenied_ = openFailure_->second;
        return false;
    }
    open_ = true;
    failed_ = false;
    lostReason_.clear();
    return true;
}

void SimPort::Close() {
    log_.push_back("close");
    open_ = false;
}

bool SimPort::ApplySettings(const LineSettings& settings) {
    log_.push_back("apply");
    if (refusedBaud_ && *refusedBaud_ == settings.baud) {
        lastError_ = "Speed of " + std::to_string(settings.baud) + " bit/s not supported";
        lastErrorAccessDenied_ = false;
        return false;
    }
    applied_ = settings;
    return true;
}

bool SimPort::SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) {
    log_.push_back("queues " + std::to_string(inSize) + " " + std::to_string(outSize));
    return true;
}

void SimPort::Purge(bool input, bool output) {
    log_.push_back(std::string("purge ") + (input ? "1" : "0") + " " + (output ? "1" : "0"));
    if (input) input_.clear();
    if (output) outputQueued_ = 0;
}

std::optional<std::uint32_t> SimPort::BytesWaiting() {
    if (!open_ || failed_) return std::nullopt;
    return static_cast<std::uint32_t>(input_.size());
}

std::optional<std::uint32_t> SimPort::OutputQueued() {
    if (!open_ || failed_) return std::nullopt;
    return outputQueued_;
}

std::optional<TModemLines> SimPort::ModemLines() {
    if (!open_ || failed_) return std::nullopt;
    return modemLines_;
}

std::size_t SimPort::Read(void* buffer, std::size_t count) {
    if (!open_ || failed_) return 0;
    const std::size_t n = std::min(count, input_.size());
    std::memcpy(buffer, input_.data(), n);
    input_.erase(0, n);
    return n;
}

std::size_t SimPort::Write(const void* data, std::size_t count) {
    ++writeCalls_;
    largestWrite_ = std::max(largestWrite_, count);
    if (!open_ || failed_) return 0;
    const std::size_t n = std::min({count, writeLimit_, writeBudget_});
    if (writeBudget_ != SIZE_MAX) writeBudget_ -= n;
    output_.append(static_cast<const char*>(data), n);
    return n;
}

WaitResult SimPort::WaitReadable(int timeoutMs, bool watchData) {
    std::uint32_t left = timeoutMs < 0 ? UINT32_MAX : static_cast<std::uint32_t>(timeoutMs);
    for (;;) {
        if (failed_) return WaitResult::Failed;
        if (interruptPending_) {
            interruptPending_ = false;
            return WaitResult::Woken;
        }
        if (watchData && open_ && !input_.empty()) return WaitResult::Ready;
        const auto next = NextEventWithin(left);
        if (!next) {
            // Nothing will ever happen in an endless wait: do not run the clock out.
            if (timeoutMs >= 0) Advance(left);
            return WaitResult::TimedOut;
        }
        Advance(*next);
        left -= *next;
    }
}

WaitResult SimPort::WaitWritable(int timeoutMs) {
    std::uint32_t left = timeoutMs < 0 ? UINT32_MAX : static_cast<std::uint32_t>(timeoutMs);
    for (;;) {
        if (failed_) return WaitResult::Failed;
        if (writeLimit_ > 0 && writeBudget_ > 0) return WaitResult::Ready;
        const auto next = NextEventWithin(left);
        if (!next) {
            if (timeoutMs >= 0) Advance(left);
            return WaitResult::TimedOut;
        }
        Advance(*next);
        left -= *next;
    }
}

void SimPort::Pause(int ms) {
    if (ms > 0) Advance(static_cast<std::uint32_t>(ms));
}

void SimPort::Interrupt() {
    ++interrupts_;
    interruptPending_ = true;
}

} // namespace vz

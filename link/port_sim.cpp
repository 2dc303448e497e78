#include "link/port_sim.h"

#include "link/port_names.h"

#include <algorithm>
#include <cstring>

namespace vz {

TickClock SimPort::Clock() {
    return [this] { return NowTick(); };
}

std::uint32_t SimPort::NowTick() const {
    Lock lock(mutex_);
    return now_;
}

void SimPort::SetNow(std::uint32_t tick) {
    Lock lock(mutex_);
    now_ = tick;
}

void SimPort::At(std::uint32_t tick, std::function<void()> action) {
    Lock lock(mutex_);
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
    Lock lock(mutex_);
    AdvanceLocked(ms);
}

void SimPort::AdvanceLocked(std::uint32_t ms) {
    while (auto next = NextEventWithin(ms)) {
        now_ += *next;
        ms -= *next;
        RunDueEvents();
    }
    now_ += ms;
}

void SimPort::PushInput(std::string_view bytes) {
    Lock lock(mutex_);
    input_.append(bytes);
    changed_.notify_all();
}

std::string SimPort::TakeOutput() {
    Lock lock(mutex_);
    std::string taken;
    taken.swap(output_);
    return taken;
}

std::string SimPort::Output() const {
    Lock lock(mutex_);
    return output_;
}

std::size_t SimPort::InputLeft() const {
    Lock lock(mutex_);
    return input_.size();
}

void SimPort::SetOutputQueued(std::uint32_t count) {
    Lock lock(mutex_);
    outputQueued_ = count;
}

void SimPort::SetWriteLimit(std::size_t limit) {
    Lock lock(mutex_);
    writeLimit_ = limit;
    changed_.notify_all();
}

void SimPort::SetWriteBudget(std::size_t budget) {
    Lock lock(mutex_);
    writeBudget_ = budget;
    changed_.notify_all();
}

void SimPort::FailOpens(std::string reason, bool accessDenied) {
    Lock lock(mutex_);
    openFailure_.emplace(std::move(reason), accessDenied);
}

void SimPort::AllowOpens() {
    Lock lock(mutex_);
    openFailure_.reset();
}

void SimPort::RefuseBaud(std::uint32_t baud) {
    Lock lock(mutex_);
    refusedBaud_ = baud;
}

void SimPort::SetModemLines(std::optional<TModemLines> lines) {
    Lock lock(mutex_);
    modemLines_ = lines;
}

void SimPort::SetPlatform(std::string name, int majorVersion) {
    Lock lock(mutex_);
    platform_ = std::move(name);
    platformMajor_ = majorVersion;
}

void SimPort::SetNaming(std::function<std::string(int)> naming) {
    Lock lock(mutex_);
    naming_ = std::move(naming);
}

void SimPort::HangUp(std::string reason) {
    Lock lock(mutex_);
    failed_ = true;
    lostReason_ = std::move(reason);
    changed_.notify_all();
}

std::vector<std::string> SimPort::Log() const {
    Lock lock(mutex_);
    return log_;
}

void SimPort::ClearLog() {
    Lock lock(mutex_);
    log_.clear();
}

std::optional<LineSettings> SimPort::AppliedSettings() const {
    Lock lock(mutex_);
    return applied_;
}

int SimPort::WriteCalls() const {
    Lock lock(mutex_);
    return writeCalls_;
}

std::size_t SimPort::LargestWriteRequest() const {
    Lock lock(mutex_);
    return largestWrite_;
}

std::string SimPort::DeviceName(int comNumber) const {
    Lock lock(mutex_);
    return naming_ ? naming_(comNumber) : WindowsComDeviceName(comNumber);
}

bool SimPort::Open(const std::string& name) {
    Lock lock(mutex_);
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
    Lock lock(mutex_);
    log_.push_back("close");
    open_ = false;
}

bool SimPort::IsOpen() const {
    Lock lock(mutex_);
    return open_;
}

bool SimPort::ApplySettings(const LineSettings& settings) {
    Lock lock(mutex_);
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
    Lock lock(mutex_);
    log_.push_back("queues " + std::to_string(inSize) + " " + std::to_string(outSize));
    return true;
}

void SimPort::Purge(bool input, bool output) {
    Lock lock(mutex_);
    log_.push_back(std::string("purge ") + (input ? "1" : "0") + " " + (output ? "1" : "0"));
    if (input) input_.clear();
    if (output) outputQueued_ = 0;
}

std::optional<std::uint32_t> SimPort::BytesWaiting() {
    Lock lock(mutex_);
    if (!open_ || failed_) return std::nullopt;
    return static_cast<std::uint32_t>(input_.size());
}

std::optional<std::uint32_t> SimPort::OutputQueued() {
    Lock lock(mutex_);
    if (!open_ || failed_) return std::nullopt;
    return outputQueued_;
}

std::optional<TModemLines> SimPort::ModemLines() {
    Lock lock(mutex_);
    if (!open_ || failed_) return std::nullopt;
    return modemLines_;
}

std::size_t SimPort::Read(void* buffer, std::size_t count) {
    Lock lock(mutex_);
    if (!open_ || failed_) return 0;
    const std::size_t n = std::min(count, input_.size());
    std::memcpy(buffer, input_.data(), n);
    input_.erase(0, n);
    return n;
}

std::size_t SimPort::Write(const void* data, std::size_t count) {
    Lock lock(mutex_);
    ++writeCalls_;
    largestWrite_ = std::max(largestWrite_, count);
    if (!open_ || failed_) return 0;
    const std::size_t n = std::min({count, writeLimit_, writeBudget_});
    if (writeBudget_ != SIZE_MAX) writeBudget_ -= n;
    output_.append(static_cast<const char*>(data), n);
    return n;
}

WaitResult SimPort::WaitFor(Lock& lock, int timeoutMs,
                            const std::function<std::optional<WaitResult>()>& ready) {
    std::uint32_t left = timeoutMs < 0 ? UINT32_MAX : static_cast<std::uint32_t>(timeoutMs);
    for (;;) {
        if (const auto result = ready()) return *result;
        if (const auto next = NextEventWithin(left)) {
            AdvanceLocked(*next);
            left -= *next;
        } else if (timeoutMs >= 0) {
            AdvanceLocked(left);
            return WaitResult::TimedOut;
        } else {
            // Only another thread can end an endless wait now.
            changed_.wait(lock);
        }
    }
}

WaitResult SimPort::WaitReadable(int timeoutMs, bool watchData) {
    Lock lock(mutex_);
    return WaitFor(lock, timeoutMs, [&]() -> std::optional<WaitResult> {
        if (failed_) return WaitResult::Failed;
        if (interruptPending_) {
            interruptPending_ = false;
            return WaitResult::Woken;
        }
        if (watchData && open_ && !input_.empty()) return WaitResult::Ready;
        return std::nullopt;
    });
}

WaitResult SimPort::WaitWritable(int timeoutMs) {
    Lock lock(mutex_);
    return WaitFor(lock, timeoutMs, [&]() -> std::optional<WaitResult> {
        if (failed_) return WaitResult::Failed;
        if (writeLimit_ > 0 && writeBudget_ > 0) return WaitResult::Ready;
        return std::nullopt;
    });
}

void SimPort::Pause(int ms) {
    if (ms > 0) Advance(static_cast<std::uint32_t>(ms));
}

void SimPort::Interrupt() {
    Lock lock(mutex_);
    interruptPending_ = true;
    changed_.notify_all();
}

std::string SimPort::PlatformName() const {
    Lock lock(mutex_);
    return platform_;
}

int SimPort::PlatformMajorVersion() const {
    Lock lock(mutex_);
    return platformMajor_;
}

std::string SimPort::LastError() const {
    Lock lock(mutex_);
    return lastError_;
}

bool SimPort::LastErrorAccessDenied() const {
    Lock lock(mutex_);
    return lastErrorAccessDenied_;
}

bool SimPort::Failed() const {
    Lock lock(mutex_);
    return failed_;
}

std::string SimPort::LostReason() const {
    Lock lock(mutex_);
    return lostReason_;
}

} // namespace vz

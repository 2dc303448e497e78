#include "app/cli/event_loop.h"

namespace vz::cli {

namespace {

// How long the loop may sleep before it asks again whether the user interrupted:
// a signal handler cannot wake a condition variable.
constexpr auto kInterruptCheck = std::chrono::milliseconds(100);

} // namespace

void EventLoop::Post(std::function<void()> work) {
    {
        const std::lock_guard guard(lock_);
        work_.push_back(std::move(work));
    }
    changed_.notify_one();
}

void EventLoop::Run(const std::function<bool()>& done, const std::function<bool()>& interrupted,
                    const std::function<void()>& onInterrupt) {
    bool interruptSeen = false;
    while (!done()) {
        std::function<void()> job;
        {
            std::unique_lock guard(lock_);
            Clock::time_point wake = Clock::now() + kInterruptCheck;
            for (const Timer* timer : timers_)
                if (timer->armed && timer->due < wake) wake = timer->due;
            changed_.wait_until(guard, wake,
                                [&] { return !work_.empty() || (!interruptSeen && interrupted()); });
            if (!work_.empty()) {
                job = std::move(work_.front());
                work_.pop_front();
            }
        }
        if (!interruptSeen && interrupted()) {
            interruptSeen = true;
            onInterrupt();
            continue;
        }
        if (job) {
            job();
            continue;
        }
        const Clock::time_point now = Clock::now();
        for (Timer* timer : timers_) {
            if (!timer->armed || timer->due > now) continue;
            timer->armed = false;
            timer->fire();
            break;
        }
    }
}

} // namespace vz::cli

#include "app/cli/event_loop.h"

namespace vz::cli {

namespace {

// How long the loop may sleep before it asks again whether the user interrupted:
// a signal handler cannot wake a condition variable.
constexpr auto kInterruptCheck = std::chrono::milliseconds(100);

class LoopTimer : public TStationLoop::TTimer {
public:
    LoopTimer(EventLoop& loop, std::function<void()> fire) : loop_(loop) {
        timer_.fire = std::move(fire);
        loop_.Add(timer_);
    }
    ~LoopTimer() override { loop_.Remove(timer_); }
    void Arm(int milliseconds) override {
        timer_.armed = true;
        timer_.due = EventLoop::Clock::now() + std::chrono::milliseconds(milliseconds);
    }
    void Stop() override { timer_.armed = false; }

private:
    EventLoop& loop_;
    EventLoop::Timer timer_;
};

} // namespace

std::unique_ptr<TStationLoop::TTimer> EventLoop::NewTimer(std::function<void()> fire) {
    return std::make_unique<LoopTimer>(*this, std::move(fire));
}

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

// The command line's one thread of work: the run drivers' timers and what their
// links hand over, waited for on a condition variable, and the user's Ctrl-C.
#pragma once

#include "app/core/run_driver.h"
#include "app/core/station.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace vz::cli {

class EventLoop : public TStationLoop {
public:
    using Clock = std::chrono::steady_clock;

    // A driver's one-shot timer; lives as long as the loop runs.
    struct Timer {
        bool armed = false;
        Clock::time_point due;
        std::function<void()> fire;
    };

    void Add(Timer& timer) { timers_.push_back(&timer); }
    void Remove(Timer& timer) { std::erase(timers_, &timer); }
    // From any thread: `work` runs on the loop's thread, before any timer.
    void Post(std::function<void()> work) override;
    // A timer of the loop's, removed with the object returned.
    std::unique_ptr<TTimer> NewTimer(std::function<void()> fire) override;

    // Serves posted work and due timers until `done` says so. `interrupted` is asked
    // at every wake (at least ten times a second); `onInterrupt` runs once when it
    // first says yes.
    void Run(const std::function<bool()>& done, const std::function<bool()>& interrupted,
             const std::function<void()>& onInterrupt);

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> work_; // guarded by lock_
    std::vector<Timer*> timers_;             // the loop's thread only
};

// A run driver's host on the loop: its timer and its hand-over. What the face does at
// the end of a run and after each step is given as functions.
class LoopRunHost : public TRunHost {
public:
    explicit LoopRunHost(EventLoop& loop) : loop_(loop) { loop_.Add(timer_); }
    // The driver the timer fires into; set before the loop runs.
    void SetDriver(TRunDriver& driver) {
        timer_.fire = [&driver] { driver.TimerFired(); };
    }

    std::function<void()> onStepDone;
    std::function<void(const TRunEnd&)> onRunEnded;
    std::function<void(const std::string& portName, int milliseconds)> onLatencyTimer;

    void ArmTimer(int milliseconds) override {
        timer_.armed = true;
        timer_.due = EventLoop::Clock::now() + std::chrono::milliseconds(milliseconds);
    }
    void StopTimer() override { timer_.armed = false; }
    void Post(std::function<void()> work) override { loop_.Post(std::move(work)); }
    // Nobody answers a box on the command line: its runs are unattended.
    void AskLinkFailure(const std::string&, const std::string&) override {}
    void NoteLinkFailure(const std::string&) override {}
    void StepDone() override {
        if (onStepDone) onStepDone();
    }
    void RunEnded(const TRunEnd& end) override {
        if (onRunEnded) onRunEnded(end);
    }
    void LatencyTimerRead(const std::string& portName, int milliseconds) override {
        if (onLatencyTimer) onLatencyTimer(portName, milliseconds);
    }

private:
    EventLoop& loop_;
    EventLoop::Timer timer_;
};

} // namespace vz::cli

// An in-memory serial port for tests. It keeps its own millisecond clock,
// which only its waits and pauses move on, so the driver's time-out loops run
// instantly and exactly; events can be scheduled at given ticks (bytes
// arriving, output room coming back). It may also serve a communication
// thread while the test works from another thread: every call is locked, and
// a wait without limit blocks until input, a hang-up or Interrupt() comes.
#pragma once

#include "link/port_backend.h"
#include "link/tick_clock.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vz {

class SimPort : public PortBackend {
public:
    SimPort() = default;

    // --- the test's side ---
    // A clock reading this port's time, to give to the driver.
    TickClock Clock();
    std::uint32_t NowTick() const;
    void SetNow(std::uint32_t tick);
    // Moves time on, running the events that fall due.
    void Advance(std::uint32_t ms);
    // Runs `action` when the clock reaches `tick`.
    void At(std::uint32_t tick, std::function<void()> action);

    void PushInput(std::string_view bytes);
    std::string TakeOutput();
    std::string Output() const;
    std::size_t InputLeft() const;
    // Bytes the system reports queued for output (limits the driver's room).
    void SetOutputQueued(std::uint32_t count);
    // The most bytes one write call accepts (0: every write moves nothing).
    void SetWriteLimit(std::size_t limit);
    // The most bytes all later writes together accept.
    void SetWriteBudget(std::size_t budget);
    void FailOpens(std::string reason, bool accessDenied);
    void AllowOpens();
    // Settings with this speed are refused.
    void RefuseBaud(std::uint32_t baud);
    void SetModemLines(std::optional<TModemLines> lines);
    void SetPlatform(std::string name, int majorVersion);
    void SetNaming(std::function<std::string(int)> naming);
    // The device goes away.
    void HangUp(std::string reason);

    // What the driver did, in order: "open NAME", "apply", "purge in out",
    // "queues IN OUT", "close" (purge flags as 0 or 1).
    std::vector<std::string> Log() const;
    void ClearLog();
    std::optional<LineSettings> AppliedSettings() const;
    int WriteCalls() const;
    // The most bytes asked of one write call so far.
    std::size_t LargestWriteRequest() const;

    // --- PortBackend ---
    std::string DeviceName(int comNumber) const override;
    bool Open(const std::string& name) override;
    void Close() override;
    bool IsOpen() const override;
    bool ApplySettings(const LineSettings& settings) override;
    bool SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) override;
    void Purge(bool input, bool output) override;
    std::optional<std::uint32_t> BytesWaiting() override;
    std::optional<std::uint32_t> OutputQueued() override;
    std::optional<TModemLines> ModemLines() override;
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* data, std::size_t count) override;
    WaitResult WaitReadable(int timeoutMs, bool watchData) override;
    WaitResult WaitWritable(int timeoutMs) override;
    void Pause(int ms) override;
    void Interrupt() override;
    std::string PlatformName() const override;
    int PlatformMajorVersion() const override;
    std::string LastError() const override;
    bool LastErrorAccessDenied() const override;
    bool Failed() const override;
    std::string LostReason() const override;

private:
    using Lock = std::unique_lock<std::recursive_mutex>;

    void AdvanceLocked(std::uint32_t ms);
    void RunDueEvents();
    // Ticks until the next scheduled event, if one is due within `limit`.
    std::optional<std::uint32_t> NextEventWithin(std::uint32_t limit) const;
    // Waits until `ready` gives a result: in virtual time up to the time-out,
    // or, without a limit and with nothing scheduled, for another thread.
    WaitResult WaitFor(Lock& lock, int timeoutMs, const std::function<std::optional<WaitResult>()>& ready);

    // Recursive: scheduled actions call back into the port.
    mutable std::recursive_mutex mutex_;
    std::condition_variable_any changed_;

    std::uint32_t now_ = 0;
    // (due tick, action), in the order scheduled.
    std::vector<std::pair<std::uint32_t, std::function<void()>>> events_;
    std::string input_;
    std::string output_;
    std::uint32_t outputQueued_ = 0;
    std::size_t writeLimit_ = SIZE_MAX;
    std::size_t writeBudget_ = SIZE_MAX;
    std::optional<std::pair<std::string, bool>> openFailure_;
    std::optional<std::uint32_t> refusedBaud_;
    std::optional<TModemLines> modemLines_ = mlCTS | mlDSR;
    std::string platform_ = "WNT";
    int platformMajor_ = 5;
    std::function<std::string(int)> naming_;
    bool open_ = false;
    bool interruptPending_ = false;
    bool failed_ = false;
    std::string lostReason_;
    std::string lastError_;
    bool lastErrorAccessDenied_ = false;
    std::optional<LineSettings> applied_;
    std::vector<std::string> log_;
    int writeCalls_ = 0;
    std::size_t largestWrite_ = 0;
};

} // namespace vz

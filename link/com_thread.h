// ComThread: the one background thread that owns the serial port. It opens and
// closes the port on request, sends the text it is handed and reads what the
// device sends in chunks of at most 100 bytes. The main thread and this thread
// meet only in the link state below, guarded by LinkLock.
#pragma once

#include "link/commdrv.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vz {

struct LinkFailure {
    std::string portName; // the device name that was opened or tried
    std::string reason;   // the system's explanation
    bool accessDenied = false;
};

class ComThread {
public:
    using ChunkHandler = std::function<void(ComThread&)>;
    using FailureHandler = std::function<void(ComThread&, const LinkFailure&)>;

    static constexpr std::uint32_t kChunkSize = 100;

    // Starts the thread at once, with the port closed.
    ComThread();
    // The same on another port implementation (tests, the device emulator).
    explicit ComThread(std::unique_ptr<PortBackend> backend);
    // Asks the thread to end and waits for it; a handler that is running must
    // return first.
    ~ComThread();
    ComThread(const ComThread&) = delete;
    ComThread& operator=(const ComThread&) = delete;

    // COM n for n from 2 to 16; any other value selects COM1.
    void SelectLinkPort(int n);
    // A device path opened instead of the port number (empty: none).
    void SelectLinkPath(std::string path);
    void SetLinkRun(bool run);
    bool IsLinkRun();
    // Replaces any text not yet sent.
    void PostTx(std::string text);
    // The last chunk read, which is then emptied so that the next can be read.
    std::string TakeReceived();
    // 57600 and 19200 bit/s. Recorded here and applied by the thread between
    // two passes, so never during a read or a write; kept across reopening.
    void SetSpeedFast();
    void SetSpeedSlow();

    // Raised on this thread once per non-empty chunk.
    void SetOnChunkReceived(ChunkHandler handler);
    // Raised on this thread when the port cannot be opened. It may block (until
    // the operator has answered); the open is tried again only after it has
    // returned and only while LinkRun stays true.
    void SetOnOpenFailed(FailureHandler handler);
    // Raised on this thread when the open port hung up, reported device errors
    // or could not take a whole text within the output time-out. The port is
    // closed by then and is not reopened until LinkRun has been set false and
    // then true again.
    void SetOnPortLost(FailureHandler handler);

    TComPortNumber LinkPort();
    // A chunk has been read and waits for TakeReceived.
    bool HasReceived();
    // Observation for the owner and for tests.
    bool IsPortOpen() const { return portOpen_.load(); }
    // Passes of the loop completed so far.
    std::uint64_t PassCount() const { return passes_.load(); }
    // Waits of the port that ended on their time-out so far (benchmarks).
    std::uint64_t TimedWakeups() const { return driver_.TimedWakeups(); }

private:
    void Run();
    void RunOpenPass();
    void ExchangePass();
    // Closes the port and reports it lost; no reopening until a new run.
    void HandlePortLost(std::string reason);
    void EndPass() { passes_.fetch_add(1); }
    // Wakes the thread from any of its waits; call after changing the state.
    void Wake();

    // Guarded by LinkLock.
    std::mutex LinkLock;
    std::condition_variable stateChanged_;
    TComPortNumber LinkPort_ = pnCOM1;
    std::string linkPath_;
    bool LinkRun_ = false;
    std::string PendingTx_;
    std::string ReceivedChunk_;
    TComPortBaudRate wantedSpeed_ = br57600;
    bool portLost_ = false;
    bool stop_ = false;
    // One more for every start of a run; the thread compares it with openRun_.
    std::uint64_t runNumber_ = 0;
    // The thread sleeps until the owner takes the chunk.
    bool awaitingTake_ = false;
    ChunkHandler onChunkReceived_;
    FailureHandler onOpenFailed_;
    FailureHandler onPortLost_;

    // Used by the thread alone (Interrupt excepted).
    TCommPortDriver driver_;
    std::array<std::uint8_t, kChunkSize> readBuffer_{};
    // The run the open port belongs to.
    std::uint64_t openRun_ = 0;

    std::atomic<bool> portOpen_{false};
    std::atomic<std::uint64_t> passes_{0};
    std::thread thread_; // last: starts once everything above exists
};

} // namespace vz

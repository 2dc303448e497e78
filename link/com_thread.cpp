#include "link/com_thread.h"

#include <chrono>

namespace vz {

namespace {

// Without a handler that waits for the operator, a port that cannot be opened
// is tried again at this pace rather than as fast as the loop turns.
constexpr std::chrono::milliseconds kOpenRetryDelay{500};

} // namespace

ComThread::ComThread() : ComThread(MakeSystemPort()) {}

ComThread::ComThread(std::unique_ptr<PortBackend> backend) : driver_(std::move(backend)) {
    driver_.SetComPort(pnCOM1);
    driver_.SetComPortSpeed(br57600);
    // Data is read by explicit calls only: the periodic delivery never runs.
    driver_.SuspendPolling();
    driver_.SetInputTimeout(0);
    driver_.SetComPortPollingDelay(65535);
    thread_ = std::thread([this] { Run(); });
}

ComThread::~ComThread() {
    {
        std::lock_guard lock(LinkLock);
        stop_ = true;
    }
    Wake();
    thread_.join();
}

void ComThread::Wake() {
    stateChanged_.notify_all();
    driver_.Interrupt();
}

void ComThread::SelectLinkPort(int n) {
    std::lock_guard lock(LinkLock);
    LinkPort_ = n >= 2 && n <= 16 ? static_cast<TComPortNumber>(n - 1) : pnCOM1;
}

void ComThread::SelectLinkPath(std::string path) {
    std::lock_guard lock(LinkLock);
    linkPath_ = std::move(path);
}

TComPortNumber ComThread::LinkPort() {
    std::lock_guard lock(LinkLock);
    return LinkPort_;
}

bool ComThread::HasReceived() {
    std::lock_guard lock(LinkLock);
    return !ReceivedChunk_.empty();
}

void ComThread::SetLinkRun(bool run) {
    {
        std::lock_guard lock(LinkLock);
        if (run && !LinkRun_) {
            // Nothing of a stopped run may reach the device, or the owner, in the next
            // one; the new number makes the thread close a port still open for the old.
            ++runNumber_;
            PendingTx_.clear();
            ReceivedChunk_.clear();
        }
        LinkRun_ = run;
        if (!run) portLost_ = false;
    }
    Wake();
}

bool ComThread::IsLinkRun() {
    std::lock_guard lock(LinkLock);
    return LinkRun_;
}

void ComThread::PostTx(std::string text) {
    {
        std::lock_guard lock(LinkLock);
        PendingTx_ = std::move(text);
    }
    Wake();
}

std::string ComThread::TakeReceived() {
    std::string taken;
    bool wake = false;
    {
        std::lock_guard lock(LinkLock);
        taken.swap(ReceivedChunk_);
        // Only a thread asleep until the take needs a wake-up; any other sees the
        // empty chunk at its next look.
        wake = !taken.empty() && awaitingTake_;
    }
    if (wake) Wake();
    return taken;
}

void ComThread::SetSpeedFast() {
    {
        std::lock_guard lock(LinkLock);
        wantedSpeed_ = br57600;
    }
    Wake();
}

void ComThread::SetSpeedSlow() {
    {
        std::lock_guard lock(LinkLock);
        wantedSpeed_ = br19200;
    }
    Wake();
}

void ComThread::SetOnChunkReceived(ChunkHandler handler) {
    std::lock_guard lock(LinkLock);
    onChunkReceived_ = std::move(handler);
}

void ComThread::SetOnOpenFailed(FailureHandler handler) {
    std::lock_guard lock(LinkLock);
    onOpenFailed_ = std::move(handler);
}

void ComThread::SetOnPortLost(FailureHandler handler) {
    std::lock_guard lock(LinkLock);
    onPortLost_ = std::move(handler);
}

void ComThread::Run() {
    for (;;) {
        bool run = false;
        std::uint64_t runNumber = 0;
        TComPortBaudRate speed = br57600;
        {
            std::lock_guard lock(LinkLock);
            if (stop_) break;
            run = LinkRun_;
            runNumber = runNumber_;
            speed = wantedSpeed_;
        }
        // Here, between two passes, no read or write is under way.
        if (driver_.ComPortSpeed() != speed) driver_.SetComPortSpeed(speed);
        // A stop and a start seen as one: the old run's port is closed all the same.
        if (run && driver_.IsOpen() && openRun_ != runNumber) {
            driver_.ClosePort();
            portOpen_ = false;
        }

        if (!run) {
            if (driver_.IsOpen()) {
                driver_.ClosePort();
                portOpen_ = false;
            }
            EndPass();
            std::unique_lock lock(LinkLock);
            stateChanged_.wait(lock, [this] { return stop_ || LinkRun_; });
        } else if (!driver_.IsOpen()) {
            RunOpenPass();
        } else {
            ExchangePass();
        }
    }
}

void ComThread::RunOpenPass() {
    TComPortNumber port = pnCOM1;
    std::string path;
    bool lost = false;
    std::uint64_t runNumber = 0;
    {
        std::lock_guard lock(LinkLock);
        port = LinkPort_;
        path = linkPath_;
        lost = portLost_;
        runNumber = runNumber_;
    }
    if (lost) {
        EndPass();
        std::unique_lock lock(LinkLock);
        stateChanged_.wait(lock, [this] { return stop_ || !LinkRun_ || !portLost_; });
        return;
    }

    driver_.SetComPort(port);
    driver_.SetComPortPath(path);
    if (driver_.OpenPort()) {
        openRun_ = runNumber;
        portOpen_ = true;
        EndPass();
        return;
    }

    const LinkFailure failure{driver_.PortName(), driver_.LastError(), driver_.LastErrorAccessDenied()};
    FailureHandler handler;
    {
        std::lock_guard lock(LinkLock);
        handler = onOpenFailed_;
    }
    if (handler) handler(*this, failure);
    EndPass();
    std::unique_lock lock(LinkLock);
    stateChanged_.wait_for(lock, kOpenRetryDelay, [this] { return stop_ || !LinkRun_; });
}

void ComThread::ExchangePass() {
    if (driver_.PortFailed()) {
        HandlePortLost(driver_.LostReason());
        return;
    }

    std::string tx;
    bool chunkWaiting = false;
    TComPortBaudRate speed = br57600;
    {
        std::lock_guard lock(LinkLock);
        // A text posted for a newer run waits until the port is reopened for it.
        if (runNumber_ != openRun_) return;
        tx.swap(PendingTx_);
        speed = wantedSpeed_;
    }
    // A speed asked for before this text was posted must be in force when it
    // goes out, even if it was asked after this pass began.
    if (driver_.ComPortSpeed() != speed) driver_.SetComPortSpeed(speed);
    if (!tx.empty()) {
        const auto size = static_cast<std::uint32_t>(tx.size());
        const std::uint32_t written = driver_.WriteBytes(tx.data(), size, driver_.OutputTimeout());
        // The engine would wait for ever for the answer to a text that never went
        // out whole: a line that takes no output is as good as lost.
        if (written < size && !driver_.PortFailed()) {
            HandlePortLost("The port took no output for " + std::to_string(driver_.OutputTimeout()) +
                           " ms (" + std::to_string(written) + " of " + std::to_string(size) +
                           " bytes written)");
            return;
        }
    }

    {
        std::lock_guard lock(LinkLock);
        chunkWaiting = !ReceivedChunk_.empty();
    }
    std::uint32_t count = 0;
    // Only bytes already waiting are read: an empty read would wait for the tick,
    // while the idle wait below wakes on the first byte.
    if (!chunkWaiting && driver_.BytesWaiting() > 0) {
        count = driver_.ReadBytes(readBuffer_.data(), kChunkSize);
        if (count > 0) {
            // Zero bytes are dropped one by one: cutting the chunk there would
            // lose the answers that follow and stall the dialogue.
            std::string text;
            text.reserve(count);
            for (std::uint32_t i = 0; i < count; ++i)
                if (readBuffer_[i] != 0) text.push_back(static_cast<char>(readBuffer_[i]));
            ChunkHandler handler;
            {
                std::lock_guard lock(LinkLock);
                // Bytes of a run that has been stopped meanwhile go nowhere.
                if (runNumber_ == openRun_) {
                    ReceivedChunk_ = std::move(text);
                    if (!ReceivedChunk_.empty()) handler = onChunkReceived_;
                }
            }
            if (handler) handler(*this);
        }
    }

    if (driver_.PortFailed()) {
        HandlePortLost(driver_.LostReason());
        return;
    }
    EndPass();
    if (count > 0 || !tx.empty()) return;

    // Idle: sleep until input, a hang-up or a change asked by the other side.
    bool watchData = false;
    {
        std::lock_guard lock(LinkLock);
        if (stop_ || !LinkRun_ || runNumber_ != openRun_ || !PendingTx_.empty() ||
            wantedSpeed_ != driver_.ComPortSpeed() || (chunkWaiting && ReceivedChunk_.empty()))
            return;
        watchData = ReceivedChunk_.empty();
        awaitingTake_ = !watchData;
    }
    driver_.WaitForEvent(-1, watchData);
    if (!watchData) {
        std::lock_guard lock(LinkLock);
        awaitingTake_ = false;
    }
}

void ComThread::HandlePortLost(std::string reason) {
    const LinkFailure failure{driver_.PortName(), std::move(reason), false};
    driver_.ClosePort();
    portOpen_ = false;
    FailureHandler handler;
    {
        std::lock_guard lock(LinkLock);
        // A stop asked meanwhile already allows the next run to reopen.
        if (LinkRun_) portLost_ = true;
        handler = onPortLost_;
    }
    if (handler) handler(*this, failure);
    EndPass();
}

} // namespace vz

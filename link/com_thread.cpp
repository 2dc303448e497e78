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
            // Nothing of a stopped run may reach the device, or the owner, in the next one.
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
    {
        std::lock_guard lock(LinkLock);
        taken.swap(ReceivedChunk_);
    }
    if (!taken.empty()) Wake();
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
        TComPortBaudRate speed = br57600;
        {
            std::lock_guard lock(LinkLock);
            if (stop_) break;
            run = LinkRun_;
            speed = wantedSpeed_;
        }
        // Here, between two passes, no read or write is under way.
        if (driver_.ComPortSpeed() != speed) driver_.SetComPortSpeed(speed);

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
    {
        std::lock_guard lock(LinkLock);
        port = LinkPort_;
        path = linkPath_;
        lost = portLost_;
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
        HandlePortLost();
        return;
    }

    std::string tx;
    bool chunkWaiting = false;
    TComPortBaudRate speed = br57600;
    {
        std::lock_guard lock(LinkLock);
        tx.swap(PendingTx_);
        speed = wantedSpeed_;
    }
    // A speed asked for before this text was posted must be in force when it
    // goes out, even if it was asked after this pass began.
    if (driver_.ComPortSpeed() != speed) driver_.SetComPortSpeed(speed);
    // Whatever cannot be written within the output time-out is dropped.
    if (!tx.empty()) driver_.WriteText(tx);

    {
        std::lock_guard lock(LinkLock);
        chunkWaiting = !ReceivedChunk_.empty();
    }
    std::uint32_t count = 0;
    if (!chunkWaiting) {
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
                ReceivedChunk_ = text;
                handler = onChunkReceived_;
            }
            if (!text.empty() && handler) handler(*this);
        }
    }

    if (driver_.PortFailed()) {
        HandlePortLost();
        return;
    }
    EndPass();
    if (count > 0 || !tx.empty()) return;

    // Idle: sleep until input, a hang-up or a change asked by the other side.
    bool watchData = false;
    {
        std::lock_guard lock(LinkLock);
        if (stop_ || !LinkRun_ || !PendingTx_.empty() || wantedSpeed_ != driver_.ComPortSpeed() ||
            (chunkWaiting && ReceivedChunk_.empty()))
            return;
        watchData = ReceivedChunk_.empty();
    }
    driver_.WaitForEvent(-1, watchData);
}

void ComThread::HandlePortLost() {
    const LinkFailure failure{driver_.PortName(), driver_.LostReason(), false};
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

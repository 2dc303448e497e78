#include "link/commdrv.h"

#include <algorithm>
#include <climits>
#include <iterator>

namespace vz {

namespace {

constexpr std::uint32_t kClosedCount = 65535;
constexpr std::uint16_t kNtXonXoffCap = 4096;
constexpr int kNtCapFromMajorVersion = 4;

// Time left until `elapsed` exceeds `limit`, as a wait time: one more tick so
// the loop sees the limit passed when it looks again.
int WaitTimeFor(std::uint32_t limit, std::uint32_t elapsed) {
    const std::uint64_t left = static_cast<std::uint64_t>(limit) - elapsed + 1;
    return static_cast<int>(std::min<std::uint64_t>(left, INT_MAX));
}

} // namespace

std::uint32_t BaudRateBitsPerSecond(TComPortBaudRate rate) {
    static constexpr std::uint32_t kSpeeds[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                                14400, 19200, 38400, 56000, 57600, 115200};
    return rate < std::size(kSpeeds) ? kSpeeds[rate] : 9600;
}

TCommPortDriver::TCommPortDriver() : TCommPortDriver(MakeSystemPort()) {}

TCommPortDriver::TCommPortDriver(std::unique_ptr<PortBackend> backend, TickClock clock)
    : backend_(std::move(backend)), clock_(std::move(clock)), workBuffer_(inBufSize_) {}

TCommPortDriver::~TCommPortDriver() {
    ClosePort();
}

void TCommPortDriver::SetComPort(TComPortNumber value) {
    if (IsOpen() || value > pnCOM16) return;
    comPort_ = value;
}

void TCommPortDriver::SetComPortPath(std::string path) {
    if (IsOpen()) return;
    path_ = std::move(path);
}

void TCommPortDriver::SetComPortSpeed(TComPortBaudRate value) {
    speed_ = value;
    if (IsOpen()) ApplyLineSettings();
}

void TCommPortDriver::SetComPortDataBits(TComPortDataBits value) {
    dataBits_ = value;
    if (IsOpen()) ApplyLineSettings();
}

void TCommPortDriver::SetComPortStopBits(TComPortStopBits value) {
    stopBits_ = value;
    if (IsOpen()) ApplyLineSettings();
}

void TCommPortDriver::SetComPortParity(TComPortParity value) {
    parity_ = value;
    if (IsOpen()) ApplyLineSettings();
}

void TCommPortDriver::SetComPortHwHandshaking(TComPortHwHandshaking value) {
    hwHandshaking_ = value;
    if (IsOpen()) ApplyLineSettings();
}

void TCommPortDriver::SetComPortSwHandshaking(TComPortSwHandshaking value) {
    swHandshaking_ = value;
    if (IsOpen()) ApplyLineSettings();
}

void TCommPortDriver::SetComPortInBufSize(std::uint16_t value) {
    if (IsOpen()) return;
    ResizeWorkBuffer(value);
    SetPacketSize(packetSize_);
}

void TCommPortDriver::SetComPortOutBufSize(std::uint16_t value) {
    if (IsOpen()) return;
    outBufSize_ = value;
}

void TCommPortDriver::ResizeWorkBuffer(std::uint16_t size) {
    inBufSize_ = size;
    workBuffer_.assign(size, 0);
}

void TCommPortDriver::SetPacketSize(std::int16_t value) {
    if (value < 1) {
        packetSize_ = -1;
        return;
    }
    packetSize_ = value;
    // A packet must fit the work buffer, also while open (when the buffer size
    // is otherwise fixed): a smaller buffer would be overrun by the packet read.
    if (value > inBufSize_) ResizeWorkBuffer(static_cast<std::uint16_t>(2 * value));
}

void TCommPortDriver::SetPacketTimeout(std::int32_t value) {
    if (value < 1)
        packetTimeout_ = -1;
    else if (value < pollingDelay_)
        packetTimeout_ = pollingDelay_ + 150;
    else
        packetTimeout_ = value;
}

void TCommPortDriver::SetComPortPollingDelay(std::uint16_t value) {
    if (value == pollingDelay_) return;
    // The owner's periodic call picks up the new period from the property.
    pollingDelay_ = value;
    SetPacketTimeout(packetTimeout_);
}

bool TCommPortDriver::IsOpen() const {
    return backend_->IsOpen();
}

bool TCommPortDriver::OpenPort() {
    if (IsOpen()) return true;
    portName_ = path_.empty() ? backend_->DeviceName(comPort_ + 1) : path_;
    if (!backend_->Open(portName_)) {
        lastError_ = backend_->LastError();
        lastErrorAccessDenied_ = backend_->LastErrorAccessDenied();
        return false;
    }
    if (!ApplyLineSettings()) {
        backend_->Close();
        return false;
    }
    lastError_.clear();
    lastErrorAccessDenied_ = false;
    pollingActive_ = true;
    return true;
}

void TCommPortDriver::ClosePort() {
    if (!IsOpen()) return;
    pollingActive_ = false;
    backend_->Close();
}

LineSettings TCommPortDriver::BuildLineSettings() const {
    LineSettings s;
    s.baud = BaudRateBitsPerSecond(speed_);
    s.dtrOn = enableDtrOnOpen_;
    s.rtsOn = hwHandshaking_ == hhNONERTSON;
    s.rtsCtsFlow = hwHandshaking_ == hhRTSCTS;
    s.xonXoff = swHandshaking_ == shXONXOFF;
    auto limit = static_cast<std::uint16_t>(inBufSize_ / 4);
    if (backend_->PlatformName() == "WNT" && backend_->PlatformMajorVersion() >= kNtCapFromMajorVersion)
        limit = std::min(limit, kNtXonXoffCap);
    s.xonLimit = limit;
    s.xoffLimit = limit;
    s.dataBits = static_cast<std::uint8_t>(5 + dataBits_);
    s.parity = static_cast<LineParity>(parity_);
    s.stopBits = static_cast<LineStopBits>(stopBits_);
    s.xonChar = 17;
    s.xoffChar = 19;
    return s;
}

bool TCommPortDriver::ApplyLineSettings() {
    if (!IsOpen()) return false;
    if (!backend_->ApplySettings(BuildLineSettings())) {
        lastError_ = backend_->LastError();
        lastErrorAccessDenied_ = false;
        return false;
    }
    Purge(true, true);
    backend_->SetQueueSizes(inBufSize_, outBufSize_);
    return true;
}

std::uint32_t TCommPortDriver::WriteBytes(const void* data, std::uint32_t count, std::uint32_t timeoutMs) {
    if (!IsOpen()) return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint32_t total = 0;
    std::uint32_t start = Now();
    while (total < count) {
        const std::uint32_t room = OutputRoom();
        bool systemBusy = false;
        if (room > 0) {
            if (checkLineStatus_ && ModemLines() == 0) break;
            const std::size_t written = backend_->Write(bytes + total, std::min(count - total, room));
            if (written > 0) {
                total += static_cast<std::uint32_t>(written);
                start = Now();
                continue;
            }
            systemBusy = true;
        }
        if (backend_->Failed()) break;
        const std::uint32_t elapsed = TicksSince(start, Now());
        if (elapsed > timeoutMs) break;
        // Wait instead of spinning: for the system to take output, or one tick
        // for our own queue limit to clear.
        if (systemBusy)
            backend_->WaitWritable(WaitTimeFor(timeoutMs, elapsed));
        else
            backend_->Pause(1);
    }
    return total;
}

bool TCommPortDriver::WriteText(std::string_view text) {
    const auto count = static_cast<std::uint32_t>(text.size());
    return WriteBytes(text.data(), count, outputTimeout_) == count;
}

std::uint32_t TCommPortDriver::ReadBytes(void* buffer, std::uint32_t capacity) {
    if (!IsOpen()) return 0;
    SuspendPolling();
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::uint32_t total = 0;
    std::uint32_t start = Now();
    while (total < capacity) {
        const std::uint32_t waiting = BytesWaiting();
        if (waiting > 0) {
            const std::size_t got = backend_->Read(bytes + total, std::min(capacity - total, waiting));
            if (got > 0) {
                total += static_cast<std::uint32_t>(got);
                start = Now();
                continue;
            }
        }
        if (backend_->Failed()) break;
        // Without an input time-out a reply ends at the first moment nothing more
        // is waiting: the engines match on the accumulated text, not on chunks.
        if (inputTimeout_ == 0 && total > 0) break;
        const std::uint32_t elapsed = TicksSince(start, Now());
        if (elapsed > inputTimeout_) break;
        // A read that has found nothing gives way at once when the owner has work
        // for the port (a text to send): the write need not wait for the tick.
        if (backend_->WaitReadable(WaitTimeFor(inputTimeout_, elapsed), true) == WaitResult::Woken &&
            total == 0)
            break;
    }
    ResumePolling();
    return total;
}

std::uint32_t TCommPortDriver::BytesWaiting() {
    if (!IsOpen()) return kClosedCount;
    return backend_->BytesWaiting().value_or(0);
}

std::uint32_t TCommPortDriver::OutputRoom() {
    if (!IsOpen()) return kClosedCount;
    // A system that cannot count its queue leaves the decision to the write.
    const std::uint32_t queued = backend_->OutputQueued().value_or(0);
    return queued >= outBufSize_ ? 0 : outBufSize_ - queued;
}

void TCommPortDriver::Purge(bool input, bool output) {
    if (!IsOpen()) return;
    backend_->Purge(input, output);
    packetStart_.reset();
}

TModemLines TCommPortDriver::ModemLines() {
    if (!IsOpen()) return 0;
    return backend_->ModemLines().value_or(0);
}

std::uint32_t TCommPortDriver::ReadIntoWorkBuffer(std::uint32_t count) {
    // Never more than the buffer holds, whatever the system has waiting.
    count = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(workBuffer_.size()));
    std::uint32_t total = 0;
    while (total < count) {
        const std::size_t got = backend_->Read(workBuffer_.data() + total, count - total);
        if (got == 0) break;
        total += static_cast<std::uint32_t>(got);
    }
    return total;
}

void TCommPortDriver::PollOnce() {
    if (!IsOpen() || pollingPauseCount_ > 0) return;
    std::uint32_t waiting = BytesWaiting();

    if (packetSize_ == -1) {
        if (waiting == 0) return;
        const std::uint32_t got = ReadIntoWorkBuffer(waiting);
        if (onReceiveData_ && got > 0) onReceiveData_(*this, workBuffer_.data(), got);
        return;
    }

    const auto packet = static_cast<std::uint32_t>(packetSize_);
    if (waiting < packet) {
        if (packetTimeout_ > 0 && packetStart_ &&
            TicksSince(*packetStart_, Now()) > static_cast<std::uint32_t>(packetTimeout_)) {
            const std::uint32_t got = ReadIntoWorkBuffer(waiting);
            if (packetMode_ == pmPass && onReceivePacket_ && got > 0)
                onReceivePacket_(*this, workBuffer_.data(), got);
            packetStart_.reset();
        } else if (waiting > 0 && !packetStart_) {
            packetStart_ = Now();
        }
        return;
    }

    const std::uint32_t speed = BaudRateBitsPerSecond(speed_);
    const std::uint32_t packetTime = (packet * 10000 + speed / 2) / speed;
    while (waiting >= packet) {
        const std::uint32_t got = ReadIntoWorkBuffer(packet);
        if (got < packet) break; // the system gave less than it announced
        if (onReceivePacket_) onReceivePacket_(*this, workBuffer_.data(), got);
        waiting -= packet;
        // The rest began arriving about one packet's transmission time later.
        if (packetStart_) *packetStart_ += packetTime;
    }
    if (waiting == 0) packetStart_.reset();
}

bool TCommPortDriver::PortFailed() const {
    return backend_->Failed();
}

std::string TCommPortDriver::LostReason() const {
    return backend_->LostReason();
}

std::string TCommPortDriver::PlatformName() const {
    return backend_->PlatformName();
}

WaitResult TCommPortDriver::WaitForEvent(int timeoutMs, bool watchData) {
    return backend_->WaitReadable(timeoutMs, watchData && IsOpen());
}

void TCommPortDriver::Interrupt() {
    backend_->Interrupt();
}

} // namespace vz

// Serial ports on Windows through the communications API, opened for
// overlapped I/O: the link thread sleeps in WaitForMultipleObjects on a pending
// one-byte read (which a received byte completes and a removed adapter fails)
// and on the event that Interrupt() sets; other reads take only what is queued
// and writes complete on their own event. No wait looks at the clock.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "link/port_backend.h"
#include "link/port_names.h"

#include <algorithm>
#include <atomic>

namespace vz {

namespace {

std::string SystemErrorText(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\r' || result.back() == '\n' || result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    if (result.empty()) result = "System error " + std::to_string(error);
    return result;
}

// Errors after which the handle is no use any more: the adapter was removed
// or the line hung up (ERROR_NOT_READY is what Wine reports for the latter).
bool IsDeviceGone(DWORD error) {
    return error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_REMOVED || error == ERROR_GEN_FAILURE ||
           error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE || error == ERROR_NOT_READY ||
           error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_FILE_NOT_FOUND;
}

class Win32Port : public PortBackend {
public:
    Win32Port()
        : wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
          readDone_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          writeDone_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    ~Win32Port() override {
        Close();
        for (HANDLE event : {wake_, readDone_, writeDone_})
            if (event != nullptr) CloseHandle(event);
    }

    std::string DeviceName(int comNumber) const override { return WindowsComDeviceName(comNumber); }

    bool Open(const std::string& name) override {
        if (handle_ != INVALID_HANDLE_VALUE) return true;
        // Every wait of the link thread sleeps on these events: without them the
        // port could only be polled.
        if (wake_ == nullptr || readDone_ == nullptr || writeDone_ == nullptr)
            return FailOpen(ERROR_NOT_ENOUGH_MEMORY);
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return FailOpen(GetLastError());
        original_ = DCB{};
        original_.DCBlength = sizeof(DCB);
        haveOriginal_ = GetCommState(handle, &original_) != FALSE;
        // A read returns at once with what the queue holds, or, with the queue
        // empty, as soon as the first byte arrives: a pending read of one byte is
        // how a wait learns of input. A write completes on its own event when the
        // driver has taken it. No wait looks at the clock.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = MAXDWORD - 1;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = 0;
        SetCommTimeouts(handle, &timeouts);
        handle_ = handle;
        pushback_.reset();
        failed_ = false;
        lostReason_.clear();
        return true;
    }

    void Close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        pushback_.reset();
        PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
        if (haveOriginal_) SetCommState(handle_, &original_);
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    bool ApplySettings(const LineSettings& s) override {
        if (handle_ == INVALID_HANDLE_VALUE) return false;
        DCB dcb{};
        dcb.DCBlength = sizeof(DCB);
        dcb.BaudRate = s.baud;
        dcb.fBinary = 1;
        dcb.fDtrControl = s.dtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        if (s.rtsCtsFlow) {
            dcb.fOutxCtsFlow = 1;
            dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        } else {
            dcb.fRtsControl = s.rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        }
        if (s.xonXoff) {
            dcb.fOutX = 1;
            dcb.fInX = 1;
        }
        dcb.XonLim = s.xonLimit;
        dcb.XoffLim = s.xoffLimit;
        dcb.ByteSize = s.dataBits;
        dcb.Parity = static_cast<BYTE>(s.parity);     // NOPARITY .. SPACEPARITY, in the same order
        dcb.StopBits = static_cast<BYTE>(s.stopBits); // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
        dcb.XonChar = s.xonChar;
        dcb.XoffChar = s.xoffChar;
        if (!SetCommState(handle_, &dcb)) {
            lastError_ = SystemErrorText(GetLastError());
            lastErrorAccessDenied_ = false;
            return false;
        }
        baud_ = std::max<std::uint32_t>(s.baud, 1);
        return true;
    }

    bool SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) override {
        return handle_ != INVALID_HANDLE_VALUE && SetupComm(handle_, inSize, outSize) != FALSE;
    }

    void Purge(bool input, bool output) override {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        DWORD flags = 0;
        if (input) flags |= PURGE_RXABORT | PURGE_RXCLEAR;
        if (output) flags |= PURGE_TXABORT | PURGE_TXCLEAR;
        if (flags != 0) PurgeComm(handle_, flags);
        if (input) pushback_.reset();
    }

    std::optional<std::uint32_t> BytesWaiting() override {
        COMSTAT status{};
        if (!QueryStatus(status)) return std::nullopt;
        return static_cast<std::uint32_t>(status.cbInQue) + (pushback_ ? 1u : 0u);
    }

    std::optional<std::uint32_t> OutputQueued() override {
        COMSTAT status{};
        if (!QueryStatus(status)) return std::nullopt;
        return static_cast<std::uint32_t>(status.cbOutQue);
    }

    std::optional<TModemLines> ModemLines() override {
        DWORD bits = 0;
        if (handle_ == INVALID_HANDLE_VALUE || !GetCommModemStatus(handle_, &bits)) return std::nullopt;
        TModemLines lines = 0;
        if (bits & MS_CTS_ON) lines |= mlCTS;
        if (bits & MS_DSR_ON) lines |= mlDSR;
        if (bits & MS_RING_ON) lines |= mlRING;
        if (bits & MS_RLSD_ON) lines |= mlDCD;
        return lines;
    }

    std::size_t Read(void* buffer, std::size_t count) override {
        if (handle_ == INVALID_HANDLE_VALUE || count == 0) return 0;
        auto* out = static_cast<char*>(buffer);
        std::size_t total = 0;
        if (pushback_) {
            out[total++] = *pushback_;
            pushback_.reset();
        }
        // Only what is queued is asked for: on an empty queue the read would wait.
        COMSTAT status{};
        if (total == count || !QueryStatus(status) || status.cbInQue == 0) return total;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - total, status.cbInQue));
        return total + Transfer(
                           readDone_,
                           [&](OVERLAPPED& o) { return ReadFile(handle_, out + total, want, nullptr, &o); },
                           INFINITE);
    }

    std::size_t Write(const void* data, std::size_t count) override {
        if (handle_ == INVALID_HANDLE_VALUE || count == 0) return 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
        // The write completes when the driver has taken (or sent) the bytes: wait
        // for that on the write's own event, a little longer than the bytes need
        // on the wire; a line held back by flow control is cut short there.
        const DWORD wireMs = static_cast<DWORD>(static_cast<std::uint64_t>(want) * 10000 / baud_);
        return Transfer(
            writeDone_, [&](OVERLAPPED& o) { return WriteFile(handle_, data, want, nullptr, &o); },
            wireMs + kWriteSlackMs);
    }

    WaitResult WaitReadable(int timeoutMs, bool watchData) override {
        if (failed_) return WaitResult::Failed;
        watchData = watchData && IsOpen();
        if (watchData) {
            const auto waiting = BytesWaiting();
            if (failed_) return WaitResult::Failed;
            if (waiting && *waiting > 0) return WaitResult::Ready;
        }
        const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
        // Input is waited for by a read of one byte, which the driver completes
        // when the byte comes, or fails when the adapter is removed.
        OVERLAPPED o{};
        o.hEvent = readDone_;
        ResetEvent(readDone_);
        char byte = 0;
        if (watchData && !ReadFile(handle_, &byte, 1, nullptr, &o)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                NoteLost(error);
                return WaitResult::Failed;
            }
        }
        HANDLE events[2] = {wake_, readDone_};
        const DWORD result = WaitForMultipleObjects(watchData ? 2 : 1, events, FALSE, wait);
        if (!watchData) {
            if (result == WAIT_OBJECT_0) return WaitResult::Woken;
            if (result == WAIT_TIMEOUT && wait > 0) ++timedWakeups_;
            return WaitResult::TimedOut;
        }
        // Woken or timed out: the read is withdrawn, keeping a byte it got meanwhile.
        if (result != WAIT_OBJECT_0 + 1) CancelIoEx(handle_, &o);
        DWORD got = 0;
        if (!GetOverlappedResult(handle_, &o, &got, TRUE)) {
            const DWORD error = GetLastError();
            if (error != ERROR_OPERATION_ABORTED) {
                NoteLost(error);
                return WaitResult::Failed;
            }
        }
        if (got == 1) {
            pushback_ = byte;
            return WaitResult::Ready;
        }
        if (result == WAIT_OBJECT_0) return WaitResult::Woken;
        if (result == WAIT_TIMEOUT && wait > 0) ++timedWakeups_;
        return WaitResult::TimedOut;
    }

    WaitResult WaitWritable(int) override {
        // Write itself waited for the driver on its own event.
        return failed_ ? WaitResult::Failed : WaitResult::Ready;
    }

    void Pause(int ms) override {
        if (ms > 0) ++timedWakeups_;
        Sleep(static_cast<DWORD>(std::max(ms, 0)));
    }

    void Interrupt() override {
        if (wake_ != nullptr) SetEvent(wake_);
    }

    std::uint64_t TimedWakeups() const override { return timedWakeups_.load(); }

    std::string PlatformName() const override {
        OSVERSIONINFOA info{};
        if (!ReadVersion(info)) return "??";
        switch (info.dwPlatformId) {
        case VER_PLATFORM_WIN32_NT:
            return "WNT";
        case VER_PLATFORM_WIN32_WINDOWS:
            return "W95";
        case VER_PLATFORM_WIN32s:
            return "W32S";
        default:
            return "??";
        }
    }

    int PlatformMajorVersion() const override {
        OSVERSIONINFOA info{};
        return ReadVersion(info) ? static_cast<int>(info.dwMajorVersion) : 0;
    }

    std::string LastError() const override { return lastError_; }
    bool LastErrorAccessDenied() const override { return lastErrorAccessDenied_; }
    bool Failed() const override { return failed_; }
    std::string LostReason() const override { return lostReason_; }

private:
    static bool ReadVersion(OSVERSIONINFOA& info) {
        info.dwOSVersionInfoSize = sizeof(info);
#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
        const BOOL ok = GetVersionExA(&info);
#if defined(_MSC_VER)
#pragma warning(pop)
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
        return ok != FALSE;
    }

    // One overlapped read or write on `done`, waited for at most `limitMs`; what
    // it moved is counted also when it failed or was cut short.
    template <typename Start> std::size_t Transfer(HANDLE done, Start start, DWORD limitMs) {
        OVERLAPPED o{};
        o.hEvent = done;
        ResetEvent(done);
        DWORD moved = 0;
        if (!start(o)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                NoteError(error);
                return 0;
            }
            if (WaitForSingleObject(done, limitMs) != WAIT_OBJECT_0) {
                ++timedWakeups_;
                CancelIoEx(handle_, &o);
            }
        }
        if (!GetOverlappedResult(handle_, &o, &moved, TRUE)) {
            const DWORD error = GetLastError();
            if (error != ERROR_OPERATION_ABORTED) NoteError(error);
        }
        return moved;
    }

    bool QueryStatus(COMSTAT& status) {
        if (handle_ == INVALID_HANDLE_VALUE) return false;
        DWORD errors = 0;
        if (!ClearCommError(handle_, &errors, &status)) {
            NoteError(GetLastError());
            return false;
        }
        return true;
    }

    bool FailOpen(DWORD error) {
        lastError_ = SystemErrorText(error);
        // Both mean that another program holds the port.
        lastErrorAccessDenied_ = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        return false;
    }

    void NoteError(DWORD error) {
        if (IsDeviceGone(error)) NoteLost(error);
    }

    // The port cannot be waited on any more: whatever the reason, it is lost.
    void NoteLost(DWORD error) {
        if (failed_) return;
        failed_ = true;
        lostReason_ = SystemErrorText(error);
    }

    // A write may take this much longer than its bytes need on the wire.
    static constexpr DWORD kWriteSlackMs = 100;

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE wake_ = nullptr;
    HANDLE readDone_ = nullptr;
    HANDLE writeDone_ = nullptr;
    // A byte taken by a wait's read, handed out first by the next Read.
    std::optional<char> pushback_;
    std::uint32_t baud_ = 9600;
    std::atomic<std::uint64_t> timedWakeups_{0};
    DCB original_{};
    bool haveOriginal_ = false;
    bool failed_ = false;
    std::string lostReason_;
    std::string lastError_;
    bool lastErrorAccessDenied_ = false;
};

} // namespace

std::unique_ptr<PortBackend> MakeSystemPort() {
    return std::make_unique<Win32Port>();
}

} // namespace vz

// Serial ports on Windows through the communications API. Single reads and
// writes return at once (1 ms driver time-outs); waits sleep on an event that
// Interrupt() sets, looking at the input queue once per tick.
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
    Win32Port() : wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

    ~Win32Port() override {
        Close();
        if (wake_ != nullptr) CloseHandle(wake_);
    }

    std::string DeviceName(int comNumber) const override { return WindowsComDeviceName(comNumber); }

    bool Open(const std::string& name) override {
        if (handle_ != INVALID_HANDLE_VALUE) return true;
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return FailOpen(GetLastError());
        original_ = DCB{};
        original_.DCBlength = sizeof(DCB);
        haveOriginal_ = GetCommState(handle, &original_) != FALSE;
        // Every single read or write returns almost at once with what it could
        // move; the driver's loops do the waiting.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 1;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 1;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = 1;
        SetCommTimeouts(handle, &timeouts);
        handle_ = handle;
        failed_ = false;
        lostReason_.clear();
        return true;
    }

    void Close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return;
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
    }

    std::optional<std::uint32_t> BytesWaiting() override {
        COMSTAT status{};
        if (!QueryStatus(status)) return std::nullopt;
        return static_cast<std::uint32_t>(status.cbInQue);
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
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
        // A failed call still reports what it moved; counting it avoids
        // losing or repeating those bytes.
        if (!ReadFile(handle_, buffer, want, &got, nullptr)) NoteError(GetLastError());
        return got;
    }

    std::size_t Write(const void* data, std::size_t count) override {
        if (handle_ == INVALID_HANDLE_VALUE || count == 0) return 0;
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
        if (!WriteFile(handle_, data, want, &put, nullptr)) NoteError(GetLastError());
        return put;
    }

    WaitResult WaitReadable(int timeoutMs, bool watchData) override {
        const DWORD start = GetTickCount();
        for (;;) {
            if (failed_) return WaitResult::Failed;
            // The queue is also looked at when data is not watched, to notice
            // a removed adapter.
            const auto waiting = BytesWaiting();
            if (failed_) return WaitResult::Failed;
            if (watchData && waiting && *waiting > 0) return WaitResult::Ready;
            DWORD step = watchData ? 1 : (IsOpen() ? 50 : INFINITE);
            if (timeoutMs >= 0) {
                const DWORD elapsed = GetTickCount() - start;
                if (elapsed >= static_cast<DWORD>(timeoutMs)) return WaitResult::TimedOut;
                step = std::min<DWORD>(step, static_cast<DWORD>(timeoutMs) - elapsed);
            }
            if (wake_ != nullptr && WaitForSingleObject(wake_, step) == WAIT_OBJECT_0)
                return WaitResult::Woken;
            if (wake_ == nullptr) Sleep(step == INFINITE ? 1 : step);
        }
    }

    WaitResult WaitWritable(int timeoutMs) override {
        if (failed_) return WaitResult::Failed;
        // The driver's 1 ms write time-out already waited; one more tick here.
        Sleep(timeoutMs > 0 ? 1 : 0);
        return failed_ ? WaitResult::Failed : WaitResult::Ready;
    }

    void Pause(int ms) override { Sleep(static_cast<DWORD>(std::max(ms, 0))); }

    void Interrupt() override {
        if (wake_ != nullptr) SetEvent(wake_);
    }

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
        if (!failed_ && IsDeviceGone(error)) {
            failed_ = true;
            lostReason_ = SystemErrorText(error);
        }
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE wake_ = nullptr;
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

// The operating system's side of one serial port, as the port driver sees it.
// Each platform supplies one implementation; the simulated one serves tests.
// All the waiting the driver does goes through this interface, so a port that
// is idle costs no processor time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vz {

enum class LineParity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class LineStopBits : std::uint8_t { One, OneAndHalf, Two };

// Everything the driver programs into the line in one go.
struct LineSettings {
    std::uint32_t baud = 9600; // bits per second
    std::uint8_t dataBits = 8; // 5 to 8
    LineParity parity = LineParity::None;
    LineStopBits stopBits = LineStopBits::One;
    bool rtsCtsFlow = false; // output paced by CTS, RTS driven as handshake
    bool rtsOn = false;      // RTS held on (ignored when rtsCtsFlow)
    bool dtrOn = false;
    bool xonXoff = false; // XON/XOFF on both directions
    std::uint16_t xonLimit = 0;
    std::uint16_t xoffLimit = 0;
    char xonChar = 17;
    char xoffChar = 19;

    bool operator==(const LineSettings&) const = default;
};

// Modem input lines as a set of flags.
using TModemLines = std::uint8_t;
inline constexpr TModemLines mlCTS = 1;
inline constexpr TModemLines mlDSR = 2;
inline constexpr TModemLines mlRING = 4;
inline constexpr TModemLines mlDCD = 8;

enum class WaitResult {
    Ready,    // data to read (or room to write)
    TimedOut, // nothing happened within the time
    Woken,    // Interrupt() was called
    Failed    // the port went away; Failed() is now true
};

class PortBackend {
public:
    virtual ~PortBackend() = default;

    // The device name of COM n (1-based) on this platform.
    virtual std::string DeviceName(int comNumber) const = 0;

    // Opens the named device for exclusive use. On failure LastError() says why.
    virtual bool Open(const std::string& name) = 0;
    // Gives the device back with the line settings it had before Open.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // False when the system refuses the settings; LastError() says why.
    virtual bool ApplySettings(const LineSettings& settings) = 0;
    virtual bool SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) = 0;
    virtual void Purge(bool input, bool output) = 0;
    // nullopt when the system cannot tell.
    virtual std::optional<std::uint32_t> BytesWaiting() = 0;
    virtual std::optional<std::uint32_t> OutputQueued() = 0;
    virtual std::optional<TModemLines> ModemLines() = 0;

    // Both move what they can at once and return the count (0 on any failure).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* data, std::size_t count) = 0;

    // Waits for input (only when watchData; a hang-up is always reported), for
    // Interrupt() or for the time-out. A negative time-out waits without limit.
    virtual WaitResult WaitReadable(int timeoutMs, bool watchData) = 0;
    // Waits until the system takes more output, or for the time-out.
    virtual WaitResult WaitWritable(int timeoutMs) = 0;
    // A plain pause of the calling thread.
    virtual void Pause(int ms) = 0;
    // Ends the current or the next WaitReadable early. The one call that is
    // safe from any thread, also while the port is closed.
    virtual void Interrupt() = 0;

    // "WNT", "W95", "W32S" or "??" on Windows; the kernel's name elsewhere.
    virtual std::string PlatformName() const = 0;
    virtual int PlatformMajorVersion() const = 0;

    // Why the last Open or ApplySettings failed, in the system's words.
    virtual std::string LastError() const = 0;
    virtual bool LastErrorAccessDenied() const = 0;

    // Waits of this port that ended because their time ran out, and pauses: the
    // figure the benchmarks hold near zero on an idle or busy link.
    virtual std::uint64_t TimedWakeups() const { return 0; }

    // The open port reported a hang-up or a device error: it is no use any
    // more and should be closed. Cleared by the next Open.
    virtual bool Failed() const = 0;
    virtual std::string LostReason() const = 0;
};

// The serial port of the platform this program was built for.
std::unique_ptr<PortBackend> MakeSystemPort();

} // namespace vz

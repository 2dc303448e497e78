// TCommPortDriver: one serial port, its line settings, the time-out loops that
// write and read it, and the optional periodic delivery of received bytes as
// raw data or fixed-size packets. The operating system is reached only through
// a PortBackend, so all of this logic runs the same on every platform and on
// the simulated port.
#pragma once

#include "link/port_backend.h"
#include "link/tick_clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

// Ordinal n opens COM n+1.
enum TComPortNumber : std::uint8_t {
    pnCOM1,
    pnCOM2,
    pnCOM3,
    pnCOM4,
    pnCOM5,
    pnCOM6,
    pnCOM7,
    pnCOM8,
    pnCOM9,
    pnCOM10,
    pnCOM11,
    pnCOM12,
    pnCOM13,
    pnCOM14,
    pnCOM15,
    pnCOM16
};

enum TComPortBaudRate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200
};

enum TComPortDataBits : std::uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum TComPortStopBits : std::uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum TComPortParity : std::uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TComPortHwHandshaking : std::uint8_t { hhNONE, hhNONERTSON, hhRTSCTS };
enum TComPortSwHandshaking : std::uint8_t { shNONE, shXONXOFF };
enum TPacketMode : std::uint8_t { pmDiscard, pmPass };

// The line speed of a rate, in bits per second.
std::uint32_t BaudRateBitsPerSecond(TComPortBaudRate rate);

class TCommPortDriver;

// The data points into the driver's receive work buffer and is valid only
// during the call.
using TComPortReceiveDataEvent =
    std::function<void(TCommPortDriver& Sender, const void* DataPtr, std::uint32_t DataSize)>;
using TComPortReceivePacketEvent =
    std::function<void(TCommPortDriver& Sender, const void* Packet, std::uint32_t DataSize)>;

class TCommPortDriver {
public:
    // The serial port of this platform, timed by the system tick count.
    TCommPortDriver();
    explicit TCommPortDriver(std::unique_ptr<PortBackend> backend, TickClock clock = SystemTickCount);
    ~TCommPortDriver();
    TCommPortDriver(const TCommPortDriver&) = delete;
    TCommPortDriver& operator=(const TCommPortDriver&) = delete;

    // Published properties.
    TComPortNumber ComPort() const { return comPort_; }
    void SetComPort(TComPortNumber value);
    TComPortBaudRate ComPortSpeed() const { return speed_; }
    void SetComPortSpeed(TComPortBaudRate value);
    TComPortDataBits ComPortDataBits() const { return dataBits_; }
    void SetComPortDataBits(TComPortDataBits value);
    TComPortStopBits ComPortStopBits() const { return stopBits_; }
    void SetComPortStopBits(TComPortStopBits value);
    TComPortParity ComPortParity() const { return parity_; }
    void SetComPortParity(TComPortParity value);
    TComPortHwHandshaking ComPortHwHandshaking() const { return hwHandshaking_; }
    void SetComPortHwHandshaking(TComPortHwHandshaking value);
    TComPortSwHandshaking ComPortSwHandshaking() const { return swHandshaking_; }
    void SetComPortSwHandshaking(TComPortSwHandshaking value);
    std::uint16_t ComPortInBufSize() const { return inBufSize_; }
    void SetComPortInBufSize(std::uint16_t value);
    std::uint16_t ComPortOutBufSize() const { return outBufSize_; }
    void SetComPortOutBufSize(std::uint16_t value);
    std::int16_t PacketSize() const { return packetSize_; }
    void SetPacketSize(std::int16_t value);
    std::int32_t PacketTimeout() const { return packetTimeout_; }
    void SetPacketTimeout(std::int32_t value);
    TPacketMode PacketMode() const { return packetMode_; }
    void SetPacketMode(TPacketMode value) { packetMode_ = value; }
    std::uint16_t ComPortPollingDelay() const { return pollingDelay_; }
    void SetComPortPollingDelay(std::uint16_t value);
    bool EnableDTROnOpen() const { return enableDtrOnOpen_; }
    void SetEnableDTROnOpen(bool value) { enableDtrOnOpen_ = value; }
    std::uint16_t OutputTimeout() const { return outputTimeout_; }
    void SetOutputTimeout(std::uint16_t value) { outputTimeout_ = value; }
    std::uint32_t InputTimeout() const { return inputTimeout_; }
    void SetInputTimeout(std::uint32_t value) { inputTimeout_ = value; }
    bool CheckLineStatus() const { return checkLineStatus_; }
    void SetCheckLineStatus(bool value) { checkLineStatus_ = value; }
    const TComPortReceiveDataEvent& OnReceiveData() const { return onReceiveData_; }
    void SetOnReceiveData(TComPortReceiveDataEvent handler) { onReceiveData_ = std::move(handler); }
    const TComPortReceivePacketEvent& OnReceivePacket() const { return onReceivePacket_; }
    void SetOnReceivePacket(TComPortReceivePacketEvent handler) { onReceivePacket_ = std::move(handler); }

    // A device path that is opened instead of the ComPort number (empty: use
    // the number). Like ComPort, it changes only while closed.
    const std::string& ComPortPath() const { return path_; }
    void SetComPortPath(std::string path);

    // True if the port is open afterwards (also when it already was). Fails,
    // leaving the port closed, when the device cannot be opened or refuses the
    // line settings; LastError() says why.
    bool OpenPort();
    void ClosePort();
    bool IsOpen() const;
    // Programs the line from the properties and purges both queues. False while
    // closed or when the system refuses the settings (the old ones stay).
    bool ApplyLineSettings();

    // Bytes written; gives up after `timeoutMs` without progress.
    std::uint32_t WriteBytes(const void* data, std::uint32_t count, std::uint32_t timeoutMs);
    // True only if every byte was written within OutputTimeout.
    bool WriteText(std::string_view text);
    // Reads until the buffer is full or no byte has come for more than
    // InputTimeout ms. With InputTimeout 0 the read ends as soon as no byte is
    // waiting once at least one came (an empty read still lasts one tick).
    std::uint32_t ReadBytes(void* buffer, std::uint32_t capacity);
    // 65535 while closed.
    std::uint32_t BytesWaiting();
    // ComPortOutBufSize minus the driver's output queue; 65535 while closed.
    std::uint32_t OutputRoom();
    void Purge(bool input, bool output);
    // Empty while closed or when the status cannot be read.
    TModemLines ModemLines();

    void SuspendPolling() { ++pollingPauseCount_; }
    void ResumePolling() { --pollingPauseCount_; }
    std::int32_t PollingPauseCount() const { return pollingPauseCount_; }
    // True while the periodic delivery should run (the port is open); its
    // period is ComPortPollingDelay ms.
    bool PollingActive() const { return pollingActive_; }
    // One tick of the periodic delivery. The owner calls it every
    // ComPortPollingDelay ms from the thread that uses the driver.
    void PollOnce();

    // The device name of the last open or attempt.
    const std::string& PortName() const { return portName_; }
    const std::string& LastError() const { return lastError_; }
    bool LastErrorAccessDenied() const { return lastErrorAccessDenied_; }
    // The open port hung up or reported device errors; close it.
    bool PortFailed() const;
    std::string LostReason() const;
    std::string PlatformName() const;

    // Blocks until input is waiting (only when watchData), the port fails,
    // Interrupt() is called or the time-out ends (negative: no limit).
    WaitResult WaitForEvent(int timeoutMs, bool watchData);
    // Ends a WaitForEvent early; the one call that may come from another thread.
    void Interrupt();
    // Waits that ended on their time-out so far (PortBackend::TimedWakeups); any thread.
    std::uint64_t TimedWakeups() const { return backend_->TimedWakeups(); }

    std::uint32_t Now() const { return clock_(); }

private:
    LineSettings BuildLineSettings() const;
    void ResizeWorkBuffer(std::uint16_t size);
    std::uint32_t ReadIntoWorkBuffer(std::uint32_t count);

    std::unique_ptr<PortBackend> backend_;
    TickClock clock_;

    TComPortNumber comPort_ = pnCOM2;
    TComPortBaudRate speed_ = br9600;
    TComPortDataBits dataBits_ = db8BITS;
    TComPortStopBits stopBits_ = sb1BITS;
    TComPortParity parity_ = ptNONE;
    TComPortHwHandshaking hwHandshaking_ = hhNONERTSON;
    TComPortSwHandshaking swHandshaking_ = shNONE;
    std::uint16_t inBufSize_ = 2048;
    std::uint16_t outBufSize_ = 2048;
    std::int16_t packetSize_ = -1;
    std::int32_t packetTimeout_ = -1;
    TPacketMode packetMode_ = pmDiscard;
    TComPortReceiveDataEvent onReceiveData_;
    TComPortReceivePacketEvent onReceivePacket_;
    std::uint16_t pollingDelay_ = 100;
    bool enableDtrOnOpen_ = true;
    std::uint16_t outputTimeout_ = 500;
    std::uint32_t inputTimeout_ = 200;
    bool checkLineStatus_ = false;

    std::string path_;
    std::vector<std::uint8_t> workBuffer_;
    std::optional<std::uint32_t> packetStart_;
    std::int32_t pollingPauseCount_ = 0;
    bool pollingActive_ = false;

    std::string portName_;
    std::string lastError_;
    bool lastErrorAccessDenied_ = false;
};

} // namespace vz

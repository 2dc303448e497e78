// Base of the four programming engines. An engine never touches the link or the
// screen: it raises these events and its owner services them before the raising
// call returns.
#pragma once

#include "engines/clock.h"
#include "engines/error_code.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vz {

// The device memories a script programs.
enum TMemoryKind : std::uint8_t { mkBootArea, mkKeyboardBank, mkProm };

struct TMemory {
    TMemoryKind Kind = mkBootArea;
    // Keyboard bank 0 to 7, or Prom 1 or 2; 0 for the boot area.
    std::int32_t Index = 0;
    bool operator==(const TMemory&) const = default;
};

// The addresses whose 16-bit sum the device checks after an upload.
struct TAddressRange {
    std::uint16_t First = 0;
    std::uint16_t Last = 0;
    bool operator==(const TAddressRange&) const = default;
};

// The data file a script line programs, as its engine would open it.
struct TProgrammedFile {
    TMemory Memory;
    std::string Path; // ScriptDir followed by the name on the line
    // The range summed for an Intel HEX file; none for an Effect file.
    std::optional<TAddressRange> Checksum;
    bool operator==(const TProgrammedFile&) const = default;
};

class TGestionnaire {
public:
    using TNotifyEvent = std::function<void(TGestionnaire& Sender)>;
    using TCodeEvent = std::function<void(TGestionnaire& Sender, std::uint8_t code)>;
    using TBitsEvent = std::function<void(TGestionnaire& Sender, std::int32_t bits)>;
    using TMemoryEvent = std::function<void(TGestionnaire& Sender, const TMemory& memory)>;
    using TTextEvent = std::function<void(TGestionnaire& Sender, std::string_view text)>;

    // Retransmissions honoured per programmed file or Effect file; the next one fails.
    static constexpr std::int32_t kMaxRetries = 300;

    explicit TGestionnaire(EngineClock clock = EngineClock::System());
    virtual ~TGestionnaire() = default;
    TGestionnaire(const TGestionnaire&) = delete;
    TGestionnaire& operator=(const TGestionnaire&) = delete;

    // ErrorCode := code and ErrorText := text, then OnError. Engines park themselves first.
    virtual void Error(TErrorCode code, const std::string& text);
    // Back to the idle values; keeps the identity values and raises no event.
    virtual void Reset();
    // One step of the engine's own step machine.
    virtual void Execute() = 0;
    // While busy: whether the engine waits for the device rather than for the clock.
    virtual bool WaitsForDevice() const { return true; }
    // The data file `line` would program, worked out without a device; none when this
    // engine does not take the line or the line programs no file.
    virtual std::optional<TProgrammedFile> DescribeLine(const std::string& line) const;

    void SetCurrentLine(const std::string& text) { currentLine_ = text; }
    void SetBusy();
    void ClearBusy();
    void ShowStatus(const std::string& text);
    void SetProgressMax(std::int32_t n);
    void StepProgress();
    void Send(const std::string& text);
    void RequestRx();
    // Drops as many leading characters as `text` has, without comparing them.
    void Consume(std::string_view text);
    void ClearRx();
    // Drops `count` leading characters that are no answer (what arrives before the
    // boot loader calls): the owner hears of them through OnRxDiscarded, never as an
    // answer understood.
    void Discard(std::size_t count);
    void SetRxBuffer(const std::string& text) { rxBuffer_ = text; }
    void SetDeviceId(std::int32_t n);
    void LinkFast();
    void LinkSlow();
    void SetSlowMode(bool slow) { slowMode_ = slow; }
    void SetModelCode(std::uint8_t code) { modelCode_ = code; }
    void SetReportedModelCode(std::uint8_t code) { reportedModelCode_ = code; }
    void SetOptions(std::int32_t bits) { options_ = bits; }
    void SetScriptDir(const std::string& dir) { scriptDir_ = dir; }
    void SetMenuModel(std::uint8_t code) { menuModel_ = code; }

    const std::string& CurrentLine() const { return currentLine_; }
    const std::string& RxBuffer() const { return rxBuffer_; }
    const std::string& TxText() const { return txText_; }
    const std::string& ErrorText() const { return errorText_; }
    TErrorCode ErrorCode() const { return errorCode_; }
    const std::string& StatusText() const { return statusText_; }
    std::int32_t ProgressMax() const { return progressMax_; }
    std::int32_t DeviceId() const { return deviceId_; }
    std::int32_t RetryCount() const { return retryCount_; }
    bool SlowMode() const { return slowMode_; }
    bool Busy() const { return busy_; }
    std::uint8_t ModelCode() const { return modelCode_; }
    std::uint8_t ReportedModelCode() const { return reportedModelCode_; }
    std::int32_t Options() const { return options_; }
    const std::string& ScriptDir() const { return scriptDir_; }
    std::uint8_t MenuModel() const { return menuModel_; }

    TNotifyEvent OnSend;
    TNotifyEvent OnRxChanged;
    TTextEvent OnRxDiscarded;
    TNotifyEvent OnRxRequest;
    TNotifyEvent OnProgressStep;
    TNotifyEvent OnProgressMax;
    TNotifyEvent OnStatus;
    TNotifyEvent OnError;
    TNotifyEvent OnBusyChanged;
    TNotifyEvent OnDeviceId;
    TNotifyEvent OnLinkFast;
    TNotifyEvent OnLinkSlow;
    // Raised by the boot loader engine only.
    TCodeEvent OnModelFound;
    TBitsEvent OnOptions;
    TCodeEvent OnReportedModel;
    // A memory's erase (or update) begins, and its line ends without error.
    TMemoryEvent OnMemoryStarted;
    TMemoryEvent OnMemoryDone;
    // The device acknowledged the file line sent last during an upload: one line's
    // round trip is over.
    TNotifyEvent OnLineAcknowledged;
    // The device asked for a line or record again (counted whether honoured or not).
    TNotifyEvent OnResend;

protected:
    void RaiseModelFound(std::uint8_t code);
    void RaiseOptions(std::int32_t bits);
    void RaiseReportedModel(std::uint8_t code);
    // OnMemoryStarted, and the memory is remembered until its line ends.
    void BeginMemory(const TMemory& memory);
    // OnMemoryDone for the memory begun on this line, if any.
    void EndMemory();

    void LineAcknowledged();

    // Counts one retransmission; past the limit the engine fails and the answer is false.
    bool CountRetry();
    void FailTooManyRetries();

    // The device's reply at the start of the received text, asked for first.
    enum class TReply : std::uint8_t { Waiting, Accepted, Failed };
    // Whether an accepting "." is taken from the text or left for the caller.
    enum class TDot : std::uint8_t { Take, Keep };
    // "." accepts; `refusal` is taken and fails the engine with `code` and `text`;
    // anything else, nothing included, is still awaited and left in place.
    TReply CheckReply(char refusal, TErrorCode code, const std::string& text, TDot dot = TDot::Take);
    // The same after a command the device may not know: "I" is "Instruction unknown".
    TReply CommandReply(TDot dot = TDot::Take);
    static constexpr char kInstructionUnknown[] = "Instruction unknown";

    // Checked look at the first received character: the device can send anything,
    // including nothing.
    bool RxBeginsWith(char c) const { return !rxBuffer_.empty() && rxBuffer_.front() == c; }

    EngineClock clock_;

    std::string currentLine_;
    std::string rxBuffer_;
    std::string txText_;
    std::string errorText_;
    TErrorCode errorCode_ = TErrorCode::none;
    std::string statusText_;
    std::int32_t progressMax_ = 0;
    std::int32_t deviceId_ = 0;
    std::int32_t retryCount_ = 0;
    bool slowMode_ = false;
    bool busy_ = false;
    std::uint8_t modelCode_ = 0;
    std::uint8_t reportedModelCode_ = 0;
    std::int32_t options_ = 0;
    std::string scriptDir_;
    std::uint8_t menuModel_ = 0;

private:
    void Raise(const TNotifyEvent& event);

    std::optional<TMemory> memory_;
};

} // namespace vz

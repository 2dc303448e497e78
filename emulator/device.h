// The device at the far end of the serial line: boot loader, general commands,
// keyboard loader and JTAG player, as one step machine fed byte by byte. It has
// no clock of its own: every call says what time it is, so tests can drive it
// without waiting and the pty runner can pace it like a real line.
#pragma once

#include "emulator/device_config.h"
#include "emulator/faults.h"
#include "emulator/jtag_chain.h"
#include "emulator/memory_image.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vz::emu {

// Bytes the device sends, with the line speed they go out at.
struct Emission {
    std::string bytes;
    int baud = kFastBaud;
};

inline constexpr Micros kCallPeriod = 100 * kMillisecond;
inline constexpr Micros kTextSilence = 20 * kMillisecond;
inline constexpr Micros kPartialSilence = 500 * kMillisecond;
inline constexpr Micros kRebootDelay = 1000 * kMillisecond;

class Device {
public:
    enum class Mode {
        Off,          // acknowledged "FI"; starts again after a short while
        Calling,      // boot loader calls "%" and waits for the host's "%"
        TypeCheck,    // two-digit type numbers
        Command,      // two-letter commands
        VersionText,  // the text after "V" c
        FreeText,     // the text after "UV" or "OP"
        Erasing,      // flash erase running; host bytes wait
        FlashLines,   // Intel HEX lines for the boot area or a keyboard bank
        JtagSlowWait, // after "S8"/"S9": waits for "P8"/"P9"
        JtagRecords,  // JTAG command records
        JtagBlock,    // the data block a scan record announced
        JtagVerdict,  // TDO answer sent: waits for "." or "R"
        StrayLine,    // a record line outside any upload: answered "I" at its end
    };

    Device(const DeviceConfig& config, const DeviceMemory& memory, Micros now);
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // One byte from the host, at the moment it reaches the device. hostBaud is the
    // speed the host sends at (0: unknown); with strict speed a mismatch loses the byte.
    void receive(char byte, Micros now, int hostBaud = 0);
    void receive(std::string_view bytes, Micros now, int hostBaud = 0);
    // Lets time pass: calls, erase completion, texts ended by silence.
    void tick(Micros now);
    // When tick must next be called, or kNever.
    Micros nextDeadline() const;
    std::vector<Emission> takeOutput();
    // Notes about refused JTAG commands and garbled lines, for the transcript.
    std::vector<std::string> takeNotes();

    // The device is started again (the operator restarts it holding ENTER).
    void reboot(Micros now);

    int lineSpeed() const { return speed_; }
    Mode mode() const { return mode_; }
    bool finishAcknowledged() const { return finishAcknowledged_; }
    // An injected fault has made the update fail: an "X" from the fault options,
    // a refused type number, or the device fallen silent.
    bool faultStruck() const { return faults_.refused() || typeRefused_ || silent(); }
    long bytesReceived() const { return received_; }
    const DeviceMemory& memory() const { return memory_; }
    // True once after anything remembered changed.
    bool takeMemoryChanged();
    const JtagChain& chain() const { return chain_; }

private:
    enum class FlashTarget { Boot, Bank };

    void handle(char byte, Micros now);
    void handleCommand(char first, char second, Micros now);
    void say(std::string_view text);
    void stray();
    void awaitHost();
    void note(std::string text);
    bool silent() const;

    void startCalling(Micros now);
    std::string identification() const;
    void finishVersion();
    void finishFreeText();
    void startFlash(FlashTarget target, int bank, Micros now);
    void finishErase(Micros now);
    void flashLine(const std::string& raw);
    void startJtag(bool slow);
    void jtagLine(const std::string& raw);
    void jtagBlockDone();
    void runJtag(const JtagCommand& command);
    void endSlowMode();
    void appendLineByte(char byte, Micros now);

    DeviceConfig config_;
    DeviceMemory memory_;
    JtagChain chain_;
    JtagPlayer player_;
    FaultPlan faults_;

    Mode mode_ = Mode::Calling;
    int speed_ = kFastBaud;
    bool slow_ = false;
    long received_ = 0;
    bool finishAcknowledged_ = false;
    bool typeRefused_ = false;
    bool memoryChanged_ = false;

    Micros nextCall_ = 0;
    Micros rebootAt_ = kNever;
    Micros eraseDoneAt_ = kNever;
    Micros lastByteAt_ = 0;

    char pending_ = 0; // first letter of a two-letter command
    std::string text_; // type digits, version text, free text, line, or data block
    bool lineOverflow_ = false;
    int versionComponent_ = 0;
    bool freeTextIsOption_ = false;
    FlashTarget flashTarget_ = FlashTarget::Boot;
    int flashBank_ = 0;
    bool firstLine_ = true;
    JtagCommand pendingScan_;
    std::size_t blockLength_ = 0;
    std::string tdoAnswer_;
    std::deque<char> held_; // host bytes that arrived during an erase

    std::vector<Emission> output_;
    std::vector<std::string> notes_;
};

std::string_view ModeName(Device::Mode mode);

} // namespace vz::emu

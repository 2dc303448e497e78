// The loaders' side of boot area and keyboard bank programming: erase, HEX
// lines with flash semantics, and the checksum record.
#include "emulator/device.h"

#include "emulator/hex_text.h"

#include <utility>

namespace vz::emu {

namespace {

constexpr std::uint8_t kChecksumRecord = 0x0C;

} // namespace

void Device::startFlash(FlashTarget target, int bank, Micros now) {
    say(".");
    flashTarget_ = target;
    flashBank_ = bank;
    mode_ = Mode::Erasing;
    eraseDoneAt_ = now + config_.eraseTime;
}

void Device::finishErase(Micros now) {
    eraseDoneAt_ = kNever;
    if (faults_.refuseNext(FaultKind::Erase)) {
        mode_ = Mode::Command;
        say("X");
        awaitHost();
    } else {
        FlashWindow window =
            flashTarget_ == FlashTarget::Boot ? BootWindow(memory_) : BankWindow(memory_, flashBank_);
        EraseFlash(*window.bytes);
        memoryChanged_ = true;
        mode_ = Mode::FlashLines;
        text_.clear();
        firstLine_ = true;
        say(".");
        awaitHost();
    }
    // Bytes the host sent meanwhile are taken now, in order.
    while (!held_.empty() && mode_ != Mode::Erasing) {
        char c = held_.front();
        held_.pop_front();
        handle(c, now);
    }
}

void Device::flashLine(const std::string& raw) {
    const bool boot = flashTarget_ == FlashTarget::Boot;
    // Lines come with CR LF; a line without its CR is as garbled as a bad checksum.
    const ReceivedLine received = ReadReceivedLine(raw);
    const bool crlf = received.crlf;
    const std::string& line = received.text;
    const ParsedRecord& parsed = received.parsed;
    if (parsed.check != RecordCheck::Good) {
        if (boot && PeekRecordType(line) == kChecksumRecord) {
            // The boot engine never sends its checksum record twice, so asking for it
            // again would leave both sides waiting: the check fails instead.
            note("garbled checksum record \"" + line + "\": refused");
            mode_ = Mode::Command;
            say("X");
        } else {
            note((crlf ? "garbled line \"" : "line without CR LF \"") + line + "\": asking again");
            say("R");
        }
        awaitHost();
        return;
    }
    const Record& record = parsed.record;
    const bool checksum = record.type == kChecksumRecord;
    const bool first = std::exchange(firstLine_, false);
    // The first line after the erase is never asked again: the host has no line before it to resend.
    if (!first && !(checksum && boot) && faults_.resendNow()) {
        say("R");
        awaitHost();
        return;
    }
    FlashWindow window = boot ? BootWindow(memory_) : BankWindow(memory_, flashBank_);
    if (checksum) {
        mode_ = Mode::Command;
        bool refuse = faults_.refuseNext(FaultKind::Checksum);
        bool match =
            record.data.size() == 2 && (record.data[0] << 8 | record.data[1]) == Sum16(*window.bytes);
        if (!match)
            note("checksum record " + HexBytes(record.data) + ", memory sums to " +
                 HexWord(Sum16(*window.bytes)));
        say(!refuse && match ? "." : "X");
        awaitHost();
        return;
    }
    if (faults_.refuseNext(boot ? FaultKind::Boot : FaultKind::Bank)) {
        mode_ = Mode::Command;
        say("X");
        awaitHost();
        return;
    }
    if (record.type == 0x00) {
        if (!WriteFlash(window, record.address, record.data)) {
            note("data at " + HexWord(record.address) + " lies outside the memory being programmed");
            mode_ = Mode::Command;
            say("X");
            awaitHost();
            return;
        }
        memoryChanged_ = true;
    }
    say(".");
    awaitHost();
}

} // namespace vz::emu

// The JTAG player's side of a PROM update: command records, data blocks, TDO
// answers and the slow mode.
#include "emulator/device.h"

#include "emulator/hex_text.h"
#include "emulator/jtag_record.h"

#include <utility>

namespace vz::emu {

void Device::startJtag(bool slow) {
    player_.resetEndStates();
    text_.clear();
    say(".");
    awaitHost();
    if (slow) {
        slow_ = true;
        speed_ = kSlowBaud; // after the acknowledgement, which still goes out fast
        mode_ = Mode::JtagSlowWait;
        pending_ = 0;
    } else {
        mode_ = Mode::JtagRecords;
    }
}

void Device::endSlowMode() {
    slow_ = false;
    speed_ = kFastBaud;
}

void Device::jtagLine(const std::string& raw) {
    const ReceivedLine received = ReadReceivedLine(raw);
    const bool crlf = received.crlf;
    const std::string& line = received.text;
    const ParsedRecord& parsed = received.parsed;
    if (parsed.check != RecordCheck::Good) {
        note((crlf ? "garbled record \"" : "record without CR LF \"") + line + "\": asking again");
        say("R");
        awaitHost();
        return;
    }
    DecodedRecord decoded = DecodeJtagRecord(parsed.record);
    if (decoded.kind == DecodedRecord::Kind::End) {
        mode_ = Mode::Command;
        stray();
        say(".");
        awaitHost();
        if (slow_) endSlowMode();
        return;
    }
    if (faults_.resendNow()) {
        say("R");
        awaitHost();
        return;
    }
    if (faults_.refuseNext(FaultKind::Prom)) {
        say("X");
        awaitHost();
        return;
    }
    switch (decoded.kind) {
    case DecodedRecord::Kind::Invalid:
        note("record \"" + line + "\": " + decoded.problem);
        say("X");
        awaitHost();
        return;
    case DecodedRecord::Kind::NeedBlock:
        pendingScan_ = decoded.command;
        blockLength_ = static_cast<std::size_t>(decoded.blockLength);
        mode_ = Mode::JtagBlock;
        say(std::string{kEsc, '.'});
        awaitHost();
        return;
    default:
        runJtag(decoded.command);
        return;
    }
}

void Device::jtagBlockDone() {
    std::string block = std::move(text_);
    text_.clear();
    mode_ = Mode::JtagRecords;
    auto bytes = CheckDataBlock(block);
    if (!bytes) {
        note("data block \"" + block + "\" fails its sum: asking again");
        say("R");
        awaitHost();
        return;
    }
    if (faults_.resendNow()) {
        say("R");
        awaitHost();
        return;
    }
    JtagCommand command = pendingScan_;
    command.tdi = std::move(*bytes);
    runJtag(command);
}

void Device::runJtag(const JtagCommand& command) {
    JtagOutcome outcome = player_.execute(command);
    memoryChanged_ = true;
    if (!outcome.ok) {
        note("JTAG command refused: " + outcome.problem);
        say("X");
        awaitHost();
        return;
    }
    if (command.kind == JtagCommand::Kind::Scan && command.wantTdo) {
        tdoAnswer_ = EncodeTdoAnswer(outcome.tdo, config_.tdoEscapes);
        mode_ = Mode::JtagVerdict;
        say(tdoAnswer_);
        awaitHost();
        return;
    }
    stray();
    say(".");
    awaitHost();
}

} // namespace vz::emu

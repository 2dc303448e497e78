// The device's step machine: timing, the boot loader's call, sync and type check,
// and the general commands. Uploads and the JTAG player have files of their own.
#include "emulator/device.h"

#include "emulator/hex_text.h"
#include "emulator/models.h"

#include <utility>

namespace vz::emu {

namespace {

constexpr std::size_t kMaxLine = 600; // longer than any record line (11 + 2 x 255)

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Version texts are shown back by "T" between a "." and a "."; a "." inside,
// a blank or a control character could not be read back, so they are refused.
bool StorableVersion(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c <= ' ' || c > '~' || c == '.') return false;
    return true;
}

} // namespace

std::string_view ModeName(Device::Mode mode) {
    switch (mode) {
    case Device::Mode::Off:
        return "off";
    case Device::Mode::Calling:
        return "calling";
    case Device::Mode::TypeCheck:
        return "type-check";
    case Device::Mode::Command:
        return "command";
    case Device::Mode::VersionText:
        return "version-text";
    case Device::Mode::FreeText:
        return "free-text";
    case Device::Mode::Erasing:
        return "erasing";
    case Device::Mode::FlashLines:
        return "flash-lines";
    case Device::Mode::JtagSlowWait:
        return "jtag-slow-wait";
    case Device::Mode::JtagRecords:
        return "jtag-records";
    case Device::Mode::JtagBlock:
        return "jtag-block";
    case Device::Mode::JtagVerdict:
        return "jtag-verdict";
    case Device::Mode::StrayLine:
        return "stray-line";
    }
    return "?";
}

Device::Device(const DeviceConfig& config, const DeviceMemory& memory, Micros now)
    : config_(config), memory_(memory), chain_(config.promIds, {&memory_.proms[0], &memory_.proms[1]}),
      player_(chain_), faults_(config.faults) {
    ModelByCode(config_.modelCode); // rejects a code outside the table early
    startCalling(now);
}

bool Device::silent() const {
    return config_.faults.silenceAfter >= 0 && received_ >= config_.faults.silenceAfter;
}

void Device::say(std::string_view text) {
    if (text.empty() || silent()) return;
    if (!output_.empty() && output_.back().baud == speed_) {
        output_.back().bytes += text;
    } else {
        output_.push_back({std::string(text), speed_});
    }
}

// Stray bytes go only where the host is scanning past anything that is not
// the answer it waits for: before a call, before the "." of the sync, and
// before the "." that ends a JTAG statement.
void Device::stray() {
    say(faults_.strayBytes());
}

// A zero byte cuts the host's received chunk short, so one may follow only a
// finished answer, when nothing more comes until the host has spoken.
void Device::awaitHost() {
    if (faults_.zeroNow()) say(std::string(1, '\0'));
}

void Device::note(std::string text) {
    notes_.push_back(std::move(text));
}

std::vector<Emission> Device::takeOutput() {
    return std::exchange(output_, {});
}

std::vector<std::string> Device::takeNotes() {
    return std::exchange(notes_, {});
}

bool Device::takeMemoryChanged() {
    return std::exchange(memoryChanged_, false);
}

void Device::startCalling(Micros now) {
    mode_ = Mode::Calling;
    nextCall_ = now;
    rebootAt_ = kNever;
    eraseDoneAt_ = kNever;
    pending_ = 0;
    text_.clear();
    held_.clear();
    speed_ = kFastBaud;
    slow_ = false;
    chain_.powerUp();
    player_.resetEndStates();
}

void Device::reboot(Micros now) {
    startCalling(now);
}

void Device::receive(std::string_view bytes, Micros now, int hostBaud) {
    for (char c : bytes)
        receive(c, now, hostBaud);
}

void Device::receive(char byte, Micros now, int hostBaud) {
    tick(now);
    ++received_;
    if (config_.strictSpeed && hostBaud != 0 && hostBaud != speed_) {
        note("byte sent at " + std::to_string(hostBaud) + " baud while the device is at " +
             std::to_string(speed_) + ": lost");
        return;
    }
    if (mode_ == Mode::Erasing) {
        held_.push_back(byte);
        return;
    }
    handle(byte, now);
}

Micros Device::nextDeadline() const {
    switch (mode_) {
    case Mode::Calling:
        return nextCall_;
    case Mode::Off:
        return rebootAt_;
    case Mode::Erasing:
        return eraseDoneAt_;
    case Mode::VersionText:
    case Mode::FreeText:
        return text_.empty() ? kNever : lastByteAt_ + kTextSilence;
    case Mode::FlashLines:
    case Mode::JtagRecords:
    case Mode::JtagBlock:
        return text_.empty() ? kNever : lastByteAt_ + kPartialSilence;
    case Mode::StrayLine:
        return lastByteAt_ + kPartialSilence;
    default:
        return kNever;
    }
}

void Device::tick(Micros now) {
    switch (mode_) {
    case Mode::Calling:
        if (now >= nextCall_) {
            stray();
            say("%");
            awaitHost();
            // After a long gap the calls resume at their pace rather than in a burst.
            nextCall_ += kCallPeriod;
            if (nextCall_ <= now) nextCall_ = now + kCallPeriod;
        }
        break;
    case Mode::Off:
        if (now >= rebootAt_) startCalling(now);
        break;
    case Mode::Erasing:
        if (now >= eraseDoneAt_) finishErase(now);
        break;
    case Mode::VersionText:
        if (!text_.empty() && now >= lastByteAt_ + kTextSilence) finishVersion();
        break;
    case Mode::FreeText:
        if (!text_.empty() && now >= lastByteAt_ + kTextSilence) finishFreeText();
        break;
    case Mode::FlashLines:
    case Mode::JtagRecords:
    case Mode::JtagBlock:
        if (!text_.empty() && now >= lastByteAt_ + kPartialSilence) {
            // A line or block that stopped half way: ask for it again rather than wait forever.
            note("incomplete " + std::string(mode_ == Mode::JtagBlock ? "data block" : "line") + " of " +
                 std::to_string(text_.size()) + " characters: asking again");
            text_.clear();
            lineOverflow_ = false;
            if (mode_ == Mode::JtagBlock) mode_ = Mode::JtagRecords;
            say("R");
            awaitHost();
        }
        break;
    case Mode::StrayLine:
        if (now >= lastByteAt_ + kPartialSilence) {
            mode_ = Mode::Command;
            say("I");
            awaitHost();
        }
        break;
    default:
        break;
    }
}

void Device::handle(char byte, Micros now) {
    switch (mode_) {
    case Mode::Off:
    case Mode::Erasing: // bytes are held by receive(); nothing reaches here
        break;
    case Mode::Calling:
        if (byte == '%') {
            stray();
            say(".");
            awaitHost();
            mode_ = Mode::TypeCheck;
            text_.clear();
        }
        break;
    case Mode::TypeCheck: {
        if (!IsDigit(byte)) {
            text_.clear();
            say("X");
            awaitHost();
            break;
        }
        text_ += byte;
        if (text_.size() < 2) break;
        int number = std::stoi(text_);
        text_.clear();
        typeRefused_ = typeRefused_ || config_.faults.refuseType;
        if (!config_.faults.refuseType && number == ModelByCode(config_.modelCode).typeNumber) {
            say(".");
            say(identification());
            say(".");
            awaitHost();
            mode_ = Mode::Command;
            pending_ = 0;
        } else {
            say("X");
            awaitHost();
        }
        break;
    }
    case Mode::Command:
        if (pending_ == 0) {
            if (byte == ':') {
                mode_ = Mode::StrayLine;
                lastByteAt_ = now;
            } else if (std::string_view("RNFVTUOPSD").find(byte) != std::string_view::npos) {
                pending_ = byte;
            } else {
                say("I");
                awaitHost();
            }
        } else {
            char first = std::exchange(pending_, 0);
            handleCommand(first, byte, now);
        }
        break;
    case Mode::StrayLine:
        lastByteAt_ = now;
        if (byte == '\n') {
            mode_ = Mode::Command;
            say("I");
            awaitHost();
        }
        break;
    case Mode::VersionText:
        text_ += byte;
        lastByteAt_ = now;
        if (text_.size() == 4) finishVersion();
        break;
    case Mode::FreeText:
        text_ += byte;
        lastByteAt_ = now;
        break;
    case Mode::FlashLines:
    case Mode::JtagRecords:
        if (byte == '\n') {
            std::string line = std::move(text_);
            text_.clear();
            bool overflow = std::exchange(lineOverflow_, false);
            if (overflow) line = "(too long)";
            if (mode_ == Mode::FlashLines) {
                flashLine(line);
            } else {
                jtagLine(line);
            }
        } else {
            appendLineByte(byte, now);
        }
        break;
    case Mode::JtagBlock:
        text_ += byte;
        lastByteAt_ = now;
        if (text_.size() == blockLength_) jtagBlockDone();
        break;
    case Mode::JtagVerdict:
        if (byte == '.') {
            mode_ = Mode::JtagRecords;
            stray();
            say(".");
            awaitHost();
        } else if (byte == 'R') {
            say(tdoAnswer_);
            awaitHost();
        } else {
            note("expected \".\" or \"R\" after a TDO answer");
            mode_ = Mode::JtagRecords;
            say("X");
            awaitHost();
            if (byte != '\r' && byte != '\n') appendLineByte(byte, now);
        }
        break;
    case Mode::JtagSlowWait:
        if (pending_ == 0) {
            pending_ = byte;
            break;
        }
        if (pending_ == 'P' && (byte == '8' || byte == '9')) {
            pending_ = 0;
            mode_ = Mode::JtagRecords;
            if (config_.answerSlowP) {
                say(".");
                awaitHost();
            }
        } else {
            pending_ = 0;
            note("expected \"P8\" or \"P9\" after a slow start");
            say("I");
            awaitHost();
        }
        break;
    }
}

void Device::appendLineByte(char byte, Micros now) {
    lastByteAt_ = now;
    if (text_.size() >= kMaxLine) {
        lineOverflow_ = true;
        return;
    }
    text_ += byte;
}

void Device::handleCommand(char first, char second, Micros now) {
    const bool digit = IsDigit(second);
    const bool bankDigit = second >= '0' && second <= '7';
    const bool promDigit = second == '8' || second == '9';
    switch (first) {
    case 'R':
        if (second != 'S') break;
        say(".");
        awaitHost();
        // The reset restarts the JTAG side; the loader itself stays in charge.
        chain_.powerUp();
        player_.resetEndStates();
        return;
    case 'N':
        if (second != 'P') break;
        say(".");
        awaitHost();
        return;
    case 'F':
        if (second == 'I') {
            say(".");
            awaitHost();
            finishAcknowledged_ = true;
            mode_ = Mode::Off;
            rebootAt_ = config_.restartAfterFinish ? now + kRebootDelay : kNever;
            return;
        }
        if (!digit) break;
        say(".");
        awaitHost();
        return;
    case 'V':
        if (!digit) break;
        say(".");
        awaitHost();
        versionComponent_ = second - '0';
        text_.clear();
        mode_ = Mode::VersionText;
        return;
    case 'T':
        if (!digit) break;
        say(".");
        say(memory_.versions[static_cast<std::size_t>(second - '0')]);
        say(".");
        awaitHost();
        return;
    case 'U':
    case 'O':
        if (second != (first == 'U' ? 'V' : 'P')) break;
        say(".");
        awaitHost();
        freeTextIsOption_ = first == 'O';
        text_.clear();
        mode_ = Mode::FreeText;
        return;
    case 'P':
        if (second == 'B') return startFlash(FlashTarget::Boot, 0, now);
        if (bankDigit) return startFlash(FlashTarget::Bank, second - '0', now);
        if (promDigit) return startJtag(false);
        break;
    case 'S':
        if (promDigit) return startJtag(true);
        break;
    case 'D':
        if (bankDigit) {
            say(".");
            say(config_.keybId);
            say(".");
            awaitHost();
            return;
        }
        if (promDigit) {
            // Least significant byte first, the order the chain shifts the codes out.
            std::uint64_t id = chain_.chainIdcode();
            std::string text;
            for (int i = 0; i < 8; ++i)
                text += HexByte(static_cast<std::uint8_t>(id >> (8 * i)));
            say(".");
            say(text);
            say(".");
            awaitHost();
            return;
        }
        break;
    default:
        break;
    }
    note(std::string("unknown command \"") + first + second + "\"");
    say("I");
    awaitHost();
}

std::string Device::identification() const {
    const Model& model = ModelByCode(config_.modelCode);
    std::uint16_t checksum = config_.bootChecksum.value_or(Sum16(memory_.boot));
    std::uint16_t id = config_.deviceId.value_or(DefaultDeviceId(config_.modelCode));
    std::string text = HexWord(checksum) + HexWord(id);
    if (!config_.shortId)
        text += HexWord(config_.options) + HexByte(static_cast<std::uint8_t>(model.typeNumber));
    return text;
}

void Device::finishVersion() {
    std::string text = std::move(text_);
    text_.clear();
    mode_ = Mode::Command;
    bool refuse = faults_.refuseNext(FaultKind::Version);
    if (refuse || !StorableVersion(text)) {
        if (!refuse) note("version text \"" + text + "\" cannot be stored");
        say("X");
    } else {
        // Fewer than four characters are kept right-aligned, padded with zeros.
        memory_.versions[static_cast<std::size_t>(versionComponent_)] =
            std::string(4 - text.size(), '0') + text;
        memoryChanged_ = true;
        say(".");
    }
    awaitHost();
}

void Device::finishFreeText() {
    std::string text = std::move(text_);
    text_.clear();
    mode_ = Mode::Command;
    if (faults_.refuseNext(FaultKind::Version)) {
        say("X");
    } else {
        (freeTextIsOption_ ? memory_.optionText : memory_.userVersion) = text;
        memoryChanged_ = true;
        say(".");
    }
    awaitHost();
}

} // namespace vz::emu

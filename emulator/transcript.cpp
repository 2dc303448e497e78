#include "emulator/transcript.h"

#include "emulator/hex_text.h"
#include "emulator/pacer.h"

namespace vz::emu {

std::string EscapeBytes(std::string_view bytes) {
    std::string text;
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\':
            text += "\\\\";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\n':
            text += "\\n";
            break;
        case 27:
            text += "\\e";
            break;
        case 0:
            text += "\\0";
            break;
        default:
            if (c > ' ' && c < 0x7F) {
                text += ch;
            } else {
                text += "\\x" + HexByte(c);
            }
        }
    }
    return text;
}

void Transcript::bytes(Direction direction, std::string_view data, Micros at, int baud) {
    if (!out_ || data.empty()) return;
    if (open_ && (direction != direction_ || at - last_ > gap_)) flush();
    if (!open_) {
        open_ = true;
        direction_ = direction;
        first_ = at;
        data_.clear();
    }
    last_ = at;
    gap_ = 2 * CharTime(baud);
    data_ += data;
}

void Transcript::note(Micros at, std::string_view text) {
    if (!out_) return;
    flush();
    *out_ << "# " << at << ' ' << text << '\n';
    out_->flush();
}

void Transcript::idle(Micros now) {
    if (open_ && now - last_ > gap_) flush();
}

void Transcript::flush() {
    if (!out_ || !open_) return;
    open_ = false;
    *out_ << first_ << ' ' << last_ << ' ' << (direction_ == Direction::HostToDevice ? "H>D" : "D>H") << ' '
          << data_.size() << ' ' << EscapeBytes(data_) << '\n';
    out_->flush();
}

} // namespace vz::emu

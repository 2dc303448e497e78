#include "test_host.h"

#include "emulator/jtag_record.h"
#include "emulator/models.h"

#include <algorithm>

namespace vz::emu::test {

Bench::Bench(const DeviceConfig& config, const DeviceMemory& memory)
    : config_(config), device_(std::make_unique<Device>(config, memory, 0)) {
    device_->tick(0);
    device_->takeOutput(); // the first call, made at power-up
}

std::string Bench::collect() {
    emissions_ = device_->takeOutput();
    std::string text;
    for (const auto& e : emissions_)
        text += e.bytes;
    return text;
}

std::string Bench::send(std::string_view bytes, int hostBaud) {
    device_->receive(bytes, now_, hostBaud);
    return collect();
}

std::string Bench::wait(Micros duration) {
    const Micros target = now_ + duration;
    std::vector<Emission> all;
    for (int guard = 0; guard < 100000; ++guard) {
        Micros next = device_->nextDeadline();
        if (next > target) break;
        now_ = std::max(now_, next);
        device_->tick(now_);
        auto out = device_->takeOutput();
        all.insert(all.end(), out.begin(), out.end());
    }
    now_ = target;
    device_->tick(now_);
    auto out = device_->takeOutput();
    all.insert(all.end(), out.begin(), out.end());
    emissions_ = all;
    std::string text;
    for (const auto& e : all)
        text += e.bytes;
    return text;
}

std::string Bench::connect() {
    std::string sync = send("%");
    const Model& model = ModelByCode(config_.modelCode);
    return sync + send(std::to_string(model.typeNumber));
}

std::string RecordText(std::uint8_t type, std::uint16_t address, const Bytes& data) {
    Record r;
    r.type = type;
    r.address = address;
    r.data = data;
    return BuildRecordLine(r);
}

std::string Line(std::uint8_t type, std::uint16_t address, const Bytes& data) {
    return RecordText(type, address, data) + "\r\n";
}

std::string ChecksumLine(std::uint16_t sum) {
    return Line(0x0C, 0, {static_cast<std::uint8_t>(sum >> 8), static_cast<std::uint8_t>(sum)});
}

std::uint16_t ImageSum(const std::vector<std::string>& lines, std::uint32_t first, std::uint32_t last) {
    Bytes image(0x10000, 0xFF);
    for (const auto& l : lines) {
        ParsedRecord p = ParseRecordLine(l);
        if (p.check != RecordCheck::Good) continue;
        if (p.record.type == 0x01) break;
        if (p.record.type != 0x00) continue;
        for (std::size_t k = 0; k < p.record.data.size(); ++k)
            image[(p.record.address + k) & 0xFFFF] = p.record.data[k];
    }
    unsigned sum = 0;
    for (std::uint32_t a = first; a <= last; ++a)
        sum += image[a];
    return static_cast<std::uint16_t>(sum);
}

std::string Clean(std::string_view answer) {
    std::string text;
    for (char c : answer)
        if (c != '\0' && !(c >= 'a' && c <= 'z')) text += c;
    return text;
}

EncodedCommand EncodeCommand(const JtagCommand& c) {
    switch (c.kind) {
    case JtagCommand::Kind::RunTest:
        return {
            RecordText(kRecRunTest, 0,
                       {static_cast<std::uint8_t>(c.clocks >> 24), static_cast<std::uint8_t>(c.clocks >> 16),
                        static_cast<std::uint8_t>(c.clocks >> 8), static_cast<std::uint8_t>(c.clocks)}),
            {}};
    case JtagCommand::Kind::State: {
        Bytes codes;
        for (auto s : c.path)
            codes.push_back(static_cast<std::uint8_t>(s));
        return {RecordText(kRecState, 0, codes), {}};
    }
    case JtagCommand::Kind::EndIr:
    case JtagCommand::Kind::EndDr:
        return {RecordText(c.kind == JtagCommand::Kind::EndIr ? kRecEndIr : kRecEndDr, 0,
                           {static_cast<std::uint8_t>(c.endState)}),
                {}};
    case JtagCommand::Kind::Scan:
        break;
    }
    std::uint8_t type = c.instructionRegister ? 0x02 : 0x03;
    if (c.wantTdo) type |= kScanTdo;
    if (c.start) type |= kScanStart;
    if (c.end) type |= kScanEnd;
    const auto address = static_cast<std::uint16_t>(c.length);
    Bytes tdi(c.tdi.begin(), c.tdi.begin() + static_cast<std::ptrdiff_t>((c.length + 7) / 8));
    if (c.instructionRegister) return {RecordText(type, address, tdi), {}};
    std::string hex = HexBytes(tdi);
    if (hex.size() >= 2 && std::all_of(hex.begin(), hex.end(), [&](char d) { return d == hex[0]; }))
        return {RecordText(type | kScanFill, address, {tdi[0]}), {}};
    unsigned sum = 0;
    for (auto b : tdi)
        sum += b;
    std::string block = hex + HexByte(static_cast<std::uint8_t>(sum));
    return {RecordText(type, address, {static_cast<std::uint8_t>(block.size())}), block};
}

std::optional<Bytes> DecodeTdoAnswer(std::string_view answer) {
    std::string hex;
    bool ended = false;
    for (std::size_t i = 0; i < answer.size(); ++i) {
        if (answer[i] != kEsc) {
            hex += answer[i];
            continue;
        }
        if (i + 1 >= answer.size()) break;
        char next = answer[++i];
        if (next == kEsc) {
            hex += "1B";
        } else if (next == '0') {
            hex += "00";
        } else if (next == '.') {
            ended = true;
            break;
        }
    }
    if (!ended) return std::nullopt;
    auto bytes = ParseHexBytes(hex);
    if (!bytes || bytes->empty()) return std::nullopt;
    std::uint8_t sum = bytes->back();
    bytes->pop_back();
    unsigned total = 0;
    for (auto b : *bytes)
        total += b;
    if ((total & 0xFF) != sum) return std::nullopt;
    return bytes;
}

std::string MiniHost::programFlash(const std::string& command, const std::vector<std::string>& lines,
                                   std::uint32_t first, std::uint32_t last) {
    std::string answer = Clean(bench_.send(command));
    if (answer != ".") return command + " answered \"" + answer + "\"";
    answer = Clean(bench_.wait(200 * kMillisecond));
    if (answer != ".") return "erase answered \"" + answer + "\"";
    // Line 0 goes out twice, as the updater's engines send it.
    std::size_t cursor = 0;
    answer = Clean(bench_.send(lines.at(0) + "\r\n"));
    for (;;) {
        if (answer == ".") {
            if (cursor >= lines.size()) break;
            answer = Clean(bench_.send(lines[cursor++] + "\r\n"));
        } else if (answer == "R") {
            ++resends_;
            answer = Clean(bench_.send(lines[cursor == 0 ? 0 : cursor - 1] + "\r\n"));
        } else {
            return "line " + std::to_string(cursor) + " answered \"" + answer + "\"";
        }
    }
    for (;;) {
        answer = Clean(bench_.send(ChecksumLine(ImageSum(lines, first, last))));
        if (answer != "R") break;
        ++resends_;
    }
    return answer == "." ? "." : "checksum answered \"" + answer + "\"";
}

std::string MiniHost::playEffect(char prom, const std::vector<std::string>& lines, bool slow) {
    const std::string esc_dot{kEsc, '.'};
    if (slow) {
        std::string a = Clean(bench_.send(std::string("S") + prom));
        if (a != ".") return "slow start answered \"" + a + "\"";
    }
    std::string a = Clean(bench_.send(std::string("P") + prom, slow ? kSlowBaud : kFastBaud));
    if (a != ".") return "start answered \"" + a + "\"";
    const int baud = slow ? kSlowBaud : kFastBaud;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SvfStatement s = ReadSvfStatement(lines[i]);
        const std::string where = "line " + std::to_string(i + 1) + ": ";
        if (s.kind == SvfStatement::Kind::Error) return where + s.problem;
        if (s.kind == SvfStatement::Kind::Nothing) continue;
        EncodedCommand encoded = EncodeCommand(s.command);
        for (int attempt = 0;; ++attempt) {
            if (attempt > 300) return where + "too many resends";
            a = Clean(bench_.send(encoded.record + "\r\n", baud));
            if (!encoded.block.empty()) {
                if (a == "R") {
                    ++resends_;
                    continue;
                }
                if (a != esc_dot) return where + "expected ESC \".\", got \"" + a + "\"";
                a = Clean(bench_.send(encoded.block, baud));
            }
            if (a == "R") {
                ++resends_;
                continue;
            }
            if (s.command.wantTdo) {
                auto tdo = DecodeTdoAnswer(a);
                if (!tdo) return where + "bad TDO answer \"" + a + "\"";
                Bytes want = s.expectedTdo;
                want.resize(tdo->size(), 0);
                for (std::size_t k = 0; k < tdo->size(); ++k) {
                    std::uint8_t mask = k < s.mask.size() ? s.mask[k] : 0xFF;
                    if (((*tdo)[k] & mask) != (want[k] & mask)) return where + "TDO differs from the file";
                }
                a = Clean(bench_.send(".", baud));
            }
            if (a != ".") return where + "answered \"" + a + "\"";
            break;
        }
    }
    a = Clean(bench_.send(":00000001FF\r\n", baud));
    return a == "." ? "." : "end record answered \"" + a + "\"";
}

} // namespace vz::emu::test

#include "emulator/jtag_record.h"

namespace vz::emu {

namespace {

DecodedRecord Invalid(std::string problem) {
    DecodedRecord d;
    d.kind = DecodedRecord::Kind::Invalid;
    d.problem = std::move(problem);
    return d;
}

DecodedRecord Ready(JtagCommand command) {
    DecodedRecord d;
    d.kind = DecodedRecord::Kind::Command;
    d.command = std::move(command);
    return d;
}

DecodedRecord DecodeScan(const Record& record) {
    const std::uint8_t type = record.type;
    const bool ir = (type & 0x0F) == 0x02;
    if (record.address > kMaxScanLength)
        return Invalid("scan of " + std::to_string(record.address) + " bits is longer than 512");
    JtagCommand c;
    c.kind = JtagCommand::Kind::Scan;
    c.instructionRegister = ir;
    c.wantTdo = type & kScanTdo;
    c.start = type & kScanStart;
    c.end = type & kScanEnd;
    c.length = record.address;
    const std::size_t bytes = (static_cast<std::size_t>(c.length) + 7) / 8;
    if (ir) {
        if (type & kScanFill) return Invalid("instruction scan in fill form");
        c.tdi = record.data;
        return Ready(std::move(c));
    }
    if (record.data.size() != 1) return Invalid("data scan record must carry one byte");
    if (type & kScanFill) {
        c.tdi.assign(bytes, record.data[0]);
        return Ready(std::move(c));
    }
    DecodedRecord d;
    d.kind = DecodedRecord::Kind::NeedBlock;
    d.blockLength = record.data[0];
    d.command = std::move(c);
    if (d.blockLength < 2 || d.blockLength % 2 != 0)
        return Invalid("data block of " + std::to_string(d.blockLength) + " characters");
    return d;
}

} // namespace

DecodedRecord DecodeJtagRecord(const Record& record) {
    switch (record.type) {
    case kRecEnd:
        if (!record.data.empty()) return Invalid("end record with data");
        return DecodedRecord{DecodedRecord::Kind::End, {}, 0, {}};
    case kRecRunTest: {
        if (record.data.size() != 4) return Invalid("RUNTEST record must carry four bytes");
        JtagCommand c;
        c.kind = JtagCommand::Kind::RunTest;
        for (auto b : record.data)
            c.clocks = c.clocks << 8 | b;
        return Ready(std::move(c));
    }
    case kRecState: {
        JtagCommand c;
        c.kind = JtagCommand::Kind::State;
        for (auto b : record.data) {
            auto s = TapStateFromCode(b);
            if (!s) return Invalid("unknown TAP state code " + HexByte(b));
            c.path.push_back(*s);
        }
        return Ready(std::move(c));
    }
    case kRecEndIr:
    case kRecEndDr: {
        if (record.data.size() != 1) return Invalid("end state record must carry one byte");
        auto s = TapStateFromCode(record.data[0]);
        if (!s) return Invalid("unknown TAP state code " + HexByte(record.data[0]));
        JtagCommand c;
        c.kind = record.type == kRecEndIr ? JtagCommand::Kind::EndIr : JtagCommand::Kind::EndDr;
        c.endState = *s;
        return Ready(std::move(c));
    }
    default:
        if ((record.type & 0x0F) == 0x02 || (record.type & 0x0F) == 0x03) return DecodeScan(record);
        return Invalid("record type " + HexByte(record.type) + " is not a JTAG command");
    }
}

std::optional<Bytes> CheckDataBlock(std::string_view block) {
    auto bytes = ParseHexBytes(block);
    if (!bytes || bytes->empty()) return std::nullopt;
    std::uint8_t expected = bytes->back();
    bytes->pop_back();
    unsigned sum = 0;
    for (auto b : *bytes)
        sum += b;
    if ((sum & 0xFF) != expected) return std::nullopt;
    return bytes;
}

std::string EncodeTdoAnswer(const Bytes& tdo, bool escapes) {
    std::string text;
    unsigned sum = 0;
    auto put = [&](std::uint8_t b) {
        if (escapes && b == 0x1B) {
            text += {kEsc, kEsc};
        } else if (escapes && b == 0x00) {
            text += {kEsc, '0'};
        } else {
            text += HexByte(b);
        }
    };
    for (auto b : tdo) {
        put(b);
        sum += b;
    }
    put(static_cast<std::uint8_t>(sum));
    text += {kEsc, '.'};
    return text;
}

} // namespace vz::emu

// SIR, SDR and their headers and trailers: parts carried over from the scan
// before, headers and trailers folded in, long scans cut into pieces.
#include "formats/hex.h"
#include "formats/svf_converter.h"

#include <algorithm>

namespace vz {

bool SvfConverter::HexValue(const SvfToken& token, const std::string& name, std::uint64_t length,
                            BitString& out) {
    const std::string& d = token.text;
    const std::size_t first = std::min(d.find_first_not_of('0'), d.size());
    const std::uint64_t needed = 2 * ((length + 7) / 8);
    if (d.size() - first > needed) {
        Error(token.place, name + " has " + std::to_string(d.size()) +
                               " digits with a non-zero one beyond the " + std::to_string(needed) + " of " +
                               std::to_string(length) + " bits");
        return false;
    }
    out = BitString::Zeros(length);
    const std::uint64_t digits = std::min<std::uint64_t>(d.size(), (length + 3) / 4);
    for (std::uint64_t k = 0; k < digits; ++k)
        out.OrNibble(k, HexCharToNibble(d[d.size() - 1 - static_cast<std::size_t>(k)]));
    return true;
}

// Parses "length [TDI (..)] [TDO (..)] [MASK (..)] [SMASK (..)]" and fills in
// what the previous statement of the kind carries over.
bool SvfConverter::Resolve(ScanKind kind, ResolvedScan& scan) {
    const auto& tokens = statement_->tokens;
    const std::string name = kScanNames[static_cast<std::size_t>(kind)];
    if (tokens.size() < 2 || !Integer(tokens[1], scan.length)) {
        Error((tokens.size() < 2 ? tokens[0] : tokens[1]).place, name + " needs a length in bits");
        return false;
    }
    if (scan.length > kSvfMaxScanBits) {
        Error(tokens[1].place, name + " of " + tokens[1].text + " bits is longer than the " +
                                   std::to_string(kSvfMaxScanBits) + " this converter takes");
        return false;
    }
    std::array<std::optional<BitString>, 4> given; // TDI, TDO, MASK, SMASK
    static constexpr std::array<const char*, 4> kParts{"TDI", "TDO", "MASK", "SMASK"};
    for (std::size_t i = 2; i < tokens.size(); i += 2) {
        const SvfToken& key = tokens[i];
        std::size_t part = kParts.size();
        for (std::size_t p = 0; p < kParts.size(); ++p)
            if (!key.hex && key.text == kParts[p]) part = p;
        if (part == kParts.size()) {
            Error(key.place, key.hex ? "a value in parentheses needs TDI, TDO, MASK or SMASK before it"
                                     : "unknown part " + key.text + " of " + name);
            return false;
        }
        if (i + 1 >= tokens.size() || !tokens[i + 1].hex) {
            Error(key.place, key.text + " needs a value in parentheses");
            return false;
        }
        if (given[part]) {
            Error(key.place, key.text + " is given twice");
            return false;
        }
        BitString value;
        if (!HexValue(tokens[i + 1], key.text, scan.length, value)) return false;
        given[part] = std::move(value);
    }
    ScanMemory& memory = memory_[kind];
    const bool same = memory.known && memory.length == scan.length;
    BitString tdi, mask, smask;
    bool maskGiven = given[2].has_value(), smaskGiven = given[3].has_value();
    if (given[0]) {
        tdi = *given[0];
    } else if (same) {
        tdi = memory.tdi;
        ++summary_.parametersCarried;
    } else if (scan.length == 0) {
        tdi = BitString::Zeros(0);
    } else {
        Error(tokens[0].place, name + " needs TDI: no earlier " + name + " of " +
                                   std::to_string(scan.length) + " bits to carry it over from");
        return false;
    }
    scan.hasTdo = given[1].has_value();
    if (given[2]) {
        mask = *given[2];
    } else if (same) {
        mask = memory.mask;
        maskGiven = memory.maskGiven;
        summary_.parametersCarried += scan.hasTdo && maskGiven;
    } else {
        mask = BitString::Ones(scan.length);
    }
    if (given[3]) {
        smask = *given[3];
    } else if (same) {
        smask = memory.smask;
        smaskGiven = memory.smaskGiven;
        summary_.parametersCarried += smaskGiven;
    } else {
        smask = BitString::Ones(scan.length);
    }
    memory = {true, scan.length, tdi, mask, smask, maskGiven, smaskGiven};
    scan.tdi = std::move(tdi);
    scan.tdi.AndWith(smask);
    if (scan.hasTdo) {
        scan.tdo = *given[1];
        scan.mask = std::move(mask);
    }
    return true;
}

void SvfConverter::ScanStatement(ScanKind kind) {
    const SvfToken& keywordToken = statement_->tokens[0];
    ResolvedScan scan;
    if (!Resolve(kind, scan)) return;
    if (kind >= kHir) {
        ResolvedScan& pad = pads_[kind - kHir];
        if (scan.length == 0) ++summary_.emptyPadsDropped;
        pad = std::move(scan);
        return;
    }
    if (trstOn_) return Error(keywordToken.place, "scan refused: TRST ON holds the TAP in reset");
    const bool ir = kind == kSir;
    const ResolvedScan& header = pads_[(ir ? kHir : kHdr) - kHir];
    const ResolvedScan& trailer = pads_[(ir ? kTir : kTdr) - kHir];
    const std::uint64_t total = header.length + scan.length + trailer.length;
    if (total == 0)
        return Error(keywordToken.place, "scan of 0 bits refused: the device shifts at least one bit");
    if (total > kSvfMaxScanBits)
        return Error(keywordToken.place, keywordToken.text + " of " + std::to_string(scan.length) +
                                             " bits with its header and trailer makes " +
                                             std::to_string(total) + ", longer than the " +
                                             std::to_string(kSvfMaxScanBits) + " this converter takes");
    if (header.length + trailer.length > 0) ++summary_.scansFolded;

    // Header bits shift first, then the data, then the trailer.
    BitString tdi = BitString::Zeros(total);
    tdi.Place(header.tdi, 0);
    tdi.Place(scan.tdi, header.length);
    tdi.Place(trailer.tdi, header.length + scan.length);
    const bool hasTdo = scan.hasTdo || header.hasTdo || trailer.hasTdo;
    BitString tdo, mask;
    if (hasTdo) {
        tdo = BitString::Zeros(total);
        mask = BitString::Zeros(total);
        std::uint64_t at = 0;
        for (const ResolvedScan* part : {&header, static_cast<const ResolvedScan*>(&scan), &trailer}) {
            if (part->hasTdo) { // a part without TDO stays out of the comparison
                tdo.Place(part->tdo, at);
                mask.Place(part->mask, at);
            }
            at += part->length;
        }
    }
    const std::string keyword = ir ? "SIR" : "SDR";
    const bool split = total > static_cast<std::uint64_t>(kSvfPieceBits);
    if (split) ++summary_.scansSplit;
    for (std::uint64_t from = 0; from < total; from += kSvfPieceBits) {
        const std::uint64_t count = std::min<std::uint64_t>(kSvfPieceBits, total - from);
        std::string line = keyword;
        if (split) {
            line += from == 0 ? "S" : from + count == total ? "E" : "C";
            ++summary_.pieces;
        }
        const BitString pieceTdi = tdi.Slice(from, count);
        // All ones goes as one repeated byte when the pad bits are ones too.
        line += ' ';
        line += std::to_string(count);
        line += " TDI (";
        line += pieceTdi.Hex(!ir && pieceTdi.AllOnes());
        line += ')';
        if (hasTdo) {
            const BitString pieceMask = mask.Slice(from, count);
            if (!pieceMask.AllZero())
                line += " TDO (" + tdo.Slice(from, count).Hex() + ") MASK (" + pieceMask.Hex() + ")";
        }
        Emit(line + ";");
    }
    // End states the device cannot take directly are reached through its own pause state.
    if (ir && endIrDetour_) Emit("STATE IREXIT2 IRUPDATE DRSELECT DRCAPTURE DREXIT1 DRPAUSE;");
    if (!ir && endDrDetour_) Emit("STATE DREXIT2 DRUPDATE DRSELECT IRSELECT IRCAPTURE IREXIT1 IRPAUSE;");
    current_ = ir ? endIr_ : endDr_;
    Flush();
}

} // namespace vz

// The state a conversion carries from one SVF statement to the next, and the
// turning of each statement into Effect lines. Used by ConvertSvf only.
#pragma once

#include "formats/bit_string.h"
#include "formats/svf_convert.h"
#include "formats/svf_lexer.h"
#include "formats/tap_states.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vz {

struct SvfProblem {
    SvfPlace place;
    std::string text;
};

// What a scan-like statement (SIR, SDR, HIR, HDR, TIR, TDR) said and what it
// leaves for the next one of its kind.
struct ScanMemory {
    bool known = false;
    std::uint64_t length = 0;
    BitString tdi, mask, smask;
    bool maskGiven = false, smaskGiven = false; // by a statement, not the all-ones default
};

struct ResolvedScan {
    std::uint64_t length = 0;
    BitString tdi; // SMASK applied
    bool hasTdo = false;
    BitString tdo, mask;
};

enum ScanKind { kSir, kSdr, kHir, kHdr, kTir, kTdr, kScanKinds };
inline constexpr std::array<const char*, kScanKinds> kScanNames{"SIR", "SDR", "HIR", "HDR", "TIR", "TDR"};

class SvfConverter {
public:
    SvfConverter(std::ostream& out, std::ostream* map, const SvfConvertOptions& options,
                 SvfConvertSummary& summary);

    void Convert(const SvfStatement& statement);
    // Every problem goes through here: counted always, kept up to a limit.
    void Error(SvfPlace place, const std::string& text);
    const std::vector<SvfProblem>& Problems() const { return problems_; }
    void Finish();

private:
    // Output: a statement's lines go out together once it is known to be good.
    void Emit(std::string line) { pending_.push_back(std::move(line)); }
    void Flush();
    void Write(const std::string& line, bool trace);

    static bool Integer(const SvfToken& token, std::uint64_t& value);
    static bool Real(const SvfToken& token, double& value);

    // Scans (svf_scans.cpp).
    bool HexValue(const SvfToken& token, const std::string& name, std::uint64_t length, BitString& out);
    bool Resolve(ScanKind kind, ResolvedScan& scan);
    void ScanStatement(ScanKind kind);

    std::optional<Tap> StableState(const SvfToken& token, const std::string& what);
    void EndStateStatement(bool ir);
    void StateStatement();
    void RunTestStatement();
    void FrequencyStatement();
    void TrstStatement();

    std::ostream& out_;
    std::ostream* map_;
    const SvfConvertOptions& options_;
    SvfConvertSummary& summary_;
    const SvfStatement* statement_ = nullptr;
    std::vector<std::string> pending_;
    std::vector<SvfProblem> problems_;
    std::uint64_t nextTrace_ = 0;
    std::string traceName_; // the file's name without its directory: the Effect file travels

    std::array<ScanMemory, kScanKinds> memory_;
    std::array<ResolvedScan, 4> pads_; // HIR, HDR, TIR, TDR
    std::optional<Tap> current_;       // unknown until the file moves the TAP
    Tap endIr_ = Tap::Idle, endDr_ = Tap::Idle;
    bool endIrDetour_ = false, endDrDetour_ = false;
    Tap runState_ = Tap::Idle, endRun_ = Tap::Idle;
    double fileHz_ = 0;
    bool trstOn_ = false;
};

} // namespace vz

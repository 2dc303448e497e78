// Standard SVF, as FPGA and PROM vendors' tools write it, turned into an Effect
// file: one statement a line, every scan self-contained, headers and trailers
// folded in, long scans cut into pieces, waits as clock counts in IDLE.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace vz {

struct SvfConvertOptions {
    std::string sourceName; // the SVF file as named to the user, in messages; its file name in trace comments
    double tckHz = 0;       // the device's TCK rate; 0: the file's FREQUENCY
    bool idleRuntest = false;            // waits asked for in another state run in IDLE
    int traceEvery = 100;                // a "// <source> line N" comment at least this often; 0: none
    std::function<bool()> stopRequested; // asked before each statement; true ends the conversion
};

struct SvfConvertSummary {
    std::uint64_t statements = 0;  // SVF statements read
    std::uint64_t effectLines = 0; // lines written, trace comments included
    std::uint64_t traceComments = 0;
    std::uint64_t scansSplit = 0;        // scans over the piece limit
    std::uint64_t pieces = 0;            // pieces those scans became
    std::uint64_t scansFolded = 0;       // scans that took a header or trailer
    std::uint64_t parametersCarried = 0; // TDI, MASK or SMASK taken from the previous scan
    std::uint64_t waits = 0;             // RUNTEST statements converted
    std::uint64_t waitsInSeconds = 0;    // of which had a time
    std::uint64_t waitsMovedToIdle = 0;  // run in IDLE by the idle-runtest option
    std::uint64_t maximumsDropped = 0;
    std::uint64_t frequencies = 0;      // FREQUENCY statements dropped
    std::uint64_t trsts = 0;            // TRST statements (ON becomes STATE RESET)
    std::uint64_t emptyPadsDropped = 0; // zero-length HIR, HDR, TIR, TDR
    std::uint64_t deviceBytes = 0;      // records, line ends, data blocks and the end record
    std::uint64_t problemsFound = 0;    // every error and refusal, also those not kept
    bool stopped = false;               // ended early at stopRequested's word
};

inline constexpr int kSvfPieceBits = 512;
// The longest scan taken, headers and trailers included: 16 Mbit, 2 MiB of data.
// A longer one is refused; this keeps a conversion's memory bounded whatever
// the file says.
inline constexpr std::uint64_t kSvfMaxScanBits = std::uint64_t{1} << 24;

// Reads `in` to its end, writing Effect lines to `out` and, when `map` is given,
// one "effect line<TAB>SVF line" pair per Effect line. Returns true when every
// statement converted; otherwise `problems` holds the first messages, each
// "<source>:<line>:<column>: <text>", or the summary says it was stopped, and
// what was written must be discarded.
bool ConvertSvf(std::istream& in, std::ostream& out, std::ostream* map, const SvfConvertOptions& options,
                SvfConvertSummary& summary, std::vector<std::string>& problems);

} // namespace vz

// Figures taken from the emulated device's transcript of one update.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vz::bench {

struct TranscriptFigures {
    std::uint64_t bytesToDevice = 0;
    std::uint64_t bytesFromDevice = 0;
    // Seconds the bytes need on the wire at the speed they travelled at.
    double wireSeconds = 0;
    // From the first byte the host sent to the last byte of the device's last answer.
    double spanSeconds = 0;
    // Last byte of an answer to the first byte of the host's next text, in milliseconds.
    std::vector<double> turnarounds;
};

// Reads "<first_us> <last_us> <H>D|D>H> <length> <escaped bytes>" lines; the link
// runs at 19200 baud from the answer to a slow start ("S8"/"S9") to the answer to
// the end record, at 57600 otherwise.
// With `from` and `until`, only the stretch from the host's text `from` up to,
// not including, its text `until` counts (the same part of two dialogues).
TranscriptFigures ReadTranscript(const std::string& path, const std::string& from = {},
                                 const std::string& until = {});

double Percentile(std::vector<double> values, double share);

} // namespace vz::bench

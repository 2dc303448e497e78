// Faults the device can be told to make, for testing the host's handling of
// retransmissions, refusals, line noise and a vanishing device. Every random
// choice comes from a seeded generator, one stream per kind of fault, so a run
// with the same seed and the same host traffic makes the same faults.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace vz::emu {

enum class FaultKind { Boot, Bank, Prom, Erase, Checksum, Version };

std::optional<FaultKind> FaultKindFromName(std::string_view name);

struct FaultConfig {
    double resendShare = 0.0; // "R" to this share of good lines, records and data blocks
    double strayShare = 0.0;  // stray printable bytes where the host skips them
    double zeroShare = 0.0;   // zero bytes after an answer, while the device waits for the host
    std::uint64_t seed = 1;
    std::map<FaultKind, std::set<long>> refuseAt; // "X" at these 1-based occurrences of a kind
    long silenceAfter = -1;                       // stop answering after this many received bytes
    bool refuseType = false;                      // "X" to every type number
};

// Small, fast and fully determined by its seed.
class FaultRandom {
public:
    explicit FaultRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    bool chance(double share);
    int below(int n);

private:
    std::uint64_t state_;
};

class FaultPlan {
public:
    explicit FaultPlan(const FaultConfig& config);
    const FaultConfig& config() const { return config_; }
    bool resendNow() { return resend_.chance(config_.resendShare); }
    // Stray bytes to put before an answer the host scans for (may be empty).
    std::string strayBytes();
    bool zeroNow() { return zero_.chance(config_.zeroShare); }
    // Counts one occurrence of the kind; true when it is one to refuse.
    bool refuseNext(FaultKind kind);
    // True once refuseNext has chosen to refuse.
    bool refused() const { return refused_; }

private:
    FaultConfig config_;
    FaultRandom resend_;
    FaultRandom stray_;
    FaultRandom zero_;
    std::map<FaultKind, long> counts_;
    bool refused_ = false;
};

} // namespace vz::emu

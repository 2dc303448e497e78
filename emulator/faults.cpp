#include "emulator/faults.h"

namespace vz::emu {

std::optional<FaultKind> FaultKindFromName(std::string_view name) {
    static const std::map<std::string_view, FaultKind> names{
        {"boot", FaultKind::Boot},   {"bank", FaultKind::Bank},         {"prom", FaultKind::Prom},
        {"erase", FaultKind::Erase}, {"checksum", FaultKind::Checksum}, {"version", FaultKind::Version}};
    auto it = names.find(name);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

std::uint64_t FaultRandom::next() {
    // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool FaultRandom::chance(double share) {
    if (share <= 0.0) return false;
    return static_cast<double>(next() >> 11) * 0x1.0p-53 < share;
}

int FaultRandom::below(int n) {
    return static_cast<int>(next() % static_cast<std::uint64_t>(n));
}

FaultPlan::FaultPlan(const FaultConfig& config)
    : config_(config), resend_(config.seed), stray_(config.seed ^ 0x5354524159ull),
      zero_(config.seed ^ 0x5A45524Full) {}

std::string FaultPlan::strayBytes() {
    std::string bytes;
    if (!stray_.chance(config_.strayShare)) return bytes;
    // Lower-case letters: none of them is an answer character, a call or an escape.
    int n = 1 + stray_.below(3);
    for (int i = 0; i < n; ++i)
        bytes += static_cast<char>('a' + stray_.below(26));
    return bytes;
}

bool FaultPlan::refuseNext(FaultKind kind) {
    long n = ++counts_[kind];
    auto it = config_.refuseAt.find(kind);
    bool refuse = it != config_.refuseAt.end() && it->second.count(n) > 0;
    refused_ = refused_ || refuse;
    return refuse;
}

} // namespace vz::emu

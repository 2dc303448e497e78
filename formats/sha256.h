// SHA-256 (FIPS 180-4), to name an update package by what it holds.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vz {

class Sha256 {
public:
    Sha256();
    void Add(std::string_view data);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBytes_ = 0;
};

} // namespace vz

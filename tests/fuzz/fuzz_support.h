// Shared pieces of the fuzz targets: the failure report, the record check and a
// scratch directory that lives as long as the fuzzing process.
#pragma once

#include "formats/hex.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace vz::fuzz {

// A broken invariant is a crash for libFuzzer: it keeps the input that caused it.
[[noreturn]] inline void Fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "invariant broken: %s\n  %.*s\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

inline void Check(bool condition, const char* what, std::string_view detail = {}) {
    if (!condition) Fail(what, detail);
}

inline bool IsUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// ":" and upper-case digit pairs, as long as its count says, with a record
// checksum that brings the sum of all its bytes to zero.
inline bool IsWellFormedRecord(std::string_view line) {
    if (line.size() < 11 || line[0] != ':' || line.size() % 2 == 0) return false;
    for (std::size_t i = 1; i < line.size(); ++i)
        if (!IsUpperHexDigit(line[i])) return false;
    const std::size_t count = HexPairAt(line, 1);
    if (line.size() != 11 + 2 * count) return false;
    unsigned sum = 0;
    for (std::size_t pos = 1; pos < line.size(); pos += 2)
        sum += HexPairAt(line, pos);
    return (sum & 0xFF) == 0;
}

// A directory of its own below the system's temporary directory.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // With its trailing separator, as the engines take a directory.
    std::string Dir() const { return path_.string() + "/"; }
    void Write(const std::string& name, std::string_view content) const {
        std::ofstream(path_ / name, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    void MakeDir(const std::string& name) const { std::filesystem::create_directories(path_ / name); }

private:
    std::filesystem::path path_;
};

} // namespace vz::fuzz

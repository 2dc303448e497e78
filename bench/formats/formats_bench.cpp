// The file work of an update, timed: the image sum of a full 64 KiB Intel HEX
// file and the translation of a 100,000-line Effect file.
#include "formats/effect.h"
#include "formats/hex.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// 4096 records of 16 bytes: every address of the 64 KiB image.
std::vector<std::string> FullImageLines() {
    std::mt19937 random(1);
    std::vector<std::string> lines;
    for (unsigned address = 0; address < 0x10000; address += 16) {
        std::string data;
        for (int k = 0; k < 16; ++k)
            data += vz::ByteToHex(static_cast<std::uint8_t>(random()));
        lines.push_back(vz::BuildHexRecord(0x00, static_cast<std::uint16_t>(address), data));
    }
    lines.emplace_back(":00000001FF");
    return lines;
}

void BM_HexImageSumFullImage(benchmark::State& state) {
    const std::vector<std::string> lines = FullImageLines();
    for (auto _ : state)
        benchmark::DoNotOptimize(vz::HexImageSum(lines, 0x0000, 0xFFFF));
}
BENCHMARK(BM_HexImageSumFullImage)->Unit(benchmark::kMicrosecond);

// The mix of a PROM programming file: mostly data scans with varied and uniform
// data, some instruction scans, run tests and state moves.
std::vector<std::string> EffectLines(int count) {
    std::mt19937 random(2);
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::string data;
        for (int k = 0; k < 64; ++k)
            data += vz::ByteToHex(static_cast<std::uint8_t>(random()));
        switch (i % 8) {
        case 0:
            lines.emplace_back("SIR 16 TDI (ebff);");
            break;
        case 1:
            lines.emplace_back("RUNTEST 14000 TCK;");
            break;
        case 2:
            lines.emplace_back("STATE IDLE DRSELECT;");
            break;
        case 3:
            lines.emplace_back("SDR 512 TDI (" + std::string(128, 'f') + ");");
            break;
        case 4:
            lines.emplace_back("SDR 32 TDI (00000000) TDO (f5046093) MASK (0fffffff);");
            break;
        default:
            lines.emplace_back("SDR 512 TDI (" + data + ");");
            break;
        }
    }
    return lines;
}

void BM_TranslateEffectFile(benchmark::State& state) {
    const std::vector<std::string> lines = EffectLines(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        vz::TranslationState translation;
        for (const std::string& line : lines)
            benchmark::DoNotOptimize(vz::TranslateStatement(line, translation));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TranslateEffectFile)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

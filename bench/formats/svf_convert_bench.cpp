// Converts a large vendor-style SVF file (about 100 MB: PROM pages of 4096 bits
// wrapped over lines with headers and trailers, instruction scans, waits in
// seconds, and one FPGA-style scan of 16 Mbit) and prints the time, the rate
// and the peak memory. Usage: vz_svf_convert_bench [MEGABYTES] [DIR]
#include "formats/svf_convert.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string RandomHex(std::mt19937_64& random, std::size_t digits) {
    static const char* kDigits = "0123456789abcdef";
    std::string hex(digits, '0');
    for (char& c : hex)
        c = kDigits[random() & 15];
    return hex;
}

void WriteWrapped(std::ofstream& out, const std::string& hex) {
    for (std::size_t at = 0; at < hex.size(); at += 64)
        out << "\n\t" << hex.substr(at, 64);
}

// Peak resident memory from the kernel's own account, where there is one.
std::string PeakMemory() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return line.substr(6);
    return " (not available here)";
}

std::uintmax_t WriteSample(const fs::path& path, std::uintmax_t megabytes) {
    std::mt19937_64 random(7);
    std::ofstream out(path, std::ios::binary);
    out << "// vendor-style sample\nTRST OFF;\nENDIR IDLE;\nENDDR IDLE;\nSTATE RESET;\nSTATE IDLE;\n"
           "FREQUENCY 1.00E+07 HZ;\nHIR 8 TDI (ff) SMASK (ff);\nHDR 1 TDI (00) SMASK (01);\n"
           "TIR 0;\nTDR 0;\n";
    // An FPGA configuration goes as one long scan: with the 1-bit header, the longest taken.
    out << "SIR 8 TDI (05);\nSDR 16777215 TDI (";
    for (int line = 0; line < 65536; ++line)
        out << "\n\t" << RandomHex(random, 64);
    out << ") ;\n";
    const std::uintmax_t target = megabytes * 1000 * 1000;
    for (unsigned page = 0; static_cast<std::uintmax_t>(out.tellp()) < target; ++page) {
        out << "! page " << page << "\nSIR 8 TDI (eb) ;\nSDR 24 TDI (" << std::hex << (page * 64) % 0x1000000
            << std::dec << ") ;\nSIR 8 TDI (ea) ;\nSDR 4096 TDI (";
        WriteWrapped(out, RandomHex(random, 1024));
        out << ")" << (page == 0 ? " SMASK (" + std::string(1024, 'f') + ")" : "") << " ;\n";
        out << "RUNTEST 1.00E-03 SEC;\n";
        if (page % 16 == 0) {
            out << "SIR 8 TDI (ef) ;\nSDR 4096 TDI (" << std::string(1024, '0') << ") TDO (";
            WriteWrapped(out, RandomHex(random, 1024));
            out << ") MASK (";
            WriteWrapped(out, std::string(1024, 'f'));
            out << ") ;\n";
        }
    }
    return static_cast<std::uintmax_t>(out.tellp());
}

} // namespace

int main(int argc, char** argv) {
    const std::uintmax_t megabytes = argc > 1 ? std::stoull(argv[1]) : 100;
    const fs::path dir = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const fs::path in = dir / "vz_svf_convert_bench_in.svf";
    const fs::path out = dir / "vz_svf_convert_bench_out.svf";
    const std::uintmax_t inBytes = WriteSample(in, megabytes);
    std::cout << "input: " << in.string() << ", " << inBytes / 1e6
              << " MB (one 16 Mbit scan, 4096-bit pages)\n";
    std::cout << "peak memory after writing the sample:" << PeakMemory() << "\n";

    vz::SvfConvertOptions options;
    options.sourceName = in.filename().string();
    vz::SvfConvertSummary summary;
    std::vector<std::string> problems;
    const auto start = std::chrono::steady_clock::now();
    bool ok = false;
    {
        std::ifstream input(in, std::ios::binary);
        std::ofstream output(out, std::ios::binary);
        ok = vz::ConvertSvf(input, output, nullptr, options, summary, problems);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
        std::cerr << "conversion failed: " << (problems.empty() ? "?" : problems.front()) << "\n";
        return 1;
    }
    const auto outBytes = fs::file_size(out);
    std::cout << "converted in " << seconds << " s: " << inBytes / 1e6 / seconds << " MB/s of SVF\n";
    std::cout << "statements: " << summary.statements << ", Effect lines: " << summary.effectLines << ", "
              << outBytes / 1e6 << " MB; scans split: " << summary.scansSplit << " into " << summary.pieces
              << " pieces\n";
    std::cout << "the device would receive " << summary.deviceBytes / 1e6 << " MB ("
              << static_cast<double>(summary.deviceBytes) * 10 / 57600 / 3600 << " h at 57600 baud)\n";
    std::cout << "peak memory:" << PeakMemory() << "\n";
    fs::remove(in);
    fs::remove(out);
    return 0;
}

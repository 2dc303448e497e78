#include "emulator/package.h"

#include "emulator/device_config.h"
#include "emulator/hex_text.h"
#include "emulator/prom.h"
#include "formats/svf_convert.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vz::emu {

namespace {

constexpr const char* kKeyboardVersion = "0105";
constexpr std::array<const char*, 2> kPromVersions{"0203", "0204"};

class Seeded {
public:
    explicit Seeded(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 12345) {}
    std::uint8_t byte() {
        // xorshift64*: plenty for sample firmware.
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<std::uint8_t>((state_ * 0x2545F4914F6CDD1Dull) >> 56);
    }

private:
    std::uint64_t state_;
};

Bytes RandomBytes(std::uint64_t seed, std::size_t size) {
    Seeded random(seed);
    Bytes bytes(size);
    for (auto& b : bytes)
        b = random.byte();
    return bytes;
}

// Bits `from`..`from + count - 1` of a scan, as an SVF number (most significant digit first).
std::string SvfHex(const std::vector<bool>& bits, std::size_t from, std::size_t count) {
    Bytes bytes((count + 7) / 8, 0);
    for (std::size_t k = 0; k < count; ++k)
        if (bits[from + k]) bytes[k / 8] |= static_cast<std::uint8_t>(1 << (k % 8));
    std::string hex;
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it)
        hex += HexByte(*it);
    return hex;
}

std::vector<bool> BitsOf(const Bytes& bytes) {
    std::vector<bool> bits(bytes.size() * 8);
    for (std::size_t k = 0; k < bits.size(); ++k)
        bits[k] = (bytes[k / 8] >> (k % 8)) & 1;
    return bits;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A scan value as a vendor's tool writes it: lower case, long ones wrapped
// inside the parentheses, 64 digits a line.
std::string Wrapped(const std::string& hex) {
    if (hex.size() <= 64) return "(" + Lower(hex) + ")";
    std::string text = "(";
    for (std::size_t at = 0; at < hex.size(); at += 64)
        text += "\n\t" + Lower(hex.substr(at, 64));
    return text + ")";
}

std::string PageHex(const Bytes& image, std::size_t page) {
    Bytes data(image.begin() + static_cast<std::ptrdiff_t>(page * kPageBytes),
               image.begin() + static_cast<std::ptrdiff_t>((page + 1) * kPageBytes));
    return SvfHex(BitsOf(data), 0, kPageBits);
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines)
        text += l + "\n";
    WriteText(path, text);
}

} // namespace

PackageSizes SizesFor(bool small) {
    if (small) return {64, 64, {1, 1}};
    return {kBootSize, kBankSize, {64, 48}};
}

Bytes BootImage(int modelCode, bool small) {
    return RandomBytes(static_cast<std::uint64_t>(modelCode) * 100, SizesFor(small).bootBytes);
}

Bytes BankImage(int modelCode, int bank, bool small) {
    return RandomBytes(static_cast<std::uint64_t>(modelCode) * 100 + 1 + static_cast<std::uint64_t>(bank),
                       SizesFor(small).bankBytes);
}

Bytes PromImage(int modelCode, int prom, bool small) {
    int pages = SizesFor(small).promPages[static_cast<std::size_t>(prom)];
    Bytes image =
        RandomBytes(static_cast<std::uint64_t>(modelCode) * 100 + 20 + static_cast<std::uint64_t>(prom),
                    static_cast<std::size_t>(pages) * kPageBytes);
    // A few blank and cleared pages, which go as fill scans.
    for (int page : {10, 11, 20, 21}) {
        if (page >= pages) continue;
        std::uint8_t fill = page < 20 ? 0x00 : 0xFF;
        std::fill_n(image.begin() + page * kPageBytes, kPageBytes, fill);
    }
    return image;
}

std::vector<std::string> HexFileLines(const Bytes& data, std::uint16_t baseAddress) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < data.size(); at += 16) {
        Record r;
        r.type = 0x00;
        r.address = static_cast<std::uint16_t>(baseAddress + at);
        r.data.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                      data.begin() + static_cast<std::ptrdiff_t>(std::min(at + 16, data.size())));
        lines.push_back(BuildRecordLine(r));
    }
    lines.push_back(":00000001FF");
    return lines;
}

std::string SourceSvfText(const Model& model, int prom, const Bytes& image,
                          const std::array<std::uint32_t, 2>& idcodes) {
    const std::string name = "PROM " + std::to_string(prom + 1);
    const std::size_t pages = image.size() / kPageBytes;
    const std::string id = Lower(HexLong(idcodes[static_cast<std::size_t>(prom)]));
    // PROM 1 sits at the TDI end: the other PROM's bits shift first (header) for
    // PROM 1 and last (trailer) for PROM 2.
    const std::string ir = prom == 0 ? "HIR" : "TIR";
    const std::string dr = prom == 0 ? "HDR" : "TDR";
    auto instruction = [](std::uint8_t code) { return "SIR 8 TDI (" + Lower(HexByte(code)) + ") ;\n"; };
    std::string t;
    t += "// " + name + " of the " + std::string(model.folder) + ": identify the chain, erase, program " +
         std::to_string(pages * kPageWords) + " words, read back\n";
    t += "// Standard SVF as a PROM vendor's tool writes it; the package's Effect file is made\n";
    t += "// from it with: vzflash convert prom" + std::to_string(prom + 1) + "_source.svf prom" +
         std::to_string(prom + 1) + ".svf\n";
    t += "TRST OFF;\nENDIR IDLE;\nENDDR IDLE;\nSTATE RESET;\nSTATE IDLE;\n";
    t += "FREQUENCY 1.00E+06 HZ;\n";
    t += "HIR 0 ;\nHDR 0 ;\nTIR 0 ;\nTDR 0 ;\n";
    t += "! both PROMs in IDCODE: instruction capture 01, then the two codes (version nibble masked)\n";
    t += "SIR 16 TDI (fefe) TDO (0101) MASK (0303) ;\n";
    t += "SDR 64 TDI (0000000000000000) TDO (" + Lower(HexLong(idcodes[0]) + HexLong(idcodes[1])) +
         ")\n\tMASK (0fffffff0fffffff) ;\n";
    t += "! the other PROM in BYPASS from here on\n";
    t += ir + " 8 TDI (ff) SMASK (ff) ;\n" + dr + " 1 TDI (00) SMASK (01) ;\n";
    t += instruction(kInstIdcode);
    t += "SDR 32 TDI (00000000) TDO (" + id + ") MASK (0fffffff) ;\n";
    t += "SDR 32 TDO (" + id + ") ; // read again: TDI and MASK carry over\n";
    t += "! erase " + name + "\n";
    t += instruction(kInstErase);
    t += "RUNTEST 1.10E-01 SEC;\n";
    t += "! program from word 0, one page of " + std::to_string(kPageWords) + " words per scan\n";
    t += instruction(kInstAddress);
    t += "SDR 16 TDI (0000) ;\n";
    t += instruction(kInstProgram);
    for (std::size_t page = 0; page < pages; ++page) {
        t += "SDR\t" + std::to_string(kPageBits) + " TDI " + Wrapped(PageHex(image, page));
        // The first page states SMASK; the pages after it carry it over.
        if (page == 0) t += " SMASK " + Wrapped(std::string(kPageBits / 4, 'F'));
        t += " ;\n";
    }
    const std::size_t readBack = std::min<std::size_t>(pages, 2);
    t += "! read back the first " + std::to_string(readBack) + " page(s)\n";
    t += instruction(kInstAddress);
    t += "SDR 16 TDI (0000) ;\n";
    t += instruction(kInstRead);
    for (std::size_t page = 0; page < readBack; ++page) {
        t += "SDR " + std::to_string(kPageBits);
        if (page == 0) t += " TDI " + Wrapped(std::string(kPageBits / 4, '0'));
        t += " TDO " + Wrapped(PageHex(image, page));
        if (page == 0) t += "\n\tMASK " + Wrapped(std::string(kPageBits / 4, 'F'));
        t += " ;\n";
    }
    t += ir + " 0 ;\n" + dr + " 0 ;\n";
    t += "SIR 16 TDI (ffff) ;\n";
    t += "STATE RESET;\n";
    return t;
}

std::vector<std::string> EffectFileLines(const Model& model, int prom, const Bytes& image,
                                         const std::array<std::uint32_t, 2>& idcodes) {
    std::istringstream source(SourceSvfText(model, prom, image, idcodes));
    std::ostringstream effect;
    SvfConvertOptions options;
    options.sourceName = "prom" + std::to_string(prom + 1) + "_source.svf";
    SvfConvertSummary summary;
    std::vector<std::string> problems;
    if (!ConvertSvf(source, effect, nullptr, options, summary, problems))
        throw std::runtime_error("the sample SVF does not convert: " + problems.front());
    std::vector<std::string> lines;
    std::istringstream text(effect.str());
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

std::string ScriptText(const Model& model) {
    std::string s;
    s += "rem Sample update of a " + std::string(model.folder) + ", written by vzdevice make-package\n";
    s += "rem Versions: keyboard " + std::string(kKeyboardVersion) + ", PROM 1 " + kPromVersions[0] +
         ", PROM 2 " + kPromVersions[1] + "; a component already at its version is skipped\n";
    s += "prompt Sample update of a " + std::string(model.folder) + "\n";
    s += "T0 " + std::string(kKeyboardVersion) + "\n";
    s += "T8 " + std::string(kPromVersions[0]) + "\n";
    s += "T9 " + std::string(kPromVersions[1]) + "\n";
    s += "rem Extended boot area\n";
    s += "PB boot.hex\n";
    s += "rem Keyboard banks: bank 0 is the lower half of the address space, banks 1-7 the upper half\n";
    for (int bank = 0; bank < kBankCount; ++bank)
        s += "P" + std::to_string(bank) + " bank" + std::to_string(bank) + ".hex\n";
    s += "V0 " + std::string(kKeyboardVersion) + "\n";
    s += "F0\n";
    s += "rem PROM devices on the JTAG chain\n";
    s += "P8 prom1.svf\n";
    s += "V8 " + std::string(kPromVersions[0]) + "\n";
    s += "P9 prom2.svf\n";
    s += "V9 " + std::string(kPromVersions[1]) + "\n";
    s += "prompt Update written, restarting the device\n";
    s += "wait 200\n";
    s += "RS\n";
    return s;
}

std::string ReadIdText() {
    return "rem Read the keyboard's and the PROM devices' identification, written by vzdevice make-package\n"
           "D0\n"
           "D8\n"
           "D9\n";
}

void WritePackage(const std::string& dir, bool small) {
    const auto idcodes = DeviceConfig{}.promIds;
    for (const Model& model : Models()) {
        std::filesystem::path folder = std::filesystem::path(dir) / std::string(model.folder);
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) throw std::runtime_error("cannot create " + folder.string() + ": " + ec.message());
        WriteText(folder / "script.ini", ScriptText(model));
        WriteText(folder / "readid.ini", ReadIdText());
        WriteLines(folder / "boot.hex", HexFileLines(BootImage(model.code, small), kBootBase));
        for (int bank = 0; bank < kBankCount; ++bank)
            WriteLines(folder / ("bank" + std::to_string(bank) + ".hex"),
                       HexFileLines(BankImage(model.code, bank, small), bank == 0 ? 0x0000 : 0x8000));
        for (int prom = 0; prom < 2; ++prom)
            WriteLines(folder / ("prom" + std::to_string(prom + 1) + ".svf"),
                       EffectFileLines(model, prom, PromImage(model.code, prom, small), idcodes));
        for (int prom = 0; prom < 2; ++prom)
            WriteText(folder / ("prom" + std::to_string(prom + 1) + "_source.svf"),
                      SourceSvfText(model, prom, PromImage(model.code, prom, small), idcodes));
    }
}

} // namespace vz::emu

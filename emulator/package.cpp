#include "emulator/package.h"

#include "emulator/device_config.h"
#include "emulator/hex_text.h"
#include "emulator/prom.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace vz::emu {

namespace {

constexpr const char* kKeyboardVersion = "0105";
constexpr std::array<const char*, 2> kPromVersions{"0203", "0204"};
constexpr std::size_t kMaxPiece = 512;

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

// Lengths of the pieces of a long scan; the other PROM's bypass bit gets a piece
// of its own so the register's data stay byte aligned.
std::vector<std::size_t> Pieces(std::size_t total, bool bypassFirst) {
    if (total <= kMaxPiece) return {total};
    std::vector<std::size_t> pieces;
    std::size_t rest = total - 1;
    if (bypassFirst) pieces.push_back(1);
    for (; rest > 0; rest -= std::min(rest, kMaxPiece))
        pieces.push_back(std::min(rest, kMaxPiece));
    if (!bypassFirst) pieces.push_back(1);
    return pieces;
}

// A data scan of one PROM's register with the other PROM in BYPASS. PROM 1 sits
// at the TDI end, so its bypass bit of PROM 2 leaves first; for PROM 2 it is last.
void DataScan(std::vector<std::string>& lines, int prom, const std::vector<bool>& reg,
              const std::vector<bool>* tdo) {
    std::vector<bool> stream;
    std::vector<bool> expected;
    if (prom == 0) stream.push_back(false);
    stream.insert(stream.end(), reg.begin(), reg.end());
    if (prom == 1) stream.push_back(false);
    if (tdo) {
        if (prom == 0) expected.push_back(false); // the bypass register captures 0
        expected.insert(expected.end(), tdo->begin(), tdo->end());
        if (prom == 1) expected.push_back(false);
    }
    auto pieces = Pieces(stream.size(), prom == 0);
    std::size_t at = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string keyword = "SDR";
        if (pieces.size() > 1) keyword += i == 0 ? "S" : i + 1 == pieces.size() ? "E" : "C";
        std::string line =
            keyword + " " + std::to_string(pieces[i]) + " TDI (" + SvfHex(stream, at, pieces[i]) + ")";
        if (tdo) line += " TDO (" + SvfHex(expected, at, pieces[i]) + ")";
        lines.push_back(line + ";");
        at += pieces[i];
    }
}

std::string Instruction(int prom, std::uint8_t code) {
    // PROM 1's instruction register is the high byte: it is shifted in last.
    return "SIR 16 TDI (" + (prom == 0 ? HexByte(code) + "FF" : "FF" + HexByte(code)) + ");";
}

std::vector<bool> WordBits(std::uint16_t value, int length) {
    std::vector<bool> bits(static_cast<std::size_t>(length));
    for (int k = 0; k < length; ++k)
        bits[static_cast<std::size_t>(k)] = (value >> k) & 1;
    return bits;
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

std::vector<std::string> EffectFileLines(const Model& model, int prom, const Bytes& image,
                                         const std::array<std::uint32_t, 2>& idcodes) {
    const std::string name = "PROM " + std::to_string(prom + 1);
    const std::size_t pages = image.size() / kPageBytes;
    std::vector<std::string> lines{
        "// " + name + " of the " + std::string(model.folder) + ": identify the chain, erase, program " +
            std::to_string(pages * kPageWords) + " words, read back the first page",
        "TRST OFF;",
        "ENDIR IDLE;",
        "ENDDR IDLE;",
        "STATE RESET IDLE;",
        "// both PROMs in IDCODE: instruction capture 01, then the two codes (version nibble masked)",
        "SIR 16 TDI (FEFE) TDO (0101) MASK (0303);",
        "SDR 64 TDI (0000000000000000) TDO (" + HexLong(idcodes[0]) + HexLong(idcodes[1]) +
            ") MASK (0FFFFFFF0FFFFFFF);",
        "// erase " + name,
        Instruction(prom, kInstErase),
        "RUNTEST 110000 TCK;",
        "// program from word 0, one page of " + std::to_string(kPageWords) + " words per scan",
        Instruction(prom, kInstAddress),
    };
    DataScan(lines, prom, WordBits(0, 16), nullptr);
    lines.push_back(Instruction(prom, kInstProgram));
    for (std::size_t page = 0; page < pages; ++page) {
        Bytes data(image.begin() + static_cast<std::ptrdiff_t>(page * kPageBytes),
                   image.begin() + static_cast<std::ptrdiff_t>((page + 1) * kPageBytes));
        DataScan(lines, prom, BitsOf(data), nullptr);
    }
    lines.push_back("// read back the first page");
    lines.push_back(Instruction(prom, kInstAddress));
    DataScan(lines, prom, WordBits(0, 16), nullptr);
    lines.push_back(Instruction(prom, kInstRead));
    Bytes first(image.begin(), image.begin() + kPageBytes);
    std::vector<bool> zeros(kPageBits, false);
    std::vector<bool> expected = BitsOf(first);
    DataScan(lines, prom, zeros, &expected);
    lines.push_back("SIR 16 TDI (FFFF);");
    lines.push_back("STATE RESET;");
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
    }
}

} // namespace vz::emu

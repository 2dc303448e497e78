#include "emulator/verify_dump.h"

#include "emulator/device_config.h"
#include "emulator/hex_text.h"
#include "emulator/jtag_chain.h"
#include "emulator/state_file.h"
#include "emulator/svf_reader.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vz::emu {

namespace {

std::string Trim(const std::string& text) {
    std::size_t a = 0, b = text.size();
    while (a < b && static_cast<unsigned char>(text[a]) <= ' ')
        ++a;
    while (b > a && static_cast<unsigned char>(text[b - 1]) <= ' ')
        --b;
    return text.substr(a, b - a);
}

bool ReadLines(const std::filesystem::path& path, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return true;
}

// Applies a HEX file the way the loader does: erase, then data records written
// (AND) up to the end-of-file record.
std::optional<Bytes> ImageFromHex(const std::filesystem::path& path, std::size_t size, std::uint16_t base,
                                  std::vector<std::string>& problems) {
    std::vector<std::string> lines;
    if (!ReadLines(path, lines)) {
        problems.push_back(path.string() + ": cannot be read");
        return std::nullopt;
    }
    DeviceMemory scratch;
    Bytes image(size, 0xFF);
    FlashWindow window{&image, base};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty() || lines[i][0] != ':') continue;
        ParsedRecord parsed = ParseRecordLine(lines[i]);
        if (parsed.check != RecordCheck::Good) {
            problems.push_back(path.string() + " line " + std::to_string(i + 1) + ": not a good record");
            continue;
        }
        if (parsed.record.type == 0x01) break;
        if (parsed.record.type == 0x00 && !WriteFlash(window, parsed.record.address, parsed.record.data))
            problems.push_back(path.string() + " line " + std::to_string(i + 1) +
                               ": data outside the memory");
    }
    return image;
}

void PlayEffectFile(const std::filesystem::path& path, JtagPlayer& player,
                    std::vector<std::string>& problems) {
    std::vector<std::string> lines;
    if (!ReadLines(path, lines)) {
        problems.push_back(path.string() + ": cannot be read");
        return;
    }
    player.resetEndStates();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SvfStatement s = ReadSvfStatement(lines[i]);
        std::string where = path.string() + " line " + std::to_string(i + 1) + ": ";
        if (s.kind == SvfStatement::Kind::Error) {
            problems.push_back(where + s.problem);
        } else if (s.kind == SvfStatement::Kind::Command) {
            JtagOutcome outcome = player.execute(s.command);
            if (!outcome.ok) problems.push_back(where + outcome.problem);
        }
    }
}

std::string Hex32(std::uint32_t v) {
    return "0x" + HexWord(static_cast<std::uint16_t>(v));
}

// One memory of a dump: its file name, size and place in the address space.
struct MemorySlot {
    std::string name;
    const std::optional<Bytes>* expected;
    std::size_t size;
    std::uint32_t base;
    const Bytes* held; // the device's own copy, when the memory is not read from a file
};

std::vector<MemorySlot> Slots(const ExpectedMemories& expected, const DeviceMemory* memory) {
    std::vector<MemorySlot> slots{
        {"boot.bin", &expected.boot, kBootSize, kBootBase, memory ? &memory->boot : nullptr}};
    for (std::size_t bank = 0; bank < kBankCount; ++bank)
        slots.push_back({"bank" + std::to_string(bank) + ".bin", &expected.banks[bank], kBankSize,
                         bank == 0 ? 0x0000u : 0x8000u, memory ? &memory->banks[bank] : nullptr});
    for (std::size_t prom = 0; prom < 2; ++prom)
        slots.push_back({"prom" + std::to_string(prom + 1) + ".bin", &expected.proms[prom], kPromSize, 0,
                         memory ? &memory->proms[prom] : nullptr});
    return slots;
}

} // namespace

ExpectedMemories ExpectedFromScript(const std::string& modelDir) {
    const std::filesystem::path dir(modelDir);
    std::vector<std::string> script;
    if (!ReadLines(dir / "script.ini", script))
        throw std::runtime_error((dir / "script.ini").string() + " cannot be read");

    ExpectedMemories expected;
    DeviceMemory chainMemory; // PROM contents as the Effect files leave them
    JtagChain chain(DeviceConfig{}.promIds, {&chainMemory.proms[0], &chainMemory.proms[1]});
    JtagPlayer player(chain);
    bool playedProm = false;

    for (const auto& raw : script) {
        std::string line = Trim(raw);
        if (line.rfind("rem", 0) == 0 || line.empty() || line[0] != 'P') continue;
        std::string rest = Trim(line.substr(1));
        if (rest.empty()) continue;
        char what = rest[0];
        std::string file = Trim(rest.substr(1));
        if (what == 'B') {
            file = file.substr(0, file.find(' ')); // a checksum text may follow the name
            expected.boot = ImageFromHex(dir / file, kBootSize, kBootBase, expected.problems);
        } else if (what >= '0' && what <= '7') {
            int bank = what - '0';
            expected.banks[static_cast<std::size_t>(bank)] =
                ImageFromHex(dir / file, kBankSize, bank == 0 ? 0x0000 : 0x8000, expected.problems);
        } else if (what == '8' || what == '9') {
            PlayEffectFile(dir / file, player, expected.problems);
            playedProm = true;
        }
    }
    if (playedProm) {
        expected.proms[0] = chainMemory.proms[0];
        expected.proms[1] = chainMemory.proms[1];
    }
    return expected;
}

std::string CompareMemory(const Bytes& expected, const Bytes& actual, std::uint32_t baseAddress) {
    if (expected.size() != actual.size())
        return "size " + std::to_string(actual.size()) + ", expected " + std::to_string(expected.size());
    std::size_t count = 0, first = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == actual[i]) continue;
        if (count++ == 0) first = i;
    }
    if (count == 0) return "";
    return std::to_string(count) + " bytes differ, first at " +
           Hex32(static_cast<std::uint32_t>(baseAddress + first)) + ": expected " + HexByte(expected[first]) +
           ", found " + HexByte(actual[first]);
}

DumpReport VerifyDump(const std::string& modelDir, const std::string& dumpDir) {
    ExpectedMemories expected = ExpectedFromScript(modelDir);
    std::ostringstream text;
    bool ok = expected.problems.empty();
    for (const auto& p : expected.problems)
        text << "problem: " << p << '\n';

    for (const MemorySlot& slot : Slots(expected, nullptr)) {
        if (!*slot.expected) {
            text << slot.name << ": not programmed by the script\n";
            continue;
        }
        std::string path = (std::filesystem::path(dumpDir) / slot.name).string();
        try {
            std::string diff = CompareMemory(**slot.expected, ReadMemoryFile(path, slot.size), slot.base);
            text << slot.name << ": " << (diff.empty() ? "as programmed" : diff) << '\n';
            if (!diff.empty()) ok = false;
        } catch (const std::exception& e) {
            text << slot.name << ": " << e.what() << '\n';
            ok = false;
        }
    }
    text << (ok ? "OK" : "DIFFERENT") << '\n';
    return {ok, text.str()};
}

bool MemoriesAsProgrammed(const ExpectedMemories& expected, const DeviceMemory& memory) {
    if (!expected.problems.empty()) return false;
    for (const MemorySlot& slot : Slots(expected, &memory))
        if (*slot.expected && !CompareMemory(**slot.expected, *slot.held, slot.base).empty()) return false;
    return true;
}

} // namespace vz::emu

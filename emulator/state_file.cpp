#include "emulator/state_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace vz::emu {

namespace {

constexpr const char* kMagic = "vzdevice-state 1";

void WriteBytes(std::ostream& out, const Bytes& bytes) {
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void ReadExact(std::istream& in, Bytes& bytes, const std::string& path) {
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
        throw std::runtime_error("state file " + path + " is truncated");
}

void WriteText(std::ostream& out, const char* key, const std::string& text) {
    out << key << ' ' << text.size() << '\n';
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string ReadText(std::istream& in, const char* key, const std::string& path) {
    std::string word;
    std::size_t size = 0;
    in >> word >> size;
    in.get();
    if (!in || word != key || size > 4096)
        throw std::runtime_error("state file " + path + ": bad " + key + " entry");
    std::string text(size, '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (in.gcount() != static_cast<std::streamsize>(size))
        throw std::runtime_error("state file " + path + " is truncated");
    return text;
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    WriteBytes(out, bytes);
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

} // namespace

void SaveState(const std::string& path, const DeviceMemory& memory) {
    // Written beside the old file and renamed, so a crash never leaves half a state.
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << kMagic << '\n' << "versions ";
        for (const auto& v : memory.versions)
            out << v;
        out << '\n';
        WriteText(out, "uv", memory.userVersion);
        WriteText(out, "op", memory.optionText);
        out << "memory\n";
        WriteBytes(out, memory.boot);
        for (const auto& bank : memory.banks)
            WriteBytes(out, bank);
        for (const auto& prom : memory.proms)
            WriteBytes(out, prom);
        if (!out) throw std::runtime_error("cannot write state file " + temp);
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) throw std::runtime_error("cannot replace state file " + path + ": " + ec.message());
}

bool LoadState(const std::string& path, DeviceMemory& memory) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    std::getline(in, line);
    if (line != kMagic) throw std::runtime_error("state file " + path + " is not a vzdevice state");
    std::string word, versions;
    in >> word >> versions;
    in.get();
    if (word != "versions" || versions.size() != 4 * memory.versions.size())
        throw std::runtime_error("state file " + path + ": bad versions entry");
    DeviceMemory loaded;
    for (std::size_t i = 0; i < loaded.versions.size(); ++i)
        loaded.versions[i] = versions.substr(4 * i, 4);
    loaded.userVersion = ReadText(in, "uv", path);
    loaded.optionText = ReadText(in, "op", path);
    std::getline(in, line);
    if (line != "memory") throw std::runtime_error("state file " + path + ": memory section missing");
    ReadExact(in, loaded.boot, path);
    for (auto& bank : loaded.banks)
        ReadExact(in, bank, path);
    for (auto& prom : loaded.proms)
        ReadExact(in, prom, path);
    memory = std::move(loaded);
    return true;
}

void WriteDump(const std::string& dir, const DeviceMemory& memory) {
    std::filesystem::path base(dir);
    std::error_code ec;
    std::filesystem::create_directories(base, ec);
    if (ec) throw std::runtime_error("cannot create dump directory " + dir + ": " + ec.message());
    WriteFile(base / "boot.bin", memory.boot);
    for (std::size_t i = 0; i < memory.banks.size(); ++i)
        WriteFile(base / ("bank" + std::to_string(i) + ".bin"), memory.banks[i]);
    WriteFile(base / "prom1.bin", memory.proms[0]);
    WriteFile(base / "prom2.bin", memory.proms[1]);
    std::ofstream versions(base / "versions.txt", std::ios::trunc);
    for (std::size_t i = 0; i < memory.versions.size(); ++i)
        versions << i << ' ' << memory.versions[i] << '\n';
    if (!versions) throw std::runtime_error("cannot write " + (base / "versions.txt").string());
}

Bytes ReadMemoryFile(const std::string& path, std::size_t size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() != size)
        throw std::runtime_error(path + " holds " + std::to_string(bytes.size()) + " bytes, not " +
                                 std::to_string(size));
    return bytes;
}

} // namespace vz::emu

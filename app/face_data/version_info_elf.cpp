// Version information of an ELF program: the version block section, found
// through the file's section headers and read back from the file itself.
#include "app/face_data/version_info.h"

#include <elf.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string_view>

namespace vz {

namespace {

// Only the section is searched for the marker, so the same text elsewhere in
// the file (this reader's own constant) is never taken for a block.
constexpr std::string_view kMarker{"VZVERSIONINFO\0", 14};
// A block is a few hundred bytes; anything far larger is not ours.
constexpr std::uint64_t kMaxBlockSize = 64 * 1024;

class FileBytes {
public:
    explicit FileBytes(const std::string& path) : in_(path, std::ios::binary) {
        if (in_) {
            in_.seekg(0, std::ios::end);
            const auto end = in_.tellg();
            size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
        }
    }
    // Reads `count` bytes at base + delta; false when any of them lies outside the
    // file (the offsets come from the file itself and may be anything).
    bool Read(std::uint64_t base, std::uint64_t delta, void* out, std::uint64_t count) {
        if (!in_ || base > size_ || delta > size_ - base || count > size_ - base - delta) return false;
        in_.seekg(static_cast<std::streamoff>(base + delta));
        in_.read(static_cast<char*>(out), static_cast<std::streamsize>(count));
        return static_cast<std::uint64_t>(in_.gcount()) == count;
    }

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

template <class Ehdr, class Shdr>
std::optional<std::string> SectionContents(FileBytes& file, std::string_view name) {
    Ehdr header{};
    if (!file.Read(0, 0, &header, sizeof header)) return std::nullopt;
    if (header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum)
        return std::nullopt;
    Shdr names{};
    if (!file.Read(header.e_shoff, std::uint64_t{header.e_shstrndx} * sizeof(Shdr), &names, sizeof names))
        return std::nullopt;
    // The name with its terminating zero, so that a longer name does not match.
    const std::string wanted = std::string(name) + '\0';
    for (std::uint64_t i = 0; i < header.e_shnum; ++i) {
        Shdr section{};
        if (!file.Read(header.e_shoff, i * sizeof(Shdr), &section, sizeof section)) return std::nullopt;
        std::string found(wanted.size(), '\0');
        if (section.sh_name >= names.sh_size || found.size() > names.sh_size - section.sh_name) continue;
        if (!file.Read(names.sh_offset, section.sh_name, found.data(), found.size())) continue;
        if (found != wanted) continue;
        if (section.sh_type == SHT_NOBITS || section.sh_size > kMaxBlockSize) return std::nullopt;
        std::string contents(section.sh_size, '\0');
        if (!file.Read(section.sh_offset, 0, contents.data(), contents.size())) return std::nullopt;
        return contents;
    }
    return std::nullopt;
}

// The value of "key=value" in a block, the key given without its leading separator.
std::optional<std::string> BlockValue(std::string_view block, std::string_view key) {
    if (!block.starts_with(kMarker)) return std::nullopt;
    std::size_t pos = kMarker.size();
    while (pos < block.size()) {
        const std::size_t end = block.find('\0', pos);
        if (end == std::string_view::npos) return std::nullopt; // cut off: trust nothing after it
        const std::string_view entry = block.substr(pos, end - pos);
        if (entry.empty()) break;
        const std::size_t equals = entry.find('=');
        if (equals != std::string_view::npos && entry.substr(0, equals) == key)
            return std::string(entry.substr(equals + 1));
        pos = end + 1;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> FileVersionValue(const std::string& filePath, const std::string& subBlock) {
    FileBytes file(filePath);
    unsigned char ident[EI_NIDENT] = {};
    if (!file.Read(0, 0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return std::nullopt;
    const unsigned char nativeData = std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
    if (ident[EI_DATA] != nativeData) return std::nullopt;
    std::optional<std::string> block;
    if (ident[EI_CLASS] == ELFCLASS64)
        block = SectionContents<Elf64_Ehdr, Elf64_Shdr>(file, VZ_VERSION_SECTION);
    else if (ident[EI_CLASS] == ELFCLASS32)
        block = SectionContents<Elf32_Ehdr, Elf32_Shdr>(file, VZ_VERSION_SECTION);
    if (!block) return std::nullopt;
    std::string_view key = subBlock;
    while (key.starts_with('\\'))
        key.remove_prefix(1);
    return BlockValue(*block, key);
}

std::string RunningProgramPath() {
    return "/proc/self/exe";
}

} // namespace vz

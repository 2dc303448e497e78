#include "formats/text_lines.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vz {

namespace {
bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
} // namespace

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            // CR LF is one line end; a lone CR or LF is one too.
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

LoadResult LoadTextLines(const std::string& path, std::vector<std::string>& lines, std::string* reason) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        if (reason) *reason = "No such file or directory";
        return LoadResult::Missing;
    }
    // A directory or a device where a file belongs: the file the script names is not there.
    if (!std::filesystem::is_regular_file(status)) {
        if (reason) *reason = std::filesystem::is_directory(status) ? "Is a directory" : "Not a regular file";
        return LoadResult::Missing;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (reason) *reason = std::strerror(errno);
        return LoadResult::Unreadable;
    }
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) {
        if (reason) *reason = "Read error";
        return LoadResult::Unreadable;
    }
    lines = SplitLines(content.str());
    return LoadResult::Ok;
}

std::string TrimLeft(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && IsBlankOrControl(text[start]))
        ++start;
    return std::string(text.substr(start));
}

std::string TrimBoth(std::string_view text) {
    std::size_t start = 0;
    std::size_t end = text.size();
    while (start < end && IsBlankOrControl(text[start]))
        ++start;
    while (end > start && IsBlankOrControl(text[end - 1]))
        --end;
    return std::string(text.substr(start, end - start));
}

} // namespace vz

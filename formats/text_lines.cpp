#include "formats/text_lines.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vz {

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// The end of the line starting at `start`: its CR or LF, or the end of the text.
std::size_t LineEnd(std::string_view text, std::size_t start) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n')
        ++end;
    return end;
}

// Where the line after the one starting at `start` begins; CR LF is one line end.
std::size_t NextLineStart(std::string_view text, std::size_t start) {
    const std::size_t end = LineEnd(text, start);
    if (end == text.size()) return end;
    return end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
}

} // namespace

std::string_view TextLines::Iterator::operator*() const {
    return text_.substr(start_, LineEnd(text_, start_) - start_);
}

TextLines::Iterator& TextLines::Iterator::operator++() {
    start_ = NextLineStart(text_, start_);
    ++index_;
    return *this;
}

TextLines::Iterator TextLines::Iterator::operator++(int) {
    Iterator before = *this;
    ++*this;
    return before;
}

TextLines::TextLines(std::string text) : text_(std::move(text)) {
    // Counted first, so that the marks take their own size and no more.
    for (std::size_t start = 0; start < text_.size(); start = NextLineStart(text_, start))
        ++count_;
    marks_.reserve((count_ + kStride - 1) / kStride);
    std::size_t index = 0;
    for (std::size_t start = 0; start < text_.size(); start = NextLineStart(text_, start))
        if (index++ % kStride == 0) marks_.push_back(start);
}

void TextLines::clear() {
    text_ = std::string();
    marks_ = std::vector<std::size_t>();
    count_ = 0;
}

std::string_view TextLines::View(std::size_t index) const {
    std::size_t start = marks_[index / kStride];
    for (std::size_t skip = index % kStride; skip > 0; --skip)
        start = NextLineStart(text_, start);
    return std::string_view(text_).substr(start, LineEnd(text_, start) - start);
}

std::vector<std::string> TextLines::ToVector() const {
    std::vector<std::string> lines;
    lines.reserve(count_);
    for (const std::string_view line : *this)
        lines.emplace_back(line);
    return lines;
}

std::vector<std::string> SplitLines(std::string_view text) {
    return TextLines(std::string(text)).ToVector();
}

LoadResult LoadTextLines(const std::string& path, TextLines& lines, std::string* reason) {
    const auto fail = [reason](LoadResult result, const char* why) {
        if (reason) *reason = why;
        return result;
    };
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return fail(LoadResult::Missing, "No such file or directory");
    // A directory or a device where a file belongs: the file the script names is not there.
    if (!std::filesystem::is_regular_file(status))
        return fail(LoadResult::Missing,
                    std::filesystem::is_directory(status) ? "Is a directory" : "Not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxTextFileBytes) return fail(LoadResult::Unreadable, "File too large");
    std::ifstream file(path, std::ios::binary);
    if (!file) return fail(LoadResult::Unreadable, std::strerror(errno));
    // One read into a buffer of the file's size, then on to the end of a file that grew meanwhile.
    std::string text(ec ? 0 : static_cast<std::size_t>(size), '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    std::vector<char> chunk(1 << 16);
    while (file.read(chunk.data(), static_cast<std::streamsize>(chunk.size())), file.gcount() > 0) {
        if (text.size() + static_cast<std::size_t>(file.gcount()) > kMaxTextFileBytes)
            return fail(LoadResult::Unreadable, "File too large");
        text.append(chunk.data(), static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) return fail(LoadResult::Unreadable, "Read error");
    lines = TextLines(std::move(text));
    return LoadResult::Ok;
}

LoadResult LoadTextLines(const std::string& path, std::vector<std::string>& lines, std::string* reason) {
    TextLines text;
    const LoadResult result = LoadTextLines(path, text, reason);
    if (result == LoadResult::Ok) lines = text.ToVector();
    return result;
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

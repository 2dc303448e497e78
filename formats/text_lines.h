// The one place text files are split into lines. Files come from Windows and
// Linux alike: CR LF, LF and a lone CR all end a line, and no CR is ever kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

// The lines of a text, kept in the text itself: a string of its own per line
// would cost some 32 bytes a line besides its characters, many times the size
// of a file of short lines. A line end at the very end adds no empty line.
class TextLines {
public:
    // Walks the lines in order, each as a view into the text.
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        Iterator() = default;
        std::string_view operator*() const;
        Iterator& operator++();
        Iterator operator++(int);
        bool operator==(const Iterator& other) const { return index_ == other.index_; }

    private:
        friend class TextLines;
        Iterator(std::string_view text, std::size_t start, std::size_t index)
            : text_(text), start_(start), index_(index) {}
        std::string_view text_;
        std::size_t start_ = 0;
        std::size_t index_ = 0;
    };

    TextLines() = default;
    explicit TextLines(std::string text);

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    void clear();
    // Line `index`, which must be below size().
    std::string_view View(std::size_t index) const;
    // A copy of line `index`, for callers that add to it.
    std::string operator[](std::size_t index) const { return std::string(View(index)); }
    Iterator begin() const { return {text_, 0, 0}; }
    Iterator end() const { return {text_, text_.size(), count_}; }
    std::vector<std::string> ToVector() const;

private:
    // Where every kStride-th line starts: a line is found from the mark before
    // it by skipping fewer than kStride lines.
    static constexpr std::size_t kStride = 8;

    std::string text_;
    std::vector<std::size_t> marks_;
    std::size_t count_ = 0;
};

std::vector<std::string> SplitLines(std::string_view text);

enum class LoadResult { Ok, Missing, Unreadable };

// The largest file read: more than any script, HEX or Effect file the device
// can take (256 MiB of Effect lines take over 12 hours at 57600 baud). A larger
// file is Unreadable, "File too large".
inline constexpr std::uintmax_t kMaxTextFileBytes = std::uintmax_t{256} << 20;

// Reads a whole file as plain 8-bit text, in memory little more than its size.
// `reason` gets the system's explanation when the result is not Ok.
LoadResult LoadTextLines(const std::string& path, TextLines& lines, std::string* reason = nullptr);
// The same, a string per line, for callers that change their lines.
LoadResult LoadTextLines(const std::string& path, std::vector<std::string>& lines,
                         std::string* reason = nullptr);

// Blanks and control characters removed at both ends.
std::string TrimBoth(std::string_view text);
// Blanks and control characters removed at the start only.
std::string TrimLeft(std::string_view text);

} // namespace vz

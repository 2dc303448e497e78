// Standard SVF text cut into statements: words upper-cased, "( ... )" groups
// as their hex digits, comments and line breaks dropped, every token with its
// place for messages.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace vz {

struct SvfPlace {
    std::uint64_t line = 0, column = 0;
};

struct SvfToken {
    bool hex = false; // a "( ... )" group: text holds its digits, upper case
    std::string text;
    SvfPlace place;
};

struct SvfStatement {
    std::vector<SvfToken> tokens;
    SvfPlace place;
};

// What stopped a statement being read; the reader has already gone on to the
// statement after it.
struct SvfReadProblem {
    std::string text;
    SvfPlace place;
};

// Reads through a buffer of its own and keeps at most one statement, whose
// words, values and count of them are bounded: whatever the text, reading
// takes a bounded amount of memory.
class SvfLexer {
public:
    static constexpr std::size_t kMaxWordLength = 256;
    static constexpr std::size_t kMaxTokens = 1024;

    // `maxHexDigits`: the most digits a "( ... )" group may hold.
    SvfLexer(std::istream& in, std::size_t maxHexDigits);

    enum class Result { Statement, Problem, End };
    // The next statement up to its ";" into `statement`, or the problem that
    // broke it into `problem`.
    Result Next(SvfStatement& statement, SvfReadProblem& problem);

private:
    // Whether a problem leaves the rest of its statement to be skipped: at the
    // end of the input there is nothing left to skip.
    enum class Resume { SkipStatement, AtEnd };

    int Peek();
    int PeekSecond();
    bool Fill();
    int Get();
    bool IsWordChar(int c);
    void SkipToLineEnd();
    int SkipBlanks();
    void SkipStatement();
    Result ReadHex(SvfToken& token, SvfReadProblem& problem, bool anyText);
    Result Fail(SvfReadProblem& problem, std::string text, SvfPlace place, Resume resume);

    std::istream& in_;
    std::size_t maxHexDigits_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t line_ = 1, column_ = 0;
    bool newLine_ = false;
};

} // namespace vz

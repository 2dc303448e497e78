#include "formats/svf_lexer.h"

#include <istream>

namespace vz {

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsBlank(int c) {
    return c >= 0 && c <= ' ';
}

} // namespace

SvfLexer::SvfLexer(std::istream& in, std::size_t maxHexDigits)
    : in_(in), maxHexDigits_(maxHexDigits), buffer_(1 << 16) {}

SvfLexer::Result SvfLexer::Next(SvfStatement& statement, SvfReadProblem& problem) {
    statement.tokens.clear();
    int c = SkipBlanks();
    if (c < 0) return Result::End;
    statement.place = {line_, column_};
    for (;; c = SkipBlanks()) {
        if (c < 0)
            return Fail(problem, "the statement has no \";\" before the end of the file", statement.place,
                        Resume::AtEnd);
        if (c == ';') return Result::Statement;
        if (statement.tokens.size() == kMaxTokens)
            return Fail(problem,
                        "a statement of more than " + std::to_string(kMaxTokens) + " words and values",
                        statement.place, Resume::SkipStatement);
        if (c == '(') {
            SvfToken token{true, {}, {line_, column_}};
            // PIO and PIOMAP groups hold pin states and names; both are refused later anyway.
            const auto& tokens = statement.tokens;
            const bool pins = tokens.size() == 1 && (tokens[0].text == "PIO" || tokens[0].text == "PIOMAP");
            if (ReadHex(token, problem, pins) == Result::Problem) return Result::Problem;
            statement.tokens.push_back(std::move(token));
        } else if (c == ')') {
            return Fail(problem, "\")\" without \"(\"", {line_, column_}, Resume::SkipStatement);
        } else {
            SvfToken token{false, std::string(1, Upper(static_cast<char>(c))), {line_, column_}};
            while (IsWordChar(Peek())) {
                if (token.text.size() == kMaxWordLength)
                    return Fail(problem,
                                "a word of more than " + std::to_string(kMaxWordLength) + " characters",
                                token.place, Resume::SkipStatement);
                token.text += Upper(static_cast<char>(Get()));
            }
            statement.tokens.push_back(std::move(token));
        }
    }
}

bool SvfLexer::IsWordChar(int c) {
    if (c < 0 || IsBlank(c) || c == '(' || c == ')' || c == ';' || c == '!') return false;
    return !(c == '/' && PeekSecond() == '/');
}

int SvfLexer::Peek() {
    if (pos_ == end_ && !Fill()) return -1;
    return static_cast<unsigned char>(buffer_[pos_]);
}

// The character after the next, for "//".
int SvfLexer::PeekSecond() {
    if (pos_ == end_ && !Fill()) return -1;
    if (pos_ + 1 < end_) return static_cast<unsigned char>(buffer_[pos_ + 1]);
    buffer_[0] = buffer_[pos_]; // the last character stays in front of what is read next
    pos_ = 0;
    in_.read(buffer_.data() + 1, static_cast<std::streamsize>(buffer_.size() - 1));
    end_ = 1 + static_cast<std::size_t>(in_.gcount());
    return end_ > 1 ? static_cast<unsigned char>(buffer_[1]) : -1;
}

bool SvfLexer::Fill() {
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    pos_ = 0;
    end_ = static_cast<std::size_t>(in_.gcount());
    return end_ > 0;
}

int SvfLexer::Get() {
    const int c = Peek();
    if (c < 0) return c;
    ++pos_;
    if (newLine_) {
        ++line_;
        column_ = 0;
        newLine_ = false;
    }
    ++column_;
    // CR LF, LF and a lone CR each end one line.
    if (c == '\n' || (c == '\r' && Peek() != '\n')) newLine_ = true;
    return c;
}

void SvfLexer::SkipToLineEnd() {
    for (int c = Peek(); c >= 0 && c != '\n' && c != '\r'; c = Peek())
        Get();
}

// The next character that is neither a blank nor in a comment; -1 at the end.
int SvfLexer::SkipBlanks() {
    for (;;) {
        const int c = Get();
        if (c < 0) return c;
        if (IsBlank(c)) continue;
        if (c == '!' || (c == '/' && Peek() == '/')) {
            SkipToLineEnd();
            continue;
        }
        return c;
    }
}

void SvfLexer::SkipStatement() {
    bool inHex = false;
    for (int c = Get(); c >= 0; c = Get()) {
        if (c == '(') inHex = true;
        if (c == ')') inHex = false;
        if (c == ';' && !inHex) return;
    }
}

SvfLexer::Result SvfLexer::ReadHex(SvfToken& token, SvfReadProblem& problem, bool anyText) {
    for (;;) {
        const int c = SkipBlanks();
        if (c < 0)
            return Fail(problem, "\"(\" is not closed before the end of the file", token.place,
                        Resume::AtEnd);
        if (c == ')') return Result::Statement;
        const char u = Upper(static_cast<char>(c));
        if (anyText || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F')) {
            if (token.text.size() == maxHexDigits_)
                return Fail(problem,
                            "a value in parentheses of more than " + std::to_string(maxHexDigits_) +
                                " digits",
                            token.place, Resume::SkipStatement);
            token.text += u;
            continue;
        }
        return Fail(problem, std::string("'") + static_cast<char>(c) + "' is not a hex digit",
                    {line_, column_}, Resume::SkipStatement);
    }
}

SvfLexer::Result SvfLexer::Fail(SvfReadProblem& problem, std::string text, SvfPlace place, Resume resume) {
    problem.text = std::move(text);
    problem.place = place;
    if (resume == Resume::SkipStatement) SkipStatement();
    return Result::Problem;
}

} // namespace vz

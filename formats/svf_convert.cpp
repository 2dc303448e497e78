#include "formats/svf_convert.h"

#include "formats/effect.h"
#include "formats/hex.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>

namespace vz {

namespace {

constexpr std::size_t kMaxProblemsKept = 100;
constexpr std::uint64_t kMaxScanBits = std::uint64_t{1} << 31;
constexpr std::uint64_t kMaxRunTestCount = 2147483647;

// ---- TAP states, in the order of their Effect codes ----

enum class Tap : std::uint8_t {
    Reset,
    Idle,
    DrSelect,
    DrCapture,
    DrShift,
    DrExit1,
    DrPause,
    DrExit2,
    DrUpdate,
    IrSelect,
    IrCapture,
    IrShift,
    IrExit1,
    IrPause,
    IrExit2,
    IrUpdate
};

constexpr std::array<const char*, 16> kTapNames{
    "RESET",    "IDLE",     "DRSELECT",  "DRCAPTURE", "DRSHIFT", "DREXIT1", "DRPAUSE", "DREXIT2",
    "DRUPDATE", "IRSELECT", "IRCAPTURE", "IRSHIFT",   "IREXIT1", "IRPAUSE", "IREXIT2", "IRUPDATE"};

// Next state with TMS low, then with TMS high.
constexpr std::array<std::array<Tap, 2>, 16> kTapNext{{
    {Tap::Idle, Tap::Reset},
    {Tap::Idle, Tap::DrSelect},
    {Tap::DrCapture, Tap::IrSelect},
    {Tap::DrShift, Tap::DrExit1},
    {Tap::DrShift, Tap::DrExit1},
    {Tap::DrPause, Tap::DrUpdate},
    {Tap::DrPause, Tap::DrExit2},
    {Tap::DrShift, Tap::DrUpdate},
    {Tap::Idle, Tap::DrSelect},
    {Tap::IrCapture, Tap::Reset},
    {Tap::IrShift, Tap::IrExit1},
    {Tap::IrShift, Tap::IrExit1},
    {Tap::IrPause, Tap::IrUpdate},
    {Tap::IrPause, Tap::IrExit2},
    {Tap::IrShift, Tap::IrUpdate},
    {Tap::Idle, Tap::DrSelect},
}};

const char* TapName(Tap s) {
    return kTapNames[static_cast<std::size_t>(s)];
}

std::optional<Tap> TapByName(const std::string& name) {
    for (std::size_t i = 0; i < kTapNames.size(); ++i)
        if (name == kTapNames[i]) return static_cast<Tap>(i);
    return std::nullopt;
}

bool IsStable(Tap s) {
    return s == Tap::Reset || s == Tap::Idle || s == Tap::DrPause || s == Tap::IrPause;
}

bool OneStep(Tap from, Tap to) {
    const auto& next = kTapNext[static_cast<std::size_t>(from)];
    return next[0] == to || next[1] == to;
}

// ---- Bit strings, bit 0 first (the first bit into TDI), zero above their length ----

struct Bits {
    std::uint64_t size = 0;
    std::vector<std::uint64_t> words;

    static Bits Zeros(std::uint64_t n) {
        Bits b;
        b.size = n;
        b.words.assign((n + 63) / 64, 0);
        return b;
    }
    static Bits Ones(std::uint64_t n) {
        Bits b = Zeros(n);
        std::fill(b.words.begin(), b.words.end(), ~std::uint64_t{0});
        b.clearAbove();
        return b;
    }
    void clearAbove() {
        if (size % 64 != 0 && !words.empty()) words.back() &= (std::uint64_t{1} << (size % 64)) - 1;
    }
    bool allZero() const {
        return std::all_of(words.begin(), words.end(), [](std::uint64_t w) { return w == 0; });
    }
    bool allOnes() const { return words == Ones(size).words; }
    void andWith(const Bits& other) {
        for (std::size_t i = 0; i < words.size() && i < other.words.size(); ++i)
            words[i] &= other.words[i];
    }
    // ORs `src` in with its bit 0 at bit `at`.
    void place(const Bits& src, std::uint64_t at) {
        const unsigned shift = static_cast<unsigned>(at % 64);
        const std::size_t base = static_cast<std::size_t>(at / 64);
        for (std::size_t i = 0; i < src.words.size(); ++i) {
            const std::uint64_t v = src.words[i];
            if (base + i < words.size()) words[base + i] |= v << shift;
            if (shift != 0 && base + i + 1 < words.size()) words[base + i + 1] |= v >> (64 - shift);
        }
    }
    Bits slice(std::uint64_t from, std::uint64_t count) const {
        Bits out = Zeros(count);
        const unsigned shift = static_cast<unsigned>(from % 64);
        const std::size_t base = static_cast<std::size_t>(from / 64);
        for (std::size_t j = 0; j < out.words.size(); ++j) {
            std::uint64_t v = base + j < words.size() ? words[base + j] >> shift : 0;
            if (shift != 0 && base + j + 1 < words.size()) v |= words[base + j + 1] << (64 - shift);
            out.words[j] = v;
        }
        out.clearAbove();
        return out;
    }
    unsigned nibble(std::uint64_t index) const {
        const std::uint64_t bit = index * 4;
        if (bit >= size) return 0;
        return static_cast<unsigned>((words[static_cast<std::size_t>(bit / 64)] >> (bit % 64)) & 0xF);
    }
    // 2 x ceil(size / 8) digits, most significant first; pad bits as `padOnes` says.
    std::string hex(bool padOnes = false) const {
        const std::uint64_t digits = 2 * ((size + 7) / 8);
        std::string text(static_cast<std::size_t>(digits), '0');
        for (std::uint64_t d = 0; d < digits; ++d) {
            unsigned v = nibble(d);
            if (padOnes)
                for (unsigned k = 0; k < 4; ++k)
                    if (d * 4 + k >= size) v |= 1u << k;
            text[static_cast<std::size_t>(digits - 1 - d)] = NibbleToHexChar(v);
        }
        return text;
    }
};

// ---- Reading: statements out of a stream of text, with their places ----

struct Token {
    bool hex = false; // a "( ... )" group: text holds its digits, upper case
    std::string text;
    std::uint64_t line = 0, column = 0;
};

struct Statement {
    std::vector<Token> tokens;
    std::uint64_t line = 0, column = 0;
    bool broken = false; // a reading problem, already reported
};

class SvfLexer {
public:
    explicit SvfLexer(std::istream& in) : in_(in), buffer_(1 << 16) {}

    // The next statement up to its ";". False at the end of the input.
    bool next(Statement& st, std::string& problem, std::uint64_t& line, std::uint64_t& column) {
        st.tokens.clear();
        st.broken = false;
        problem.clear();
        int c = skipBlanks();
        if (c < 0) return false;
        st.line = line_;
        st.column = column_;
        for (;; c = skipBlanks()) {
            if (c < 0)
                return fail(st, problem, line, column,
                            "the statement has no \";\" before the end of the file", st.line, st.column);
            if (c == ';') return true;
            if (c == '(') {
                Token t{true, {}, line_, column_};
                // PIO and PIOMAP groups hold pin states and names; both are refused later anyway.
                const bool pins =
                    st.tokens.size() == 1 && (st.tokens[0].text == "PIO" || st.tokens[0].text == "PIOMAP");
                if (!readHex(t, problem, line, column, pins)) {
                    st.broken = true;
                    skipStatement();
                    return true;
                }
                st.tokens.push_back(std::move(t));
            } else if (c == ')') {
                return fail(st, problem, line, column, "\")\" without \"(\"", line_, column_);
            } else {
                Token t{false, std::string(1, Upper(static_cast<char>(c))), line_, column_};
                while (IsWordChar(peek()))
                    t.text += Upper(static_cast<char>(get()));
                st.tokens.push_back(std::move(t));
            }
        }
    }

private:
    static char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
    static bool IsBlank(int c) { return c >= 0 && c <= ' '; }
    bool IsWordChar(int c) {
        if (c < 0 || IsBlank(c) || c == '(' || c == ')' || c == ';' || c == '!') return false;
        return !(c == '/' && peekSecond() == '/');
    }

    int peek() {
        if (pos_ == end_ && !fill()) return -1;
        return static_cast<unsigned char>(buffer_[pos_]);
    }
    // The character after the next, for "//".
    int peekSecond() {
        if (pos_ == end_ && !fill()) return -1;
        if (pos_ + 1 < end_) return static_cast<unsigned char>(buffer_[pos_ + 1]);
        buffer_[0] = buffer_[pos_]; // the last character stays in front of what is read next
        pos_ = 0;
        in_.read(buffer_.data() + 1, static_cast<std::streamsize>(buffer_.size() - 1));
        end_ = 1 + static_cast<std::size_t>(in_.gcount());
        return end_ > 1 ? static_cast<unsigned char>(buffer_[1]) : -1;
    }
    bool fill() {
        in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        pos_ = 0;
        end_ = static_cast<std::size_t>(in_.gcount());
        return end_ > 0;
    }
    int get() {
        const int c = peek();
        if (c < 0) return c;
        ++pos_;
        if (newLine_) {
            ++line_;
            column_ = 0;
            newLine_ = false;
        }
        ++column_;
        // CR LF, LF and a lone CR each end one line.
        if (c == '\n' || (c == '\r' && peek() != '\n')) newLine_ = true;
        return c;
    }
    void skipToLineEnd() {
        for (int c = peek(); c >= 0 && c != '\n' && c != '\r'; c = peek())
            get();
    }
    // The next character that is neither a blank nor in a comment; -1 at the end.
    int skipBlanks() {
        for (;;) {
            int c = get();
            if (c < 0) return c;
            if (IsBlank(c)) continue;
            if (c == '!' || (c == '/' && peek() == '/')) {
                skipToLineEnd();
                continue;
            }
            return c;
        }
    }
    void skipStatement() {
        bool inHex = false;
        for (int c = get(); c >= 0; c = get()) {
            if (c == '(') inHex = true;
            if (c == ')') inHex = false;
            if (c == ';' && !inHex) return;
        }
    }
    bool readHex(Token& t, std::string& problem, std::uint64_t& line, std::uint64_t& column, bool anyText) {
        for (;;) {
            const int c = skipBlanks();
            if (c < 0) {
                problem = "\"(\" is not closed before the end of the file";
                line = t.line;
                column = t.column;
                return false;
            }
            if (c == ')') return true;
            const char u = Upper(static_cast<char>(c));
            if (anyText || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F')) {
                t.text += u;
                continue;
            }
            problem.assign(1, '\'');
            problem += static_cast<char>(c);
            problem += "' is not a hex digit";
            line = line_;
            column = column_;
            return false;
        }
    }
    bool fail(Statement& st, std::string& problem, std::uint64_t& line, std::uint64_t& column,
              const std::string& text, std::uint64_t atLine, std::uint64_t atColumn) {
        problem = text;
        line = atLine;
        column = atColumn;
        st.broken = true;
        if (text.find("end of the file") == std::string::npos) skipStatement();
        return true;
    }

    std::istream& in_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t line_ = 1, column_ = 0;
    bool newLine_ = false;
};

// ---- Conversion ----

struct Problem {
    std::uint64_t line, column;
    std::string text;
};

// What a scan-like statement (SIR, SDR, HIR, HDR, TIR, TDR) said and what it
// leaves for the next one of its kind.
struct ScanMemory {
    bool known = false;
    std::uint64_t length = 0;
    Bits tdi, mask, smask;
    bool maskGiven = false, smaskGiven = false; // by a statement, not the all-ones default
};

struct ResolvedScan {
    std::uint64_t length = 0;
    Bits tdi; // SMASK applied
    bool hasTdo = false;
    Bits tdo, mask;
};

enum ScanKind { kSir, kSdr, kHir, kHdr, kTir, kTdr, kScanKinds };
constexpr std::array<const char*, kScanKinds> kScanNames{"SIR", "SDR", "HIR", "HDR", "TIR", "TDR"};

class Converter {
public:
    Converter(std::ostream& out, std::ostream* map, const SvfConvertOptions& options,
              SvfConvertSummary& summary)
        : out_(out), map_(map), options_(options), summary_(summary),
          traceName_(std::filesystem::path(options.sourceName).filename().string()) {}

    void statement(const Statement& st) {
        ++summary_.statements;
        st_ = &st;
        pending_.clear();
        const std::string& keyword = st.tokens.empty() ? std::string() : st.tokens[0].text;
        if (st.tokens.empty() || st.tokens[0].hex)
            return error(st.line, st.column, "a statement needs a keyword");
        for (int k = 0; k < kScanKinds; ++k)
            if (keyword == kScanNames[static_cast<std::size_t>(k)])
                return scanStatement(static_cast<ScanKind>(k));
        if (keyword == "ENDIR" || keyword == "ENDDR") return endState(keyword == "ENDIR");
        if (keyword == "STATE") return state();
        if (keyword == "RUNTEST") return runTest();
        if (keyword == "FREQUENCY") return frequency();
        if (keyword == "TRST") return trst();
        if (keyword == "PIO" || keyword == "PIOMAP")
            return refuse(st.tokens[0], keyword + " refused: the device has no parallel test pins");
        error(st.tokens[0], "unknown statement " + keyword);
    }

    void problem(std::uint64_t line, std::uint64_t column, const std::string& text) {
        ++summary_.problemsFound;
        if (problems_.size() < kMaxProblemsKept) problems_.push_back({line, column, text});
    }

    const std::vector<Problem>& problems() const { return problems_; }

    void finish() {
        if (problems_.empty()) summary_.deviceBytes += kEffectEndRecord.size() + 2;
    }

private:
    // -- messages --
    void error(std::uint64_t line, std::uint64_t column, const std::string& text) {
        problem(line, column, text);
    }
    void error(const Token& t, const std::string& text) { problem(t.line, t.column, text); }
    void refuse(const Token& t, const std::string& text) { problem(t.line, t.column, text); }

    // -- output: a statement's lines go out together once it is known to be good --
    void emit(std::string line) { pending_.push_back(std::move(line)); }

    void flush() {
        if (!problems_.empty()) {
            pending_.clear();
            return; // nothing of a file with a problem is kept, so stop writing
        }
        if (pending_.empty()) return;
        if (options_.traceEvery > 0 && summary_.effectLines >= nextTrace_) {
            write("// " + traceName_ + " line " + std::to_string(st_->line), true);
            ++summary_.traceComments;
        }
        for (auto& line : pending_)
            write(line, false);
        pending_.clear();
    }

    void write(const std::string& line, bool trace) {
        out_ << line << '\n';
        ++summary_.effectLines;
        if (trace) nextTrace_ = summary_.effectLines + static_cast<std::uint64_t>(options_.traceEvery);
        if (map_) *map_ << summary_.effectLines << '\t' << st_->line << '\n';
        if (line.starts_with("//")) return;
        TranslationState state;
        const std::string record = TranslateStatement(line, state);
        if (record == kEffectError) {
            problem(st_->line, st_->column, "internal fault: the line written does not translate: " + line);
            return;
        }
        summary_.deviceBytes += record.size() + 2 + (state.DataBlockPending ? state.Tdi.size() : 0);
    }

    // -- numbers --
    static bool Integer(const Token& t, std::uint64_t& value) {
        if (t.hex || t.text.empty()) return false;
        const auto [end, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), value);
        return ec == std::errc() && end == t.text.data() + t.text.size();
    }
    static bool Real(const Token& t, double& value) {
        if (t.hex || t.text.empty()) return false;
        const auto [end, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), value);
        return ec == std::errc() && end == t.text.data() + t.text.size() && value >= 0 &&
               std::isfinite(value);
    }

    // -- scans --
    bool hexValue(const Token& t, const std::string& name, std::uint64_t length, Bits& out) {
        const std::string& d = t.text;
        const std::size_t first = std::min(d.find_first_not_of('0'), d.size());
        const std::uint64_t needed = 2 * ((length + 7) / 8);
        if (d.size() - first > needed) {
            error(t, name + " has " + std::to_string(d.size()) + " digits with a non-zero one beyond the " +
                         std::to_string(needed) + " of " + std::to_string(length) + " bits");
            return false;
        }
        out = Bits::Zeros(length);
        const std::uint64_t digits = std::min<std::uint64_t>(d.size(), (length + 3) / 4);
        for (std::uint64_t k = 0; k < digits; ++k) {
            const std::uint64_t v = HexCharToNibble(d[d.size() - 1 - static_cast<std::size_t>(k)]);
            const std::uint64_t bit = 4 * k;
            out.words[static_cast<std::size_t>(bit / 64)] |= v << (bit % 64);
        }
        out.clearAbove(); // bits of the top digit above the length are never shifted
        return true;
    }

    // Parses "length [TDI (..)] [TDO (..)] [MASK (..)] [SMASK (..)]" and fills in
    // what the previous statement of the kind carries over.
    bool resolve(ScanKind kind, ResolvedScan& scan) {
        const auto& tokens = st_->tokens;
        const std::string name = kScanNames[static_cast<std::size_t>(kind)];
        if (tokens.size() < 2 || !Integer(tokens[1], scan.length)) {
            error(tokens.size() < 2 ? tokens[0] : tokens[1], name + " needs a length in bits");
            return false;
        }
        if (scan.length > kMaxScanBits) {
            error(tokens[1], name + " of " + tokens[1].text + " bits is longer than this converter takes");
            return false;
        }
        std::array<std::optional<Bits>, 4> given; // TDI, TDO, MASK, SMASK
        static constexpr std::array<const char*, 4> kParts{"TDI", "TDO", "MASK", "SMASK"};
        for (std::size_t i = 2; i < tokens.size(); i += 2) {
            const Token& key = tokens[i];
            std::size_t part = kParts.size();
            for (std::size_t p = 0; p < kParts.size(); ++p)
                if (!key.hex && key.text == kParts[p]) part = p;
            if (part == kParts.size()) {
                error(key, key.hex ? "a value in parentheses needs TDI, TDO, MASK or SMASK before it"
                                   : "unknown part " + key.text + " of " + name);
                return false;
            }
            if (i + 1 >= tokens.size() || !tokens[i + 1].hex) {
                error(key, key.text + " needs a value in parentheses");
                return false;
            }
            if (given[part]) {
                error(key, key.text + " is given twice");
                return false;
            }
            Bits value;
            if (!hexValue(tokens[i + 1], key.text, scan.length, value)) return false;
            given[part] = std::move(value);
        }
        ScanMemory& memory = memory_[kind];
        const bool same = memory.known && memory.length == scan.length;
        Bits tdi, mask, smask;
        bool maskGiven = given[2].has_value(), smaskGiven = given[3].has_value();
        if (given[0]) {
            tdi = *given[0];
        } else if (same) {
            tdi = memory.tdi;
            ++summary_.parametersCarried;
        } else if (scan.length == 0) {
            tdi = Bits::Zeros(0);
        } else {
            error(tokens[0], name + " needs TDI: no earlier " + name + " of " + std::to_string(scan.length) +
                                 " bits to carry it over from");
            return false;
        }
        scan.hasTdo = given[1].has_value();
        if (given[2]) {
            mask = *given[2];
        } else if (same) {
            mask = memory.mask;
            maskGiven = memory.maskGiven;
            summary_.parametersCarried += scan.hasTdo && maskGiven;
        } else {
            mask = Bits::Ones(scan.length);
        }
        if (given[3]) {
            smask = *given[3];
        } else if (same) {
            smask = memory.smask;
            smaskGiven = memory.smaskGiven;
            summary_.parametersCarried += smaskGiven;
        } else {
            smask = Bits::Ones(scan.length);
        }
        memory = {true, scan.length, tdi, mask, smask, maskGiven, smaskGiven};
        scan.tdi = std::move(tdi);
        scan.tdi.andWith(smask);
        if (scan.hasTdo) {
            scan.tdo = *given[1];
            scan.mask = std::move(mask);
        }
        return true;
    }

    void scanStatement(ScanKind kind) {
        ResolvedScan scan;
        if (!resolve(kind, scan)) return;
        if (kind >= kHir) {
            ResolvedScan& pad = pads_[kind - kHir];
            if (scan.length == 0) ++summary_.emptyPadsDropped;
            pad = std::move(scan);
            return;
        }
        if (trstOn_) return refuse(st_->tokens[0], "scan refused: TRST ON holds the TAP in reset");
        const bool ir = kind == kSir;
        const ResolvedScan& header = pads_[(ir ? kHir : kHdr) - kHir];
        const ResolvedScan& trailer = pads_[(ir ? kTir : kTdr) - kHir];
        const std::uint64_t total = header.length + scan.length + trailer.length;
        if (total == 0)
            return refuse(st_->tokens[0], "scan of 0 bits refused: the device shifts at least one bit");
        if (header.length + trailer.length > 0) ++summary_.scansFolded;

        // Header bits shift first, then the data, then the trailer.
        Bits tdi = Bits::Zeros(total);
        tdi.place(header.tdi, 0);
        tdi.place(scan.tdi, header.length);
        tdi.place(trailer.tdi, header.length + scan.length);
        const bool hasTdo = scan.hasTdo || header.hasTdo || trailer.hasTdo;
        Bits tdo, mask;
        if (hasTdo) {
            tdo = Bits::Zeros(total);
            mask = Bits::Zeros(total);
            std::uint64_t at = 0;
            for (const ResolvedScan* part : {&header, static_cast<const ResolvedScan*>(&scan), &trailer}) {
                if (part->hasTdo) { // a part without TDO stays out of the comparison
                    tdo.place(part->tdo, at);
                    mask.place(part->mask, at);
                }
                at += part->length;
            }
        }
        const std::string keyword = ir ? "SIR" : "SDR";
        if (total > static_cast<std::uint64_t>(kSvfPieceBits)) {
            ++summary_.scansSplit;
        }
        for (std::uint64_t from = 0; from < total; from += kSvfPieceBits) {
            const std::uint64_t count = std::min<std::uint64_t>(kSvfPieceBits, total - from);
            std::string line = keyword;
            if (total > static_cast<std::uint64_t>(kSvfPieceBits)) {
                line += from == 0 ? "S" : from + count == total ? "E" : "C";
                ++summary_.pieces;
            }
            const Bits pieceTdi = tdi.slice(from, count);
            // All ones goes as one repeated byte when the pad bits are ones too.
            line += ' ';
            line += std::to_string(count);
            line += " TDI (";
            line += pieceTdi.hex(!ir && pieceTdi.allOnes());
            line += ')';
            if (hasTdo) {
                const Bits pieceMask = mask.slice(from, count);
                if (!pieceMask.allZero())
                    line += " TDO (" + tdo.slice(from, count).hex() + ") MASK (" + pieceMask.hex() + ")";
            }
            emit(line + ";");
        }
        // End states the device cannot take directly are reached through its own pause state.
        if (ir && endIrDetour_) emit("STATE IREXIT2 IRUPDATE DRSELECT DRCAPTURE DREXIT1 DRPAUSE;");
        if (!ir && endDrDetour_) emit("STATE DREXIT2 DRUPDATE DRSELECT IRSELECT IRCAPTURE IREXIT1 IRPAUSE;");
        current_ = ir ? endIr_ : endDr_;
        flush();
    }

    std::optional<Tap> stableState(const Token& t, const std::string& what) {
        const auto s = t.hex ? std::nullopt : TapByName(t.text);
        if (!s) {
            error(t, (t.hex ? std::string("a value in parentheses") : t.text) + " is not a TAP state");
            return std::nullopt;
        }
        if (!IsStable(*s)) {
            error(t, what + " must be IDLE, RESET, DRPAUSE or IRPAUSE, not " + t.text);
            return std::nullopt;
        }
        return s;
    }

    void endState(bool ir) {
        const auto& tokens = st_->tokens;
        const std::string keyword = tokens[0].text;
        if (tokens.size() != 2) return error(tokens[0], keyword + " needs exactly one state");
        const auto s = stableState(tokens[1], keyword);
        if (!s) return;
        const Tap own = ir ? Tap::IrPause : Tap::DrPause;
        const Tap other = ir ? Tap::DrPause : Tap::IrPause;
        const Tap written = *s == other ? own : *s;
        (ir ? endIr_ : endDr_) = *s;
        (ir ? endIrDetour_ : endDrDetour_) = *s == other;
        emit(keyword + " " + TapName(written) + ";");
        flush();
    }

    void state() {
        const auto& tokens = st_->tokens;
        if (tokens.size() < 2) return error(tokens[0], "STATE needs at least one state");
        std::string line = "STATE";
        std::optional<Tap> at = current_;
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            const auto s = tokens[i].hex ? std::nullopt : TapByName(tokens[i].text);
            if (!s) return error(tokens[i], tokens[i].text + " is not a TAP state");
            if (at && *at != *s && !OneStep(*at, *s) && !IsStable(*s))
                return error(tokens[i], std::string("no single TCK leads from ") + TapName(*at) + " to " +
                                            tokens[i].text);
            at = *s;
            line += std::string(" ") + TapName(*s);
        }
        if (!IsStable(*at))
            return error(tokens.back(),
                         "STATE must end in IDLE, RESET, DRPAUSE or IRPAUSE, not " + tokens.back().text);
        if (trstOn_ && *at != Tap::Reset)
            return refuse(tokens[0], "STATE refused: TRST ON holds the TAP in reset");
        current_ = at;
        emit(line + ";");
        flush();
    }

    // RUNTEST [run_state] [count TCK|SCK] [time SEC] [MAXIMUM time SEC] [ENDSTATE end_state]
    void runTest() {
        const auto& tokens = st_->tokens;
        std::size_t i = 1;
        std::optional<Tap> run, end;
        if (i < tokens.size() && !tokens[i].hex && TapByName(tokens[i].text)) {
            run = stableState(tokens[i], "the run state");
            if (!run) return;
            ++i;
        }
        std::optional<double> count, seconds;
        for (; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (!t.hex && t.text == "ENDSTATE") {
                if (i + 1 >= tokens.size()) return error(t, "ENDSTATE needs a state");
                end = stableState(tokens[++i], "the end state");
                if (!end) return;
                continue;
            }
            const bool maximum = !t.hex && t.text == "MAXIMUM";
            const Token& number = maximum ? (i + 1 < tokens.size() ? tokens[i + 1] : t) : t;
            double value = 0;
            if (!Real(number, value))
                return error(number, "RUNTEST: " + number.text + " is not a count or a time");
            i += maximum ? 2 : 1;
            if (i >= tokens.size())
                return error(number, "RUNTEST: " + number.text + " needs TCK, SCK or SEC after it");
            const std::string& unit = tokens[i].text;
            if (maximum) {
                if (unit != "SEC") return error(tokens[i], "MAXIMUM needs a time in SEC");
                ++summary_.maximumsDropped; // the device cannot bound a wait from above
            } else if (unit == "TCK" && !count && !seconds) {
                count = value;
            } else if (unit == "SCK" && !count && !seconds) {
                return refuse(tokens[i], "RUNTEST refused: the device has no system clock for SCK");
            } else if (unit == "SEC" && !seconds) {
                seconds = value;
            } else {
                return error(tokens[i], "RUNTEST: unexpected " + unit);
            }
        }
        if (!count && !seconds) return error(tokens[0], "RUNTEST needs a count of TCK or a time in SEC");
        if (run) {
            runState_ = *run;
            endRun_ = *run; // a new run state is also the new default end state
        }
        if (end) endRun_ = *end;
        if (trstOn_) return refuse(tokens[0], "RUNTEST refused: TRST ON holds the TAP in reset");
        if (runState_ != Tap::Idle) {
            if (!options_.idleRuntest)
                return refuse(tokens[0], std::string("RUNTEST in ") + TapName(runState_) +
                                             " refused: the device clocks its waits in IDLE "
                                             "(--idle-runtest accepts that)");
            ++summary_.waitsMovedToIdle;
        }
        double clocks = count ? std::ceil(*count) : 0;
        if (seconds) {
            const double rate = options_.tckHz > 0 ? options_.tckHz : fileHz_;
            if (rate <= 0)
                return error(tokens[0],
                             "RUNTEST in seconds needs the TCK rate: give --tck-hz (the file has no "
                             "FREQUENCY before it)");
            clocks = std::max(clocks, ClocksFor(*seconds * rate));
            ++summary_.waitsInSeconds;
        }
        if (clocks > 1e15) return error(tokens[0], "RUNTEST of more than 10^15 clocks");
        auto left = static_cast<std::uint64_t>(clocks);
        do {
            const std::uint64_t now = std::min(left, kMaxRunTestCount);
            emit("RUNTEST " + std::to_string(now) + " TCK;");
            left -= now;
        } while (left > 0);
        // The device moves to IDLE and clocks there; any other end state is a move of its own.
        if (endRun_ != Tap::Idle) emit(std::string("STATE ") + TapName(endRun_) + ";");
        current_ = endRun_;
        ++summary_.waits;
        flush();
    }

    // Clocks for rate x time, without the rounding noise of the product.
    static double ClocksFor(double exact) {
        const double nearest = std::round(exact);
        return std::fabs(exact - nearest) <= 1e-9 * std::max(1.0, exact) ? nearest : std::ceil(exact);
    }

    void frequency() {
        const auto& tokens = st_->tokens;
        ++summary_.frequencies;
        if (tokens.size() == 1) {
            fileHz_ = 0; // as fast as the player goes: no rate to count with
            return flush();
        }
        double hz = 0;
        if (tokens.size() != 3 || !Real(tokens[1], hz) || tokens[2].text != "HZ" || hz <= 0)
            return error(tokens[0], "FREQUENCY needs a rate in HZ");
        fileHz_ = hz;
        flush();
    }

    void trst() {
        const auto& tokens = st_->tokens;
        if (tokens.size() != 2) return error(tokens[0], "TRST needs ON, OFF, Z or ABSENT");
        const std::string& mode = tokens[1].text;
        ++summary_.trsts;
        if (mode == "ON") {
            // The device has no TRST line; the TAP reset is what TRST does to the chain.
            trstOn_ = true;
            current_ = Tap::Reset;
            emit("STATE RESET;");
        } else if (mode == "OFF" || mode == "Z" || mode == "ABSENT") {
            trstOn_ = false; // the device never drives TRST, which is what Z and ABSENT ask
        } else {
            return error(tokens[1], "TRST needs ON, OFF, Z or ABSENT, not " + mode);
        }
        flush();
    }

    std::ostream& out_;
    std::ostream* map_;
    const SvfConvertOptions& options_;
    SvfConvertSummary& summary_;
    const Statement* st_ = nullptr;
    std::vector<std::string> pending_;
    std::vector<Problem> problems_;
    std::uint64_t nextTrace_ = 0;
    std::string traceName_; // the file's name without its directory: the Effect file travels

    std::array<ScanMemory, kScanKinds> memory_;
    std::array<ResolvedScan, 4> pads_; // HIR, HDR, TIR, TDR
    std::optional<Tap> current_;       // unknown until the file moves the TAP
    Tap endIr_ = Tap::Idle, endDr_ = Tap::Idle;
    bool endIrDetour_ = false, endDrDetour_ = false;
    Tap runState_ = Tap::Idle, endRun_ = Tap::Idle;
    double fileHz_ = 0;
    bool trstOn_ = false;
};

} // namespace

bool ConvertSvf(std::istream& in, std::ostream& out, std::ostream* map, const SvfConvertOptions& options,
                SvfConvertSummary& summary, std::vector<std::string>& problems) {
    summary = {};
    SvfLexer lexer(in);
    Converter converter(out, map, options, summary);
    Statement st;
    std::string problem;
    std::uint64_t line = 0, column = 0;
    while (lexer.next(st, problem, line, column)) {
        if (st.broken) {
            ++summary.statements;
            converter.problem(line, column, problem);
            continue;
        }
        converter.statement(st);
    }
    if (in.bad()) converter.problem(line, column, "the file could not be read to its end");
    converter.finish();
    problems.clear();
    for (const auto& p : converter.problems())
        problems.push_back(options.sourceName + ":" + std::to_string(p.line) + ":" +
                           std::to_string(p.column) + ": " + p.text);
    return summary.problemsFound == 0;
}

} // namespace vz

#include "formats/svf_convert.h"

#include "formats/effect.h"
#include "formats/svf_converter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <istream>
#include <ostream>

namespace vz {

namespace {

constexpr std::size_t kMaxProblemsKept = 100;
constexpr std::uint64_t kMaxRunTestCount = 2147483647;

// Clocks for rate x time, without the rounding noise of the product.
double ClocksFor(double exact) {
    const double nearest = std::round(exact);
    return std::fabs(exact - nearest) <= 1e-9 * std::max(1.0, exact) ? nearest : std::ceil(exact);
}

} // namespace

SvfConverter::SvfConverter(std::ostream& out, std::ostream* map, const SvfConvertOptions& options,
                           SvfConvertSummary& summary)
    : out_(out), map_(map), options_(options), summary_(summary),
      traceName_(std::filesystem::path(options.sourceName).filename().string()) {}

void SvfConverter::Convert(const SvfStatement& statement) {
    ++summary_.statements;
    statement_ = &statement;
    pending_.clear();
    const auto& tokens = statement.tokens;
    if (tokens.empty() || tokens[0].hex) return Error(statement.place, "a statement needs a keyword");
    const std::string& keyword = tokens[0].text;
    for (int k = 0; k < kScanKinds; ++k)
        if (keyword == kScanNames[static_cast<std::size_t>(k)])
            return ScanStatement(static_cast<ScanKind>(k));
    if (keyword == "ENDIR" || keyword == "ENDDR") return EndStateStatement(keyword == "ENDIR");
    if (keyword == "STATE") return StateStatement();
    if (keyword == "RUNTEST") return RunTestStatement();
    if (keyword == "FREQUENCY") return FrequencyStatement();
    if (keyword == "TRST") return TrstStatement();
    if (keyword == "PIO" || keyword == "PIOMAP")
        return Error(tokens[0].place, keyword + " refused: the device has no parallel test pins");
    Error(tokens[0].place, "unknown statement " + keyword);
}

void SvfConverter::Error(SvfPlace place, const std::string& text) {
    ++summary_.problemsFound;
    if (problems_.size() < kMaxProblemsKept) problems_.push_back({place, text});
}

void SvfConverter::Finish() {
    if (problems_.empty()) summary_.deviceBytes += kEffectEndRecord.size() + 2;
}

void SvfConverter::Flush() {
    if (!problems_.empty()) {
        pending_.clear();
        return; // nothing of a file with a problem is kept, so stop writing
    }
    if (pending_.empty()) return;
    if (options_.traceEvery > 0 && summary_.effectLines >= nextTrace_) {
        Write("// " + traceName_ + " line " + std::to_string(statement_->place.line), true);
        ++summary_.traceComments;
    }
    for (auto& line : pending_)
        Write(line, false);
    pending_.clear();
}

void SvfConverter::Write(const std::string& line, bool trace) {
    out_ << line << '\n';
    ++summary_.effectLines;
    if (trace) nextTrace_ = summary_.effectLines + static_cast<std::uint64_t>(options_.traceEvery);
    if (map_) *map_ << summary_.effectLines << '\t' << statement_->place.line << '\n';
    if (line.starts_with("//")) return;
    TranslationState state;
    const std::string record = TranslateStatement(line, state);
    if (record == kEffectError) {
        Error(statement_->place, "internal fault: the line written does not translate: " + line);
        return;
    }
    summary_.deviceBytes += record.size() + 2 + (state.DataBlockPending ? state.Tdi.size() : 0);
}

bool SvfConverter::Integer(const SvfToken& token, std::uint64_t& value) {
    const std::string& t = token.text;
    if (token.hex || t.empty()) return false;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    return ec == std::errc() && end == t.data() + t.size();
}

bool SvfConverter::Real(const SvfToken& token, double& value) {
    const std::string& t = token.text;
    if (token.hex || t.empty()) return false;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    return ec == std::errc() && end == t.data() + t.size() && value >= 0 && std::isfinite(value);
}

std::optional<Tap> SvfConverter::StableState(const SvfToken& token, const std::string& what) {
    const auto s = token.hex ? std::nullopt : TapByName(token.text);
    if (!s) {
        Error(token.place,
              (token.hex ? std::string("a value in parentheses") : token.text) + " is not a TAP state");
        return std::nullopt;
    }
    if (!IsStableTap(*s)) {
        Error(token.place, what + " must be IDLE, RESET, DRPAUSE or IRPAUSE, not " + token.text);
        return std::nullopt;
    }
    return s;
}

void SvfConverter::EndStateStatement(bool ir) {
    const auto& tokens = statement_->tokens;
    const std::string keyword = tokens[0].text;
    if (tokens.size() != 2) return Error(tokens[0].place, keyword + " needs exactly one state");
    const auto s = StableState(tokens[1], keyword);
    if (!s) return;
    const Tap own = ir ? Tap::IrPause : Tap::DrPause;
    const Tap other = ir ? Tap::DrPause : Tap::IrPause;
    const Tap written = *s == other ? own : *s;
    (ir ? endIr_ : endDr_) = *s;
    (ir ? endIrDetour_ : endDrDetour_) = *s == other;
    Emit(keyword + " " + std::string(TapName(written)) + ";");
    Flush();
}

void SvfConverter::StateStatement() {
    const auto& tokens = statement_->tokens;
    if (tokens.size() < 2) return Error(tokens[0].place, "STATE needs at least one state");
    std::string line = "STATE";
    std::optional<Tap> at = current_;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const auto s = tokens[i].hex ? std::nullopt : TapByName(tokens[i].text);
        if (!s) return Error(tokens[i].place, tokens[i].text + " is not a TAP state");
        if (at && *at != *s && !IsOneTckStep(*at, *s) && !IsStableTap(*s))
            return Error(tokens[i].place,
                         "no single TCK leads from " + std::string(TapName(*at)) + " to " + tokens[i].text);
        at = *s;
        line += " ";
        line += TapName(*s);
    }
    if (!IsStableTap(*at))
        return Error(tokens.back().place,
                     "STATE must end in IDLE, RESET, DRPAUSE or IRPAUSE, not " + tokens.back().text);
    if (trstOn_ && *at != Tap::Reset)
        return Error(tokens[0].place, "STATE refused: TRST ON holds the TAP in reset");
    current_ = at;
    Emit(line + ";");
    Flush();
}

// RUNTEST [run_state] [count TCK|SCK] [time SEC] [MAXIMUM time SEC] [ENDSTATE end_state]
void SvfConverter::RunTestStatement() {
    const auto& tokens = statement_->tokens;
    std::size_t i = 1;
    std::optional<Tap> run, end;
    if (i < tokens.size() && !tokens[i].hex && TapByName(tokens[i].text)) {
        run = StableState(tokens[i], "the run state");
        if (!run) return;
        ++i;
    }
    std::optional<double> count, seconds;
    for (; i < tokens.size(); ++i) {
        const SvfToken& t = tokens[i];
        if (!t.hex && t.text == "ENDSTATE") {
            if (i + 1 >= tokens.size()) return Error(t.place, "ENDSTATE needs a state");
            end = StableState(tokens[++i], "the end state");
            if (!end) return;
            continue;
        }
        const bool maximum = !t.hex && t.text == "MAXIMUM";
        const SvfToken& number = maximum ? (i + 1 < tokens.size() ? tokens[i + 1] : t) : t;
        double value = 0;
        if (!Real(number, value))
            return Error(number.place, "RUNTEST: " + number.text + " is not a count or a time");
        i += maximum ? 2 : 1;
        if (i >= tokens.size())
            return Error(number.place, "RUNTEST: " + number.text + " needs TCK, SCK or SEC after it");
        const std::string& unit = tokens[i].text;
        if (maximum) {
            if (unit != "SEC") return Error(tokens[i].place, "MAXIMUM needs a time in SEC");
            ++summary_.maximumsDropped; // the device cannot bound a wait from above
        } else if (unit == "TCK" && !count && !seconds) {
            count = value;
        } else if (unit == "SCK" && !count && !seconds) {
            return Error(tokens[i].place, "RUNTEST refused: the device has no system clock for SCK");
        } else if (unit == "SEC" && !seconds) {
            seconds = value;
        } else {
            return Error(tokens[i].place, "RUNTEST: unexpected " + unit);
        }
    }
    if (!count && !seconds) return Error(tokens[0].place, "RUNTEST needs a count of TCK or a time in SEC");
    if (run) {
        runState_ = *run;
        endRun_ = *run; // a new run state is also the new default end state
    }
    if (end) endRun_ = *end;
    if (trstOn_) return Error(tokens[0].place, "RUNTEST refused: TRST ON holds the TAP in reset");
    if (runState_ != Tap::Idle) {
        if (!options_.idleRuntest)
            return Error(tokens[0].place, "RUNTEST in " + std::string(TapName(runState_)) +
                                              " refused: the device clocks its waits in IDLE "
                                              "(--idle-runtest accepts that)");
        ++summary_.waitsMovedToIdle;
    }
    double clocks = count ? std::ceil(*count) : 0;
    if (seconds) {
        const double rate = options_.tckHz > 0 ? options_.tckHz : fileHz_;
        if (rate <= 0)
            return Error(tokens[0].place,
                         "RUNTEST in seconds needs the TCK rate: give --tck-hz (the file has no "
                         "FREQUENCY before it)");
        clocks = std::max(clocks, ClocksFor(*seconds * rate));
        ++summary_.waitsInSeconds;
    }
    if (clocks > 1e15) return Error(tokens[0].place, "RUNTEST of more than 10^15 clocks");
    auto left = static_cast<std::uint64_t>(clocks);
    do {
        const std::uint64_t now = std::min(left, kMaxRunTestCount);
        Emit("RUNTEST " + std::to_string(now) + " TCK;");
        left -= now;
    } while (left > 0);
    // The device moves to IDLE and clocks there; any other end state is a move of its own.
    if (endRun_ != Tap::Idle) Emit("STATE " + std::string(TapName(endRun_)) + ";");
    current_ = endRun_;
    ++summary_.waits;
    Flush();
}

void SvfConverter::FrequencyStatement() {
    const auto& tokens = statement_->tokens;
    ++summary_.frequencies;
    if (tokens.size() == 1) {
        fileHz_ = 0; // as fast as the player goes: no rate to count with
        return Flush();
    }
    double hz = 0;
    if (tokens.size() != 3 || !Real(tokens[1], hz) || tokens[2].text != "HZ" || hz <= 0)
        return Error(tokens[0].place, "FREQUENCY needs a rate in HZ");
    fileHz_ = hz;
    Flush();
}

void SvfConverter::TrstStatement() {
    const auto& tokens = statement_->tokens;
    if (tokens.size() != 2) return Error(tokens[0].place, "TRST needs ON, OFF, Z or ABSENT");
    const std::string& mode = tokens[1].text;
    ++summary_.trsts;
    if (mode == "ON") {
        // The device has no TRST line; the TAP reset is what TRST does to the chain.
        trstOn_ = true;
        current_ = Tap::Reset;
        Emit("STATE RESET;");
    } else if (mode == "OFF" || mode == "Z" || mode == "ABSENT") {
        trstOn_ = false; // the device never drives TRST, which is what Z and ABSENT ask
    } else {
        return Error(tokens[1].place, "TRST needs ON, OFF, Z or ABSENT, not " + mode);
    }
    Flush();
}

bool ConvertSvf(std::istream& in, std::ostream& out, std::ostream* map, const SvfConvertOptions& options,
                SvfConvertSummary& summary, std::vector<std::string>& problems) {
    summary = {};
    // No scan the converter takes needs more digits than this.
    SvfLexer lexer(in, static_cast<std::size_t>(kSvfMaxScanBits / 4));
    SvfConverter converter(out, map, options, summary);
    SvfStatement statement;
    SvfReadProblem readProblem;
    for (;;) {
        if (options.stopRequested && options.stopRequested()) {
            summary.stopped = true;
            break;
        }
        const SvfLexer::Result result = lexer.Next(statement, readProblem);
        if (result == SvfLexer::Result::End) break;
        if (result == SvfLexer::Result::Problem) {
            ++summary.statements;
            converter.Error(readProblem.place, readProblem.text);
            continue;
        }
        converter.Convert(statement);
    }
    if (in.bad()) converter.Error(readProblem.place, "the file could not be read to its end");
    converter.Finish();
    problems.clear();
    for (const auto& p : converter.Problems())
        problems.push_back(options.sourceName + ":" + std::to_string(p.place.line) + ":" +
                           std::to_string(p.place.column) + ": " + p.text);
    return summary.problemsFound == 0 && !summary.stopped;
}

} // namespace vz

#include "app/cli/report_command.h"

#include "formats/printable_text.h"

#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

namespace vz::cli {

namespace {

// Longer lines are no record of ours; they are skipped without being held.
constexpr std::size_t kLineMost = 1 << 20;

struct Counts {
    long completed = 0;
    long failed = 0;
    long stopped = 0;

    long Devices() const { return completed + failed + stopped; }
    // Over the devices that ran to an end; the operator's stops are not the line's yield.
    int Yield() const {
        const long ended = completed + failed;
        return ended == 0 ? -1 : static_cast<int>((200 * completed + ended) / (2 * ended));
    }
};

// The top-level members of one JSON object a record is, as raw text: strings
// unescaped, null as nothing. Nested objects and arrays are passed over.
class RecordReader {
public:
    explicit RecordReader(std::string_view line) : text_(line) {}

    bool Read(std::map<std::string, std::optional<std::string>, std::less<>>& members) {
        Blank();
        if (!Take('{')) return false;
        Blank();
        if (Take('}')) return End();
        for (;;) {
            std::string key;
            Blank();
            if (!String(key)) return false;
            Blank();
            if (!Take(':')) return false;
            Blank();
            std::optional<std::string> value;
            if (!Value(value, 0)) return false;
            members[key] = std::move(value);
            Blank();
            if (Take('}')) return End();
            if (!Take(',')) return false;
        }
    }

private:
    bool End() {
        Blank();
        return at_ == text_.size();
    }
    void Blank() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r'))
            ++at_;
    }
    bool Take(char c) {
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return false;
            const char escaped = text_[at_++];
            if (escaped == 'u') {
                if (at_ + 4 > text_.size()) return false;
                out += '?'; // kept as a mark: names and codes of ours are plain
                at_ += 4;
            } else {
                out += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
            }
        }
        return false;
    }
    bool Value(std::optional<std::string>& out, int depth) {
        if (depth > 32 || at_ >= text_.size()) return false;
        const char c = text_[at_];
        if (c == '"') {
            std::string text;
            if (!String(text)) return false;
            out = std::move(text);
            return true;
        }
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++at_;
            Blank();
            if (Take(close)) return true;
            for (;;) {
                std::optional<std::string> ignored;
                Blank();
                if (c == '{') {
                    std::string key;
                    if (!String(key)) return false;
                    Blank();
                    if (!Take(':')) return false;
                    Blank();
                }
                if (!Value(ignored, depth + 1)) return false;
                Blank();
                if (Take(close)) return true;
                if (!Take(',')) return false;
            }
        }
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}' && text_[at_] != ']' &&
               text_[at_] != ' ')
            ++at_;
        const std::string_view word = text_.substr(start, at_ - start);
        if (word.empty()) return false;
        if (word != "null") out = std::string(word);
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

struct Tally {
    Counts all;
    std::map<std::string, Counts> byStation, byLabel, byModel, byHour;
    std::map<std::string, long> byErrorCode;
    long badLines = 0;

    void Add(const std::string& result, const std::string& station, const std::string& label,
             const std::string& model, const std::string& code, const std::string& hour) {
        for (Counts* counts : {&all, &byStation[station], &byLabel[label], &byModel[model], &byHour[hour]}) {
            if (result == "completed")
                ++counts->completed;
            else if (result == "stopped")
                ++counts->stopped;
            else
                ++counts->failed;
        }
        if (!code.empty()) ++byErrorCode[code];
    }
};

// One record line into the tally; false when it is none of ours.
bool Count(std::string_view line, Tally& tally) {
    std::map<std::string, std::optional<std::string>, std::less<>> members;
    if (!RecordReader(line).Read(members)) return false;
    const auto text = [&](const char* key, const char* absent) {
        const auto found = members.find(key);
        return found != members.end() && found->second ? *found->second : std::string(absent);
    };
    const std::string result = text("result", "");
    if (result != "completed" && result != "failed" && result != "stopped") return false;
    std::string label = text("label", "");
    if (label.empty()) label = text("port", "(no port)");
    const std::string ended = text("ended", "");
    tally.Add(result, text("station", "(no station)"), label, text("model", "(unidentified)"),
              text("error_code", ""), ended.size() >= 13 ? ended.substr(0, 13) : "(no time)");
    return true;
}

std::string CountsText(const Counts& counts) {
    std::string text = std::to_string(counts.Devices()) +
                       (counts.Devices() == 1 ? " device: " : " devices: ") +
                       std::to_string(counts.completed) + " completed, " + std::to_string(counts.failed) +
                       " failed, " + std::to_string(counts.stopped) + " stopped";
    if (counts.Yield() >= 0) text += ", yield " + std::to_string(counts.Yield()) + " %";
    return text;
}

std::string CountsJson(const Counts& counts) {
    return "{\"devices\": " + std::to_string(counts.Devices()) +
           ", \"completed\": " + std::to_string(counts.completed) +
           ", \"failed\": " + std::to_string(counts.failed) +
           ", \"stopped\": " + std::to_string(counts.stopped) +
           ", \"yield\": " + (counts.Yield() >= 0 ? std::to_string(counts.Yield()) : "null") + "}";
}

void PrintText(const Tally& tally, bool byHour, std::ostream& out) {
    out << "All: " << CountsText(tally.all) << "\n";
    const auto group = [&out](const char* title, const std::map<std::string, Counts>& groups) {
        out << title << ":\n";
        for (const auto& [name, counts] : groups)
            out << "  " << PrintableText(name) << "  " << CountsText(counts) << "\n";
    };
    group("By station", tally.byStation);
    group("By label", tally.byLabel);
    group("By model", tally.byModel);
    out << "By error code:\n";
    for (const auto& [code, count] : tally.byErrorCode)
        out << "  " << PrintableText(code) << "  " << count << "\n";
    if (byHour) group("By hour", tally.byHour);
}

void PrintJson(const Tally& tally, bool byHour, std::ostream& out) {
    const auto group = [](const std::map<std::string, Counts>& groups) {
        std::string json = "{";
        for (const auto& [name, counts] : groups)
            json += (json.size() > 1 ? ", " : "") + JsonString(name) + ": " + CountsJson(counts);
        return json + "}";
    };
    std::string codes = "{";
    for (const auto& [code, count] : tally.byErrorCode)
        codes += (codes.size() > 1 ? ", " : "") + JsonString(code) + ": " + std::to_string(count);
    codes += "}";
    out << "{\"all\": " << CountsJson(tally.all) << ", \"by_station\": " << group(tally.byStation)
        << ", \"by_label\": " << group(tally.byLabel) << ", \"by_model\": " << group(tally.byModel)
        << ", \"by_error_code\": " << codes;
    if (byHour) out << ", \"by_hour\": " << group(tally.byHour);
    out << ", \"bad_lines\": " << tally.badLines << "}\n";
}

// Reads `path` a block at a time and counts every line; a broken line is named.
bool CountFile(const std::string& path, Tally& tally, std::ostream& err) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "Cannot read " << PrintableText(path) << "\n";
        ++tally.badLines;
        return false;
    }
    std::vector<char> block(1 << 20);
    std::string line;
    bool tooLong = false;
    long number = 0;
    const auto finish = [&] {
        ++number;
        // Reports copied through Windows tools end their lines with CR LF.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (tooLong || (!line.empty() && !Count(line, tally))) {
            ++tally.badLines;
            err << PrintableText(path) << ":" << number << ": not a station record\n";
        }
        line.clear();
        tooLong = false;
    };
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        const std::string_view chunk(block.data(), static_cast<std::size_t>(in.gcount()));
        for (std::size_t start = 0; start < chunk.size();) {
            const std::size_t end = chunk.find('\n', start);
            const std::string_view piece =
                chunk.substr(start, end == std::string_view::npos ? end : end - start);
            if (line.size() + piece.size() > kLineMost)
                tooLong = true;
            else if (!tooLong)
                line.append(piece);
            if (end == std::string_view::npos) break;
            finish();
            start = end + 1;
        }
    }
    if (!line.empty() || tooLong) finish();
    return true;
}

} // namespace

int RunReport(const ReportOptions& options, std::ostream& out, std::ostream& err) {
    Tally tally;
    for (const std::string& file : options.files)
        CountFile(file, tally, err);
    if (options.json)
        PrintJson(tally, options.byHour, out);
    else
        PrintText(tally, options.byHour, out);
    return tally.badLines == 0 ? 0 : 1;
}

} // namespace vz::cli

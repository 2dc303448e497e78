#include "emulator/svf_reader.h"

#include "emulator/hex_text.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <vector>

namespace vz::emu {

namespace {

SvfStatement Error(std::string problem) {
    SvfStatement s;
    s.kind = SvfStatement::Kind::Error;
    s.problem = std::move(problem);
    return s;
}

SvfStatement Ready(JtagCommand command) {
    SvfStatement s;
    s.kind = SvfStatement::Kind::Command;
    s.command = std::move(command);
    return s;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

// Words of the statement before its ";", with "(hex)" groups kept as single words.
bool SplitWords(std::string_view body, std::vector<std::string>& words) {
    std::string word;
    bool inParens = false;
    for (char c : body) {
        if (c == '(') {
            if (!word.empty()) words.push_back(std::move(word));
            word.assign(1, '(');
            inParens = true;
        } else if (c == ')') {
            if (!inParens) return false;
            word += ')';
            words.push_back(std::move(word));
            word.clear();
            inParens = false;
        } else if (!inParens && static_cast<unsigned char>(c) <= ' ') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else if (!inParens || static_cast<unsigned char>(c) > ' ') {
            word += c;
        }
    }
    if (inParens) return false;
    if (!word.empty()) words.push_back(std::move(word));
    return true;
}

bool ParseNumber(const std::string& text, long& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

SvfStatement ReadScan(bool ir, char letter, const std::vector<std::string>& words) {
    JtagCommand c;
    c.kind = JtagCommand::Kind::Scan;
    c.instructionRegister = ir;
    c.start = letter != 'C' && letter != 'E';
    c.end = letter != 'C' && letter != 'S';
    long length = 0;
    if (words.size() < 2 || !ParseNumber(words[1], length) || length > 512) return Error("bad scan length");
    c.length = static_cast<int>(length);
    Bytes smask, tdo, mask;
    bool haveTdi = false;
    for (std::size_t i = 2; i + 1 < words.size(); i += 2) {
        const std::string& key = words[i];
        const std::string& group = words[i + 1];
        if (group.size() < 2 || group.front() != '(' || group.back() != ')')
            return Error("bad " + key + " value");
        Bytes bytes = SvfHexToBytes(std::string_view(group).substr(1, group.size() - 2));
        if (key == "TDI") {
            c.tdi = bytes;
            haveTdi = true;
        } else if (key == "TDO") {
            c.wantTdo = true;
            tdo = bytes;
        } else if (key == "SMASK") {
            smask = bytes;
        } else if (key == "MASK") {
            mask = bytes;
        } else {
            return Error("unknown part " + key);
        }
    }
    if ((words.size() - 2) % 2 != 0) return Error("part without a value");
    if (!haveTdi) return Error("scan without TDI");
    if (smask.size() == c.tdi.size())
        for (std::size_t k = 0; k < smask.size(); ++k)
            c.tdi[k] &= smask[k];
    c.tdi.resize(std::max(c.tdi.size(), (static_cast<std::size_t>(c.length) + 7) / 8), 0);
    SvfStatement s = Ready(std::move(c));
    s.expectedTdo = std::move(tdo);
    s.mask = std::move(mask);
    return s;
}

} // namespace

Bytes SvfHexToBytes(std::string_view hex) {
    Bytes bytes;
    int i = static_cast<int>(hex.size()) - 1;
    while (i >= 0) {
        auto digit = [&](int at) {
            if (at < 0) return 0;
            char ch = hex[static_cast<std::size_t>(at)];
            if (ch >= 'a' && ch <= 'f') ch = static_cast<char>(ch - 'a' + 'A');
            int v = HexDigitValue(ch);
            return v < 0 ? 0 : v;
        };
        bytes.push_back(static_cast<std::uint8_t>(digit(i - 1) * 16 + digit(i)));
        i -= 2;
    }
    return bytes;
}

SvfStatement ReadSvfStatement(std::string_view line) {
    std::string_view text = Trim(line);
    if (text.empty() || text.substr(0, 2) == "//" || text.substr(0, 4) == "TRST") return {};
    auto semicolon = text.find(';');
    if (semicolon == std::string_view::npos) return Error("statement without \";\"");
    std::vector<std::string> words;
    if (!SplitWords(text.substr(0, semicolon), words) || words.empty())
        return Error("unbalanced parentheses");
    const std::string& keyword = words[0];
    if (keyword == "ENDIR" || keyword == "ENDDR") {
        if (words.size() != 2) return Error(keyword + " needs one state");
        auto state = TapStateFromName(words[1]);
        if (!state) return Error("unknown state " + words[1]);
        JtagCommand c;
        c.kind = keyword == "ENDIR" ? JtagCommand::Kind::EndIr : JtagCommand::Kind::EndDr;
        c.endState = *state;
        return Ready(std::move(c));
    }
    if (keyword == "STATE") {
        JtagCommand c;
        c.kind = JtagCommand::Kind::State;
        for (std::size_t i = 1; i < words.size(); ++i) {
            auto state = TapStateFromName(words[i]);
            if (!state) return Error("unknown state " + words[i]);
            c.path.push_back(*state);
        }
        return Ready(std::move(c));
    }
    if (keyword == "RUNTEST") {
        long clocks = 0;
        if (words.size() != 3 || !ParseNumber(words[1], clocks) || words[2] != "TCK")
            return Error("RUNTEST needs a count and TCK");
        JtagCommand c;
        c.kind = JtagCommand::Kind::RunTest;
        c.clocks = static_cast<std::uint32_t>(clocks);
        return Ready(std::move(c));
    }
    if (keyword.size() >= 3 && (keyword.substr(0, 3) == "SIR" || keyword.substr(0, 3) == "SDR")) {
        char letter = keyword.size() > 3 ? keyword[3] : ' ';
        if (keyword.size() > 4) return Error("unknown keyword " + keyword);
        return ReadScan(keyword[1] == 'I', letter, words);
    }
    return Error("unknown keyword " + keyword);
}

} // namespace vz::emu

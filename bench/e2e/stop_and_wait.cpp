#include "bench/e2e/stop_and_wait.h"

#include "formats/hex.h"
#include "formats/text_lines.h"

#include <cstdint>
#include <vector>

namespace vz::bench {

namespace {

// The KRA350's type number, the first the updater tries.
constexpr const char* kTypeNumber = "18";

struct Memory {
    const char* command;
    const char* file;
    std::uint16_t first;
    std::uint16_t last;
};

bool Fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

// The answer as it reads in an error: "X", or nothing.
std::string Shown(char answer) {
    std::string text = "nothing";
    if (answer != 0) text.assign({'"', answer, '"'});
    return text;
}

bool Expect(DialogueLine& line, char wanted, const std::string& after, std::string& error) {
    const char got = line.Next();
    if (got == wanted) return true;
    std::string text = "expected ";
    text += Shown(wanted);
    text += " after ";
    text += after;
    text += ", received ";
    text += Shown(got);
    return Fail(error, text);
}

bool Program(DialogueLine& line, const std::string& modelDir, const Memory& memory, std::string& error,
             int& acknowledged) {
    std::vector<std::string> lines;
    const std::string path = modelDir + "/" + memory.file;
    if (LoadTextLines(path, lines) != LoadResult::Ok) return Fail(error, path + " cannot be read");
    if (!line.Send(memory.command) || !Expect(line, '.', memory.command, error) ||
        !Expect(line, '.', std::string(memory.command) + " erase", error))
        return false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        for (;;) {
            if (!line.Send(lines[i] + "\r\n")) return Fail(error, "write failed");
            const char answer = line.Next();
            if (answer == '.') {
                ++acknowledged;
                break;
            }
            if (answer != 'R')
                return Fail(error, path + " line " + std::to_string(i + 1) + " answered " + Shown(answer));
        }
    }
    const std::string sum = WordToHex(HexImageSum(lines, memory.first, memory.last));
    return line.Send(BuildHexRecord(0x0C, 0x0000, sum) + "\r\n") &&
           Expect(line, '.', std::string(memory.file) + " checksum record", error);
}

} // namespace

bool RunStopAndWait(DialogueLine& line, const std::string& modelDir, std::string& error, int* acknowledged) {
    int count = 0;
    const bool ok = [&] {
        // The boot loader calls until it is answered.
        for (char c = line.Next(); c != '%'; c = line.Next())
            if (c == 0) return Fail(error, "the boot loader never called");
        if (!line.Send("%") || !Expect(line, '.', "%", error)) return false;
        if (!line.Send(kTypeNumber) || !Expect(line, '.', "the type number", error)) return false;
        for (char c = line.Next(); c != '.'; c = line.Next())
            if (c == 0) return Fail(error, "the identification reply did not end");
        static constexpr Memory kMemories[] = {{"PB", "boot.hex", 0x4000, 0x5FFF},
                                               {"P0", "bank0.hex", 0x0000, 0x7FFF}};
        for (const Memory& memory : kMemories)
            if (!Program(line, modelDir, memory, error, count)) return false;
        return line.Send("FI") && Expect(line, '.', "FI", error);
    }();
    if (acknowledged) *acknowledged = count;
    return ok;
}

} // namespace vz::bench

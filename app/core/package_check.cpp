#include "app/core/package_check.h"

#include "engines/constante.h"
#include "engines/inst_courante.h"
#include "engines/line_text.h"
#include "engines/progboot.h"
#include "engines/progjtag.h"
#include "engines/progpsd.h"
#include "formats/effect.h"
#include "formats/hex.h"
#include "formats/hex_coverage.h"
#include "formats/sha256.h"
#include "formats/text_lines.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

namespace vz {

namespace {

const char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

// Engines that talk to nobody: what they would send goes nowhere, pauses take no time.
EngineClock SilentClock() {
    return EngineClock{[] { return std::uint32_t{0}; }};
}

std::string HexFaultOf(const std::string& line) {
    if (line.empty() || line[0] != ':') return "not an Intel HEX record";
    for (std::size_t i = 1; i < line.size(); ++i)
        if (!((line[i] >= '0' && line[i] <= '9') || (line[i] >= 'A' && line[i] <= 'F')))
            return "character '" + std::string(1, line[i]) + "' is not an upper-case hex digit";
    HexRecord record;
    if (!ParseHexRecord(line, record) || line.size() != 11 + 2 * std::size_t{record.count})
        return "length does not match its byte count";
    // The header's four pairs and the data; the last pair is the checksum itself.
    const std::uint8_t expected = HexRecordChecksum(line, 4 + std::size_t{record.count});
    const std::uint8_t found = HexPairAt(line, line.size() - 2);
    if (found != expected) return "record checksum " + ByteToHex(found) + ", expected " + ByteToHex(expected);
    return {};
}

class ScriptChecker {
public:
    explicit ScriptChecker(TPackageCheck& result) : result_(result) {
        for (TGestionnaire* engine : Engines()) {
            engine->OnError = [this](TGestionnaire& e) { error_ = e.ErrorText(); };
        }
    }

    // Number of faults found in the script and the files it names.
    int Check(const std::string& path) {
        result_.files.push_back(path);
        TextLines lines;
        if (LoadTextLines(path, lines) != LoadResult::Ok) return Fault(path + " File not found !!!");
        const std::string dir = std::filesystem::path(path).parent_path().string();
        const std::string scriptDir = dir.empty() ? std::string() : dir + kSeparator;
        for (TGestionnaire* engine : Engines())
            engine->SetScriptDir(scriptDir);
        int faults = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            faults += CheckLine(path, static_cast<int>(i + 1), TrimBoth(lines[i]));
        return faults;
    }

private:
    std::array<TGestionnaire*, 4> Engines() { return {&boot_, &inst_, &psd_, &jtag_}; }

    int Fault(const std::string& text) {
        result_.faults.push_back(text);
        return 1;
    }

    int CheckLine(const std::string& script, int number, const std::string& text) {
        if (IsSkippedScriptLine(text)) return 0;
        const std::string where = script + ":" + std::to_string(number) + ": ";
        TGestionnaire* taker = nullptr;
        for (TGestionnaire* engine : Engines()) {
            engine->Reset();
            engine->SetCurrentLine(text);
            engine->Execute();
            if (engine->Busy() && !taker) taker = engine;
        }
        if (!taker) return Fault(where + "no instruction takes this line: " + text);
        // The step after acceptance loads the data file or reads the instruction's argument.
        error_.clear();
        taker->Execute();
        int faults = 0;
        if (!error_.empty()) {
            faults += Fault(where + error_);
        } else if (const std::optional<TProgrammedFile> file = taker->DescribeLine(text)) {
            result_.files.push_back(file->Path);
            faults += file->Checksum ? CheckHexFile(file->Path, file->Checksum->First, file->Checksum->Last)
                                     : CheckEffectFile(file->Path);
        }
        for (TGestionnaire* engine : Engines())
            engine->Reset();
        return faults;
    }

    int CheckHexFile(const std::string& path, std::uint16_t first, std::uint16_t last) {
        TextLines lines;
        if (LoadTextLines(path, lines) != LoadResult::Ok) return Fault(path + " File not found !!!");
        int faults = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (const std::string fault = HexFaultOf(lines[i]); !fault.empty())
                faults += Fault(path + ":" + std::to_string(i + 1) + ": " + fault);
        for (const HexCoverageFinding& finding : FindUncoveredHexData(lines, first, last))
            faults += Fault(path + ":" + std::to_string(finding.line) + ": " + finding.text);
        if (lines.empty()) faults += Fault(path + ": the file is empty");
        return faults;
    }

    int CheckEffectFile(const std::string& path) {
        TEffectFile file;
        const int count = file.OpenEffectFile(path);
        if (count < 0) return Fault(path + " cannot be read: " + file.Reason());
        int faults = 0;
        for (int number = 1; number <= count; ++number) {
            TranslationState state;
            const std::string line = file.ReadEffectLine();
            if (TranslateStatement(line, state) == kEffectError)
                faults += Fault(path + ":" + std::to_string(number) + ": translates to Error: " + line);
        }
        if (count == 0) faults += Fault(path + ": Effect File Empty !!!");
        return faults;
    }

    TPackageCheck& result_;
    TProgBoot boot_{SilentClock()};
    TInstCrt inst_{SilentClock()};
    TProgPsd psd_{SilentClock()};
    TProgJtag jtag_{SilentClock()};
    std::string error_;
};

} // namespace

TPackageCheck CheckPackage(const std::string& root, const std::string& device, const std::string& script) {
    TPackageCheck result;
    if (!script.empty()) {
        result.scripts.push_back(script);
    } else {
        std::string base = root;
        if (!base.empty() && base.back() != '/' && base.back() != kSeparator) base += kSeparator;
        for (int number = 1; number <= kDeviceCount; ++number) {
            const device_rec& record = DeviceRecordAt(number);
            const std::string dir = base + NativeDirectory(record).substr(1);
            std::error_code ec;
            if (device != "auto") {
                // A chosen model is its base directory, whose script must be there.
                if (record.directory == "\\" + device + "\\") result.scripts.push_back(dir + "script.ini");
                continue;
            }
            for (const char* name : {"script.ini", "readid.ini"})
                if (std::filesystem::exists(dir + name, ec)) result.scripts.push_back(dir + name);
        }
        if (result.scripts.empty()) {
            result.missing = "No model directory with a script below " + base;
            return result;
        }
    }
    ScriptChecker checker(result);
    for (const std::string& path : result.scripts)
        checker.Check(path);
    return result;
}

std::string PackageDigest(const TPackageCheck& check, const std::string& root) {
    Sha256 digest;
    std::set<std::string> seen;
    for (const std::string& file : check.files) {
        if (!seen.insert(file).second) continue;
        // The name as the package holds it, then the contents: a file renamed is another package.
        digest.Add(std::filesystem::path(file).lexically_relative(root).generic_string() + '\0');
        std::ifstream in(file, std::ios::binary);
        for (char buffer[65536]; in.read(buffer, sizeof buffer) || in.gcount() > 0;)
            digest.Add(std::string_view(buffer, static_cast<std::size_t>(in.gcount())));
        digest.Add(std::string_view("\0", 1));
    }
    return digest.HexDigest();
}

} // namespace vz

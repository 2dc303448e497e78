// The script runner: where the script is, how it is loaded and sized, and how its
// lines are handed to the engines one per sequencer step.
#include "app/core/updater_core.h"

#include "engines/constante.h"
#include "engines/line_text.h"
#include "formats/hex.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <filesystem>

namespace vz {

namespace {

// The directory part of a path, with its trailing separator; empty without one.
std::string DirectoryPart(const std::string& path) {
    const std::size_t cut =
        path.find_last_of(std::filesystem::path::preferred_separator == '\\' ? "\\/:" : "/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// "P3 x.hex", "P 3 x.hex", "V3 0102", "F3": a line for the component, cut as the engines cut it.
bool IsComponentLine(const std::string& line, char digit) {
    const TScriptLine cut = CutScriptLine(TrimBoth(line));
    return (cut.letter == 'P' || cut.letter == 'V' || cut.letter == 'F') && cut.component == digit;
}

} // namespace

void TUpdaterCore::SetScriptDir(const std::string& dir) {
    scriptDir_ = dir;
    for (TGestionnaire* engine : Engines())
        engine->SetScriptDir(dir);
}

bool TUpdaterCore::LocateAndLoadScript() {
    std::string path;
    if (!scriptArgument_.empty()) {
        const std::string dir = DirectoryPart(scriptArgument_);
        SetScriptDir(dir);
        path = scriptDir_ + scriptArgument_.substr(dir.size());
    } else {
        std::string dir = rootDir_;
        if (deviceRecord_ != 0) dir += NativeDirectory(DeviceRecordAt(deviceRecord_));
        SetScriptDir(dir);
        path = scriptDir_ + (readIdMode_ ? "readid.ini" : "script.ini");
    }
    std::vector<std::string> lines;
    if (LoadTextLines(path, lines) != LoadResult::Ok) {
        const bool searched = scriptArgument_.empty() && !rootSearchNote_.empty();
        ShowError(TErrorCode::file_not_found,
                  path + " File not found !!!" + (searched ? " (" + rootSearchNote_ + ")" : std::string()));
        return false;
    }
    scriptLines_ = std::move(lines);
    progressBar2_.Max = 1;
    // Deliberately not the engines' rule: any line holding "rem" anywhere is left out of
    // the bar's maximum, while the engines skip only lines that begin with it.
    for (const std::string& line : scriptLines_)
        if (!line.empty() && line.find("rem") == std::string::npos) ++progressBar2_.Max;
    face_.ProgressChanged();
    return true;
}

void TUpdaterCore::DispatchNextLine() {
    if (lineIndex_ < static_cast<std::int32_t>(scriptLines_.size())) {
        lineText_ = TrimBoth(scriptLines_[static_cast<std::size_t>(lineIndex_)]);
        ++lineIndex_;
        SetProgress(progressBar1_, progressBar1_.Min);
        if (IsSkippedScriptLine(lineText_)) return;
        for (TGestionnaire* engine : Engines()) {
            engine->SetCurrentLine(lineText_);
            engine->Execute();
        }
        if (engineBusy_)
            state_ = TSequencerState::LineRunning;
        else
            ShowError(TErrorCode::syntax_error,
                      "Syntax Error in script file line : " + std::to_string(lineIndex_));
        return;
    }
    lineText_ = "FI";
    inst_.SetCurrentLine(lineText_);
    inst_.Execute();
    // A script whose end the device never acknowledges must not be reported as completed.
    if (!engineBusy_)
        ShowError(TErrorCode::syntax_error,
                  "Syntax Error in script file line : " + std::to_string(scriptLines_.size()));
    else
        state_ = TSequencerState::Finishing;
}

void TUpdaterCore::ReplaceComponentLines(char digit) {
    for (std::string& line : scriptLines_)
        if (IsComponentLine(line, digit)) line = "NP";
}

void TUpdaterCore::ApplyComponentFilter() {
    const RunChoices choices = face_.Choices();
    if (!choices.manual) return;
    for (int component = 0; component <= 9; ++component) {
        const bool selected = component <= 7 ? choices.keyb : component == 8 ? choices.prom1 : choices.prom2;
        if (!selected) ReplaceComponentLines(static_cast<char>('0' + component));
    }
}

void TUpdaterCore::SkipSameVersion(TGestionnaire&, std::int32_t component) {
    if (face_.Choices().manual) return;
    const auto skip = [this](const TMemory& memory) {
        if (std::find(runRecord_.skipped.begin(), runRecord_.skipped.end(), memory) ==
            runRecord_.skipped.end())
            runRecord_.skipped.push_back(memory);
    };
    if (component >= 8) {
        skip({mkProm, component == 8 ? 1 : 2});
        ReplaceComponentLines(NibbleToHexChar(static_cast<unsigned>(component) & 0x0F));
    } else if (component >= 0) {
        // One bank at the wanted version means the whole keyboard is.
        for (std::int32_t bank = 0; bank <= 7; ++bank) {
            skip({mkKeyboardBank, bank});
            ReplaceComponentLines(static_cast<char>('0' + bank));
        }
    }
}

} // namespace vz

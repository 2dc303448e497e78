#include "app/cli/cli_face.h"

namespace vz::cli {

void CliFace::MemoLineAdded(const std::string& line) {
    if (line == "Program operation completed") completed_ = true;
    PrintLine(line);
}

void CliFace::PrintLine(const std::string& line) {
    progress_.Clear();
    out_ << line << '\n';
    out_.flush();
    progress_.Redraw();
}

void CliFace::ProgressChanged() {
    if (!core_) return;
    const TProgressBar& script = core_->ProgressBar2();
    const TProgressBar& line = core_->ProgressBar1();
    progress_.Update(script.Position, script.Max, line.Position, line.Max);
}

} // namespace vz::cli

#include "app/cli/cli_face.h"

#include "app/core/identity.h"

namespace vz::cli {

void CliFace::MemoLineAdded(const std::string& line) {
    if (line == "Program operation completed") completed_ = true;
    ShowIdentityOnce();
    PrintLine(line);
}

void CliFace::ShowIdentityOnce() {
    // The boot loader engine is done with "SYN" once it is no longer busy.
    if (identityShown_ || !core_ || core_->ModelCode() == 0 || core_->BootEngine().Busy()) return;
    identityShown_ = true;
    std::string text = DeviceText(core_->ModelCode());
    if (const std::string option = OptionText(core_->Options()); !option.empty()) text += "  " + option;
    PrintLine(text + "  " + IdText(core_->DeviceId()));
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

#include "app/cli/cli_face.h"

#include "app/core/identity.h"

namespace vz::cli {

void CliFace::MemoLineAdded(const std::string& line) {
    if (log_) log_->Note("status", line);
    // A command line has no START button to click: the idle line is not for it.
    if (core_ && core_->State() == TSequencerState::Idle) return;
    ShowIdentityOnce();
    PrintLine(line);
}

void CliFace::Advise(const std::string& text) {
    if (log_) log_->Note("advice", text);
    PrintError(text);
}

void CliFace::PrintError(const std::string& line) {
    progress_.Clear();
    err_ << line << '\n';
    err_.flush();
    progress_.Redraw();
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
    if (counter_) {
        // The sequencer changes its lines only before the first and when it skips a
        // component: measuring just then keeps following a run linear in its length.
        if (script.Position != estimatedAt_) {
            estimatedAt_ = script.Position;
            const std::size_t skipped = core_->RunRecord().skipped.size();
            if (script.Position <= 1) estimate_ = UpdateEstimate(); // a new run: files may have changed
            if (script.Position <= 1 || skipped != skippedAt_) {
                skippedAt_ = skipped;
                estimate_.Measure(core_->ScriptLines(), core_->ScriptDir());
            }
        }
        progress_.UpdateBytes(counter_->Sent(), estimate_.Total(), counter_->BitsPerSecond());
    }
    progress_.Update(script.Position, script.Max, line.Position, line.Max);
}

} // namespace vz::cli

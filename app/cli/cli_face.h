// The command line as a face of the sequencer: memo lines on stdout, bars on stderr.
#pragma once

#include "app/cli/counting_link.h"
#include "app/cli/logging_link.h"
#include "app/cli/progress_display.h"
#include "app/core/main_face.h"
#include "app/core/updater_core.h"

#include <ostream>

namespace vz::cli {

class CliFace : public TMainFace {
public:
    CliFace(std::ostream& out, std::ostream& err, ProgressDisplay& progress, RunChoices choices)
        : out_(out), err_(err), progress_(progress), choices_(std::move(choices)) {}

    void Attach(TUpdaterCore& core) { core_ = &core; }
    // Status lines and advice also go to the transcript.
    void SetLog(LoggingLink* log) { log_ = log; }
    // Where the progress line takes the bytes sent and the wire's rate from.
    void SetCounter(const CountingLink* counter) { counter_ = counter; }

    void MemoLineAdded(const std::string& line) override;
    void ProgressChanged() override;
    void ControlsChanged() override {}
    void Repaint() override {}
    void ShowErrorBox(const std::string&) override { errorShown_ = true; }
    void SetTimerInterval(int milliseconds) override { interval_ = milliseconds; }
    RunChoices Choices() override { return choices_; }
    void CloseWindow() override {}
    void Advise(const std::string& text) override;

    // A line printed outside the memo (the identity, a face's own message).
    void PrintLine(const std::string& line);
    // A line on the error stream, clear of the bars.
    void PrintError(const std::string& line);
    // "Device KRA350  Id : 1001" once the device is identified, printed once and
    // before any later line, so that an error right after it stays the last line.
    void ShowIdentityOnce();

    int Interval() const { return interval_; }
    bool ErrorShown() const { return errorShown_; }
    bool Completed() const { return completed_; }

private:
    std::ostream& out_;
    std::ostream& err_;
    ProgressDisplay& progress_;
    LoggingLink* log_ = nullptr;
    const CountingLink* counter_ = nullptr;
    int estimatedAt_ = -1;      // the script position the byte estimate was made at
    std::size_t skippedAt_ = 0; // the components skipped when the script was last measured
    UpdateEstimate estimate_;
    RunChoices choices_;
    TUpdaterCore* core_ = nullptr;
    int interval_ = 500;
    bool errorShown_ = false;
    bool completed_ = false;
    bool identityShown_ = false;
};

} // namespace vz::cli

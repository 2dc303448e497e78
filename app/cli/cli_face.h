// The command line as a face of the sequencer: memo lines on stdout, bars on stderr.
#pragma once

#include "app/cli/progress_display.h"
#include "app/core/counting_link.h"
#include "app/core/main_face.h"
#include "app/core/run_log.h"
#include "app/core/updater_core.h"

#include <ostream>

namespace vz::cli {

class CliFace : public TMainFace {
public:
    CliFace(std::ostream& out, std::ostream& err, ProgressDisplay& progress, RunChoices choices)
        : out_(out), err_(err), progress_(progress), choices_(std::move(choices)) {}

    void Attach(TUpdaterCore& core) { core_ = &core; }
    // Status lines and advice also go to the transcript.
    void SetLog(TRunLog* log) { log_ = log; }
    // Where the progress line takes the bytes sent and the wire's rate from.
    void SetCounter(const TCountingLink* counter) { counter_ = counter; }

    void MemoLineAdded(const std::string& line) override;
    void ProgressChanged() override;
    void ControlsChanged() override {}
    void Repaint() override {}
    // The error is the memo's last line already; the run's end tells the rest.
    void ShowErrorBox(const std::string&) override {}
    RunChoices Choices() override { return choices_; }
    void CloseWindow() override {}
    void Advise(const std::string& text) override;

    // A line printed outside the memo (the identity, a face's own message).
    void PrintLine(const std::string& line);
    // A line on the error stream, clear of the bars.
    void PrintError(const std::string& line);
    // "Device KRA350  Id : 1001", before any later line, so that an error right
    // after it stays the last line.
    void DeviceIdentified(const TDeviceIdentity& identity) override;

private:
    std::ostream& out_;
    std::ostream& err_;
    ProgressDisplay& progress_;
    TRunLog* log_ = nullptr;
    const TCountingLink* counter_ = nullptr;
    int estimatedAt_ = -1;      // the script position the byte estimate was made at
    std::size_t skippedAt_ = 0; // the components skipped when the script was last measured
    UpdateEstimate estimate_;
    RunChoices choices_;
    TUpdaterCore* core_ = nullptr;
};

} // namespace vz::cli

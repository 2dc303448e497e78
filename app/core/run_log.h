// A link that writes a timestamped transcript of both directions before passing
// everything on.
#pragma once

#include "app/core/durable_file.h"
#include "app/core/link_control.h"
#include "app/core/time_source.h"

#include <chrono>
#include <memory>
#include <string>

namespace vz {

// The transcript file: one timestamped line an event. It outlives the link, so that
// the exit status comes after everything the link did.
class TRunLog {
public:
    explicit TRunLog(TTimeSource time = TTimeSource::System())
        : time_(std::move(time)), start_(time_.steady()) {}
    bool IsOpen() const { return file_.IsOpen(); }
    // The transcript the user named: a regular file, emptied first; never a FIFO, a
    // device or a link. The times start again.
    bool Open(const std::string& path) { return Started(file_.OpenAppend(path, true)); }
    // A new file where nothing stands yet (a device after a device): the file before is
    // closed, the times start again.
    TRecordFile::Outcome CreateNew(const std::string& path) {
        const TRecordFile::Outcome outcome = file_.CreateNew(path);
        Started(outcome);
        return outcome;
    }
    // Notes then go nowhere until the next Open or CreateNew.
    void Close() { file_.Close(); }
    // A line of the run that is not on the wire (header, status, advice, exit status).
    void Note(const char* kind, const std::string& text);
    const std::string& Reason() const { return file_.Reason(); }

private:
    bool Started(TRecordFile::Outcome outcome) {
        start_ = time_.steady();
        return outcome == TRecordFile::Outcome::Opened;
    }

    TTimeSource time_;
    TRecordFile file_;
    std::chrono::steady_clock::time_point start_;
};

class TLoggingLink : public TLinkControl {
public:
    TLoggingLink(std::unique_ptr<TLinkControl> inner, TRunLog& log) : inner_(std::move(inner)), log_(log) {}

    void SelectLinkPort(int n) override { inner_->SelectLinkPort(n); }
    void SelectLinkPath(const std::string& path) override { inner_->SelectLinkPath(path); }
    bool SetLinkRun(bool run) override;
    void PostTx(const std::string& text) override;
    std::string TakeReceived() override;
    void SetSpeedFast() override;
    void SetSpeedSlow() override;
    std::string PortName() const override { return inner_->PortName(); }
    ComThread* LinkThread() override { return inner_->LinkThread(); }

private:
    void Write(const char* direction, const std::string& text) { log_.Note(direction, text); }

    std::unique_ptr<TLinkControl> inner_;
    TRunLog& log_;
    // The core tells a stopped link to stop on every idle step: one line is enough.
    bool running_ = false;
};

// Control characters as \r, \n, \e or \xNN so a transcript stays one line per chunk.
std::string EscapeText(const std::string& text);

} // namespace vz

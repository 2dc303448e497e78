// A link that writes a timestamped transcript of both directions before passing
// everything on.
#pragma once

#include "app/core/link_control.h"
#include "app/core/time_source.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

namespace vz {

// The transcript file: one timestamped line an event. It outlives the link, so that
// the exit status comes after everything the link did.
class TRunLog {
public:
    explicit TRunLog(TTimeSource time = TTimeSource::System())
        : time_(std::move(time)), start_(time_.steady()) {}
    explicit TRunLog(const std::string& path, TTimeSource time = TTimeSource::System())
        : TRunLog(std::move(time)) {
        file_.open(path);
    }
    bool IsOpen() const { return file_.is_open(); }
    // One transcript after another through the same link (a device after a device):
    // the file before is closed, the times start again.
    bool Reopen(const std::string& path) {
        Close();
        file_.open(path);
        start_ = time_.steady();
        return file_.is_open();
    }
    // Notes then go nowhere until the next Reopen.
    void Close() {
        if (file_.is_open()) file_.close();
    }
    // A line of the run that is not on the wire (header, status, advice, exit status).
    void Note(const char* kind, const std::string& text);

private:
    TTimeSource time_;
    std::ofstream file_;
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

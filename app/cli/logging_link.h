// A link that writes a timestamped transcript of both directions before passing
// everything on.
#pragma once

#include "app/core/link_control.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

namespace vz::cli {

// The transcript file: one timestamped line an event. It outlives the link, so that
// the exit status comes after everything the link did.
class RunLog {
public:
    RunLog() = default;
    explicit RunLog(const std::string& path) : file_(path) {}
    bool IsOpen() const { return file_.is_open(); }
    // One transcript after another through the same link (a device after a device):
    // the file before is closed, the times start again.
    bool Reopen(const std::string& path) {
        Close();
        file_.open(path);
        start_ = std::chrono::steady_clock::now();
        return file_.is_open();
    }
    // Notes then go nowhere until the next Reopen.
    void Close() {
        if (file_.is_open()) file_.close();
    }
    // A line of the run that is not on the wire (header, status, advice, exit status).
    void Note(const char* kind, const std::string& text);

private:
    std::ofstream file_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class LoggingLink : public TLinkControl {
public:
    LoggingLink(std::unique_ptr<TLinkControl> inner, RunLog& log) : inner_(std::move(inner)), log_(log) {}

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
    RunLog& log_;
    // The core tells a stopped link to stop on every idle step: one line is enough.
    bool running_ = false;
};

// Control characters as \r, \n, \e or \xNN so a transcript stays one line per chunk.
std::string EscapeText(const std::string& text);

} // namespace vz::cli

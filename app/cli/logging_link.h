// A link that writes a timestamped transcript of both directions before passing
// everything on.
#pragma once

#include "app/core/link_control.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

namespace vz::cli {

class LoggingLink : public TLinkControl {
public:
    LoggingLink(std::unique_ptr<TLinkControl> inner, const std::string& path);
    bool IsOpen() const { return file_.is_open(); }

    void SelectLinkPort(int n) override { inner_->SelectLinkPort(n); }
    void SelectLinkPath(const std::string& path) override { inner_->SelectLinkPath(path); }
    bool SetLinkRun(bool run) override;
    void PostTx(const std::string& text) override;
    std::string TakeReceived() override;
    void SetSpeedFast() override;
    void SetSpeedSlow() override;

private:
    void Write(const char* direction, const std::string& text);

    std::unique_ptr<TLinkControl> inner_;
    std::ofstream file_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Control characters as \r, \n, \e or \xNN so a transcript stays one line per chunk.
std::string EscapeText(const std::string& text);

} // namespace vz::cli

// A link that counts the bytes sent and knows the wire's speed, for the progress line.
#pragma once

#include "app/core/link_control.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vz {

class TCountingLink : public TLinkControl {
public:
    explicit TCountingLink(std::unique_ptr<TLinkControl> inner) : inner_(std::move(inner)) {}

    std::uint64_t Sent() const { return sent_; }
    int BitsPerSecond() const { return slow_ ? 19200 : 57600; }

    void SelectLinkPort(int n) override { inner_->SelectLinkPort(n); }
    void SelectLinkPath(const std::string& path) override { inner_->SelectLinkPath(path); }
    bool SetLinkRun(bool run) override { return inner_->SetLinkRun(run); }
    void PostTx(const std::string& text) override {
        sent_ += text.size();
        inner_->PostTx(text);
    }
    std::string TakeReceived() override { return inner_->TakeReceived(); }
    void SetSpeedFast() override {
        slow_ = false;
        inner_->SetSpeedFast();
    }
    void SetSpeedSlow() override {
        slow_ = true;
        inner_->SetSpeedSlow();
    }
    std::string PortName() const override { return inner_->PortName(); }
    ComThread* LinkThread() override { return inner_->LinkThread(); }

private:
    std::unique_ptr<TLinkControl> inner_;
    std::uint64_t sent_ = 0;
    bool slow_ = false;
};

} // namespace vz

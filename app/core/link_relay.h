// The core's link while its driver lives. It forwards to the driver's link until
// the driver closes and detaches it; after that every call is a no-op, so the
// link and its thread can end before the core does.
#pragma once

#include "app/core/link_control.h"

#include <string>

namespace vz {

class TLinkRelay : public TLinkControl {
public:
    explicit TLinkRelay(TLinkControl* target) : target_(target) {}
    void Detach() { target_ = nullptr; }

    void SelectLinkPort(int n) override {
        if (target_) target_->SelectLinkPort(n);
    }
    void SelectLinkPath(const std::string& path) override {
        if (target_) target_->SelectLinkPath(path);
    }
    bool SetLinkRun(bool run) override { return target_ ? target_->SetLinkRun(run) : !run; }
    void PostTx(const std::string& text) override {
        if (target_) target_->PostTx(text);
    }
    std::string TakeReceived() override { return target_ ? target_->TakeReceived() : std::string(); }
    void SetSpeedFast() override {
        if (target_) target_->SetSpeedFast();
    }
    void SetSpeedSlow() override {
        if (target_) target_->SetSpeedSlow();
    }
    std::string PortName() const override { return target_ ? target_->PortName() : std::string(); }
    ComThread* LinkThread() override { return target_ ? target_->LinkThread() : nullptr; }

private:
    TLinkControl* target_;
};

} // namespace vz

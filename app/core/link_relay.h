// The core's link while its driver lives. It forwards to the driver's link until
// the driver closes and detaches it; after that every call is a no-op, so the
// link and its thread can end before the core does.
#pragma once

#include "app/core/link_control.h"

#include <cstddef>
#include <functional>
#include <string>

namespace vz {

class TLinkRelay : public TLinkControl {
public:
    explicit TLinkRelay(TLinkControl* target) : target_(target) {}
    void Detach() { target_ = nullptr; }

    // What the driver watches of the traffic: each text posted, the wire's speed.
    std::function<void(std::size_t bytes)> OnPosted;
    std::function<void(int bitsPerSecond)> OnSpeed;

    void SelectLinkPort(int n) override {
        if (target_) target_->SelectLinkPort(n);
    }
    void SelectLinkPath(const std::string& path) override {
        if (target_) target_->SelectLinkPath(path);
    }
    bool SetLinkRun(bool run) override { return target_ ? target_->SetLinkRun(run) : !run; }
    void PostTx(const std::string& text) override {
        if (!target_) return;
        target_->PostTx(text);
        if (OnPosted) OnPosted(text.size());
    }
    std::string TakeReceived() override { return target_ ? target_->TakeReceived() : std::string(); }
    void SetSpeedFast() override {
        if (target_) target_->SetSpeedFast();
        if (OnSpeed) OnSpeed(57600);
    }
    void SetSpeedSlow() override {
        if (target_) target_->SetSpeedSlow();
        if (OnSpeed) OnSpeed(19200);
    }
    std::string PortName() const override { return target_ ? target_->PortName() : std::string(); }
    ComThread* LinkThread() override { return target_ ? target_->LinkThread() : nullptr; }

private:
    TLinkControl* target_;
};

} // namespace vz

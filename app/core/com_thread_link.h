// The sequencer's link served by the communication thread on a real port.
#pragma once

#include "app/core/link_control.h"
#include "link/com_thread.h"

#include <memory>
#include <string>

namespace vz {

// What the windows say when the link fails: "Error while opening " followed by the
// port and the system's reason, or that a port in use was lost (an adapter pulled
// out); `advice` gets what the operator can do, empty when there is nothing to add.
std::string LinkFailureText(const LinkFailure& failure, bool lost, std::string* advice = nullptr);

class TComThreadLink : public TLinkControl {
public:
    TComThreadLink();
    // On another port implementation (tests).
    explicit TComThreadLink(std::unique_ptr<PortBackend> backend);

    void SelectLinkPort(int n) override {
        port_ = n;
        thread_.SelectLinkPort(n);
    }
    void SelectLinkPath(const std::string& path) override {
        path_ = path;
        thread_.SelectLinkPath(path);
    }
    bool SetLinkRun(bool run) override {
        thread_.SetLinkRun(run);
        return true;
    }
    void PostTx(const std::string& text) override { thread_.PostTx(text); }
    std::string TakeReceived() override { return thread_.TakeReceived(); }
    void SetSpeedFast() override { thread_.SetSpeedFast(); }
    void SetSpeedSlow() override { thread_.SetSpeedSlow(); }
    std::string PortName() const override;
    ComThread* LinkThread() override { return &thread_; }

    // The handlers run on the link's own thread: a face hands the work over to its
    // own thread (the chunk) or blocks until the operator has answered (the failures).
    ComThread& Thread() { return thread_; }

private:
    ComThread thread_;
    int port_ = 1;
    std::string path_;
};

} // namespace vz

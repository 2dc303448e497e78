// What the sequencer asks of the serial link. The communication thread serves it
// in the programs; tests put a scripted device behind it.
#pragma once

#include <string>

namespace vz {

class ComThread;

// The start of the error when the link cannot be opened; the windows follow it with
// the port and the system's reason.
inline constexpr char kOpenFailureText[] = "Error while opening ";

class TLinkControl {
public:
    virtual ~TLinkControl() = default;
    // COM n, 1 to 9 from the Port menu.
    virtual void SelectLinkPort(int n) = 0;
    // A device path that takes the place of the port number; empty for none.
    virtual void SelectLinkPath(const std::string& path) = 0;
    // False when the link could not be told to run.
    virtual bool SetLinkRun(bool run) = 0;
    // Replaces any text not yet sent.
    virtual void PostTx(const std::string& text) = 0;
    // The last received chunk, emptied.
    virtual std::string TakeReceived() = 0;
    virtual void SetSpeedFast() = 0;
    virtual void SetSpeedSlow() = 0;
    // The device name the selected port opens ("/dev/ttyS0", "\\.\COM1"); empty
    // when the link cannot tell.
    virtual std::string PortName() const { return {}; }
    // The communication thread behind the link, whose chunks and failures the run
    // driver takes; null for a link without one (a scripted device).
    virtual ComThread* LinkThread() { return nullptr; }
};

} // namespace vz

// What the sequencer needs from a face: the window or the command line.
#pragma once

#include <cstdint>
#include <string>

namespace vz {

// The menu and dialog choices, read when a run needs them.
struct RunChoices {
    int port = 1;               // checked Port item, 1 to 9
    std::string portPath;       // a device path instead of the number (command line)
    bool slow = false;          // Speed: Slow checked
    std::uint8_t menuModel = 0; // Device menu: 0 Auto, 1, 2, 3, 4, 7
    bool manual = false;        // Mode: Manual checked
    bool keyb = true;           // component boxes "Keyb 350", "Prom 1", "Prom 2"
    bool prom1 = true;
    bool prom2 = true;
};

// The device as the boot loader identified it.
struct TDeviceIdentity {
    std::uint8_t model = 0;    // model code of the device table
    std::int32_t deviceId = 0; // as the device reported it; 0 is a value like any other
    std::int32_t options = 0;  // the identification's option word (0 when the reply had none)
    // The boot area's checksum as the device reported it (the memo shows it plus A000).
    std::uint16_t bootChecksum = 0;
};

class TMainFace {
public:
    virtual ~TMainFace() = default;
    // A line was appended to the status memo.
    virtual void MemoLineAdded(const std::string& line) = 0;
    // Either progress bar changed; read them from the core.
    virtual void ProgressChanged() = 0;
    // Button captions, enables and menu enables changed; read them from the core.
    virtual void ControlsChanged() = 0;
    // The identity behind the title changed; the face repaints its caption.
    virtual void Repaint() = 0;
    // The modal error box; returns when the operator has answered it.
    virtual void ShowErrorBox(const std::string& text) = 0;
    virtual RunChoices Choices() = 0;
    // The Quit button, or START while it reads QUIT.
    virtual void CloseWindow() = 0;
    // Advice to the operator beyond the system's own texts (a device that does not
    // call, a device left partly programmed): the window shows it in its memo, the
    // command line on its error stream.
    virtual void Advise(const std::string& text) = 0;
    // The device acknowledged a file line of an upload (the run driver times the
    // round trips; a face has nothing to show for it).
    virtual void LineAcknowledged() {}
    // The boot loader identified the device, once a run, before its script is run.
    virtual void DeviceIdentified(const TDeviceIdentity& /*identity*/) {}
};

} // namespace vz

// The plainest host the protocol can have: a stop-and-wait loop that programs
// the boot area and bank 0 of a package's model directory and ends with "FI",
// with no engines and no sequencer. The benchmarks hold the updater against it
// on the same paced device, over whatever line they give it.
#pragma once

#include <string>

namespace vz::bench {

class DialogueLine {
public:
    virtual ~DialogueLine() = default;
    virtual bool Send(const std::string& text) = 0;
    // The next byte from the device; 0 when none came within the wait.
    virtual char Next() = 0;
};

// True when every line was acknowledged; otherwise `error` says where it stopped.
// `acknowledged` counts the lines and commands the device answered.
bool RunStopAndWait(DialogueLine& line, const std::string& modelDir, std::string& error,
                    int* acknowledged = nullptr);

} // namespace vz::bench

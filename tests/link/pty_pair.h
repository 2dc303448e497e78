// A pseudo-terminal pair standing in for a serial line: the code under test
// opens the terminal side by its path, the test plays the device on the
// master side. The test keeps its own descriptor of the terminal side, which
// lets it look at the line settings and the input queue.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <termios.h>

namespace vz::test {

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0; }
    const std::string& Path() const { return path_; }

    void WriteMaster(const std::string& bytes);
    // Writes what the line takes within `timeout`; returns how much that was.
    std::size_t WriteMasterFor(const std::string& bytes, std::chrono::milliseconds timeout);
    // Reads until `count` bytes have come or `timeout` has passed.
    std::string ReadMaster(std::size_t count, std::chrono::milliseconds timeout);
    // The device goes away.
    void CloseMaster();

    termios Settings() const;
    speed_t OutputSpeed() const;
    // Bytes in the terminal side's input queue, not yet read by anyone.
    int InputQueued() const;

private:
    int master_ = -1;
    int terminal_ = -1;
    std::string path_;
};

// Polls `condition` until it holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace vz::test

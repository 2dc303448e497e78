// Raises a flag for as long as a scope runs and lowers it however the scope ends
// (the sequencer's re-entrancy flag, the driver's "inside a step").
#pragma once

namespace vz {

class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
};

} // namespace vz

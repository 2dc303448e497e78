// Engine of the general script instructions: prompt, wait, RS, NP, FI, V, T, UV, OP.
#pragma once

#include "engines/gestionnaire.h"

#include <cstdint>
#include <functional>

namespace vz {

class TInstCrt : public TGestionnaire {
public:
    using TVersionNotifyEvent = std::function<void(TGestionnaire& Sender, std::int32_t component)>;

    explicit TInstCrt(EngineClock clock = EngineClock::System());

    void Execute() override;
    void Error(const std::string& text) override;
    void Reset() override;

    std::uint8_t Step() const { return step_; }

    // The device already holds the version a "T" line asks for.
    TVersionNotifyEvent OnVersionSame;

private:
    void Recognise();
    // "." and "I" after a one-word command; true once "." has been taken.
    bool CommandAccepted();
    // "." and "X" after a text; true once "." has been taken.
    bool TextWritten();
    void StartWait();
    void CompareVersion();

    std::uint8_t step_ = 0;
    std::uint32_t waitDuration_ = 0;
    std::uint32_t waitStart_ = 0;
    std::int32_t componentNumber_ = 0;
};

} // namespace vz

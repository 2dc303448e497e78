// Engine of the general script instructions: prompt, wait, RS, NP, FI, V, T, UV, OP.
#pragma once

#include "engines/gestionnaire.h"
#include "engines/line_text.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vz {

class TInstCrt : public TGestionnaire {
public:
    using TVersionNotifyEvent = std::function<void(TGestionnaire& Sender, std::int32_t component)>;
    using TVersionWrittenEvent =
        std::function<void(TGestionnaire& Sender, char component, const std::string& text)>;

    enum TStep : std::uint8_t {
        stIdle = 0,
        stPrompt = 1,
        stWaitStart = 2,
        stWaiting = 3,
        stReset = 4,
        stResetReply = 5,
        stNoOp = 6,
        stNoOpReply = 7,
        stFinish = 8,
        stParked = 9,
        stEnd = 10,
        stEndReply = 11,
        stVersionSelect = 12,
        stVersionSelectReply = 13,
        stVersionWriteReply = 14,
        stVersionQuery = 15,
        stVersionQueryReply = 16,
        stVersionCompare = 17,
        stUvStart = 18,
        stUvReply = 19,
        stUvTextReply = 20,
        stOpStart = 21,
        stOpReply = 22,
        stOpTextReply = 23,
    };

    explicit TInstCrt(EngineClock clock = EngineClock::System());

    void Execute() override;
    void Error(TErrorCode code, const std::string& text) override;
    void Reset() override;
    // A "wait" counts the clock, not the device.
    bool WaitsForDevice() const override { return step_ != stWaitStart && step_ != stWaiting; }

    TStep Step() const { return step_; }

    // The device already holds the version a "T" line asks for.
    TVersionNotifyEvent OnVersionSame;
    // The device has taken a version text ("V" acknowledged), for the run's record.
    TVersionWrittenEvent OnVersionWritten;
    // The version a "T" line read from the device, as it sent it, before comparing.
    TVersionWrittenEvent OnVersionRead;

private:
    void Recognise();
    // "." and "I" after a one-word command; true once "." has been taken.
    bool CommandAccepted();
    // "." and "X" after a text; true once "." has been taken.
    bool TextWritten();
    void StartWait();
    void CompareVersion();
    // "UV" or "OP": the command, then its text.
    void StartTextCommand(const std::string& command, TStep next);
    void SendText(TStep next);

    TStep step_ = stIdle;
    // A "V" or "T" line, as cut when it was recognised.
    TScriptLine line_;
    std::uint32_t waitDuration_ = 0;
    std::uint32_t waitStart_ = 0;
    std::int32_t componentNumber_ = 0;
    char versionComponent_ = 0;
};

} // namespace vz

// Engine of the two PROM devices on the device's JTAG chain: read their
// identification ("D"), update them by playing an Effect file ("P"), the "F" command.
#pragma once

#include "engines/gestionnaire.h"
#include "formats/effect.h"

#include <cstdint>
#include <string>

namespace vz {

class TProgJtag : public TGestionnaire {
public:
    enum TStep : std::uint8_t {
        stIdle = 0,
        stParked = 1,
        stAwaitSlowStart = 2,
        stSendD = 3,
        stAwaitD = 4,
        stReadIdentification = 5,
        stStartUpdate = 6,
        stAwaitUpdate = 7,
        stStatementRunning = 8,
        stAwaitEnd = 9,
        stSendF = 10,
        stAwaitF = 11,
        stFinish = 12,
        stPausing = 13, // the second after "P8"/"P9" or "S8"/"S9"; then afterPause_
    };

    explicit TProgJtag(EngineClock clock = EngineClock::System());
    ~TProgJtag() override;

    void Execute() override;
    void Error(TErrorCode code, const std::string& text) override;
    void Reset() override;
    // The pause before the first record waits for the clock, not for the device.
    bool WaitsForDevice() const override { return step_ != stPausing; }
    std::optional<TProgrammedFile> DescribeLine(const std::string& line) const override;

    // The first ".", "X" or "R" anywhere in RxBuffer; empty when there is none.
    std::string FindReplyCode() const;

    TStep Step() const { return step_; }
    const std::string& EffectLine() const { return effectLine_; }
    std::int32_t EffectLineCount() const { return effectLineCount_; }
    std::int32_t EffectLineNumber() const { return effectLineNumber_; }
    const std::string& PromSelector() const { return promSelector_; }
    const TranslationState& Translation() const { return translation_; }
    bool EffectFileOpen() const { return effectFile_.IsOpen(); }

private:
    void Recognise();
    void AwaitSlowStart();
    void AwaitIdentificationAccepted();
    void ReadIdentification();
    void StartUpdate();
    void AwaitUpdateAccepted();
    void RunStatement();
    void CheckTdoAnswer();
    void AwaitEnd();
    void AwaitF();
    // Reads on to the next line that yields a command and sends it, or the end record.
    void SendNextCommand();
    void AskFastLink();

    TStep step_ = stIdle;
    TStep afterPause_ = stIdle;
    std::uint32_t pauseStart_ = 0;
    std::string effectLine_;
    std::int32_t effectLineCount_ = 0;
    std::int32_t effectLineNumber_ = 0;
    std::string promSelector_;
    // The Effect file a "P" line names, from the line as recognised.
    std::string fileName_;
    TranslationState translation_;
    TEffectFile effectFile_;
    // The slow link was asked for and the fast one not yet again.
    bool slowLink_ = false;
};

} // namespace vz

// Engine of the keyboard flash banks 0 to 7: program a bank from an Intel HEX
// file ("P"), read the keyboard's identification number ("D"), the "F" command.
#pragma once

#include "engines/gestionnaire.h"
#include "formats/text_lines.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

class TProgPsd : public TGestionnaire {
public:
    explicit TProgPsd(EngineClock clock = EngineClock::System());

    void Execute() override;
    void Error(const std::string& text) override;
    void Reset() override;

    // True when the text begins with one of the characters "0" to "7".
    static bool IsBankDigit(std::string_view text);

    std::uint8_t Step() const { return step_; }
    std::int32_t Bank() const { return bank_; }
    std::int32_t NextLine() const { return nextLine_; }

private:
    void Recognise();
    void LoadFile();
    // "." (left in place for the caller) or "I" at the start of the reply.
    bool CommandAccepted();
    void AwaitErase();
    void Upload();
    void SendChecksum();
    void AwaitChecksum();
    void ReadIdNumber();
    void SendFileLine(std::int32_t index);
    // The bank digit as the device and the status lines show it.
    char Digit() const;

    std::uint8_t step_ = 0;
    TextLines fileLines_;
    std::int32_t nextLine_ = 0;
    std::int32_t bank_ = 0;
};

} // namespace vz

// Effect files (the SVF subset the device's JTAG player takes): reading, and the
// translation of each statement into the command record sent to the device.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/text_lines.h"

namespace vz {

// What the translator leaves for the JTAG engine after each statement.
struct TranslationState {
    std::int32_t ScanLength = 0;
    std::int32_t ScanCode = 0;
    std::string Tdi;
    std::string Tdo;
    std::string Mask;
    std::string SMask;
    bool DataBlockPending = false;
};

inline constexpr std::string_view kEffectError = "Error";
inline constexpr std::string_view kEffectEndRecord = ":00000001FF";

// Empty (nothing to send), "Error", or one command record without line end.
std::string TranslateStatement(std::string_view line, TranslationState& state);

std::string ReverseHexBytes(std::string_view text);
void AndHexDigits(std::string_view mask, std::string& text);
bool IsUniformHex(std::string_view text, char& digit);
void AppendDataChecksum(std::string& text);

// One Effect file, read whole when opened, handed out line by line.
class TEffectFile {
public:
    static constexpr int kMissing = -1;
    static constexpr int kUnreadable = -2;

    // Line count, kMissing when no file exists at the path, kUnreadable when it
    // exists but cannot be read (Reason() then says why).
    int OpenEffectFile(const std::string& path);
    // The next line; empty once every counted line has been handed out.
    std::string ReadEffectLine();
    void CloseEffectFile();
    bool IsOpen() const { return open_; }
    const std::string& Reason() const { return reason_; }

private:
    TextLines lines_;
    std::size_t next_ = 0;
    bool open_ = false;
    std::string reason_;
};

} // namespace vz

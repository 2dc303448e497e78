#include "app/core/run_log.h"

#include <cstdio>

namespace vz {

std::string EscapeText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (byte == 27)
            out += "\\e";
        else if (c == '\\')
            out += "\\\\";
        else if (byte < 32 || byte >= 127) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else
            out += c;
    }
    return out;
}

void TRunLog::Note(const char* direction, const std::string& text) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(time_.steady() - start_);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f", static_cast<double>(elapsed.count()) / 1e6);
    if (!file_.IsOpen()) return;
    file_.Append(std::string(stamp) + ' ' + direction + ' ' + EscapeText(text) + '\n');
}

bool TLoggingLink::SetLinkRun(bool run) {
    if (run != running_) Write("--", run ? "link run" : "link stop");
    running_ = run;
    return inner_->SetLinkRun(run);
}

void TLoggingLink::PostTx(const std::string& text) {
    Write("H>D", text);
    inner_->PostTx(text);
}

std::string TLoggingLink::TakeReceived() {
    std::string text = inner_->TakeReceived();
    if (!text.empty()) Write("D>H", text);
    return text;
}

void TLoggingLink::SetSpeedFast() {
    Write("--", "speed 57600");
    inner_->SetSpeedFast();
}

void TLoggingLink::SetSpeedSlow() {
    Write("--", "speed 19200");
    inner_->SetSpeedSlow();
}

} // namespace vz

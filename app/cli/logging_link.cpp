#include "app/cli/logging_link.h"

#include <cstdio>

namespace vz::cli {

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

void RunLog::Note(const char* direction, const std::string& text) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f", static_cast<double>(elapsed.count()) / 1e6);
    file_ << stamp << ' ' << direction << ' ' << EscapeText(text) << '\n';
    file_.flush();
}

bool LoggingLink::SetLinkRun(bool run) {
    if (run != running_) Write("--", run ? "link run" : "link stop");
    running_ = run;
    return inner_->SetLinkRun(run);
}

void LoggingLink::PostTx(const std::string& text) {
    Write("H>D", text);
    inner_->PostTx(text);
}

std::string LoggingLink::TakeReceived() {
    std::string text = inner_->TakeReceived();
    if (!text.empty()) Write("D>H", text);
    return text;
}

void LoggingLink::SetSpeedFast() {
    Write("--", "speed 57600");
    inner_->SetSpeedFast();
}

void LoggingLink::SetSpeedSlow() {
    Write("--", "speed 19200");
    inner_->SetSpeedSlow();
}

} // namespace vz::cli

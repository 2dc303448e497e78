#include "app/core/com_thread_link.h"

#include "link/port_list.h"
#include "link/port_names.h"

#include <cctype>

namespace vz {

namespace {

// " (do this)" as a sentence of its own: "do this".
std::string TrimAdvice(std::string text) {
    if (text.starts_with(" (") && text.ends_with(")")) text = text.substr(2, text.size() - 3);
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace

std::string LinkFailureText(const LinkFailure& failure, bool lost, std::string* advice) {
    if (advice)
        *advice = failure.accessDenied ? TrimAdvice(PortAccessAdvice(failure.portName)) : std::string();
    return (lost ? "Lost the port " : std::string(kOpenFailureText)) + failure.portName + ": " +
           failure.reason;
}

TComThreadLink::TComThreadLink() = default;

TComThreadLink::TComThreadLink(std::unique_ptr<PortBackend> backend) : thread_(std::move(backend)) {}

std::string TComThreadLink::PortName() const {
    return path_.empty() ? PlatformComDeviceName(port_) : path_;
}

} // namespace vz

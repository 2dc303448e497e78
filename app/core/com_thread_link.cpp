#include "app/core/com_thread_link.h"

#include "link/port_list.h"
#include "link/port_names.h"

namespace vz {

std::string LinkFailureText(const LinkFailure& failure, bool lost, std::string* advice) {
    if (advice) *advice = failure.accessDenied ? PortAccessAdvice(failure.portName) : std::string();
    return (lost ? "Lost the port " : std::string(kOpenFailureText)) + failure.portName + ": " +
           failure.reason;
}

TComThreadLink::TComThreadLink() = default;

TComThreadLink::TComThreadLink(std::unique_ptr<PortBackend> backend) : thread_(std::move(backend)) {}

std::string TComThreadLink::PortName() const {
    return path_.empty() ? PlatformComDeviceName(port_) : path_;
}

} // namespace vz

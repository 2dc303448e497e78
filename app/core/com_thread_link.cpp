#include "app/core/com_thread_link.h"

#include "link/port_names.h"

namespace vz {

TComThreadLink::TComThreadLink() = default;

TComThreadLink::TComThreadLink(std::unique_ptr<PortBackend> backend) : thread_(std::move(backend)) {}

std::string TComThreadLink::PortName() const {
    return path_.empty() ? PlatformComDeviceName(port_) : path_;
}

} // namespace vz

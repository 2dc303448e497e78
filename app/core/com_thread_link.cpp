#include "app/core/com_thread_link.h"

namespace vz {

TComThreadLink::TComThreadLink() = default;

TComThreadLink::TComThreadLink(std::unique_ptr<PortBackend> backend) : thread_(std::move(backend)) {}

} // namespace vz

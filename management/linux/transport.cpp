// The Linux local transport: the computer this runs on, answered by the local provider.
#include "management/linux/transport.h"

#include "management/linux/local-provider.h"

namespace qv::posix {

management::Result<std::unique_ptr<management::TargetConnection>> LocalTransport::open(
    const std::string&, const Limits&, std::optional<management::Socket>) {
    return makeLocalProvider();
}

}  // namespace qv::posix

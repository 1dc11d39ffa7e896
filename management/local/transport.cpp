// The Linux local transport: the computer this runs on, answered by the local provider.
#include "management/local/transport.h"

#include "management/local/provider.h"

namespace qv::management::local {

management::Result<std::unique_ptr<management::TargetConnection>> LocalTransport::open(
    const std::string&, const Limits&, std::optional<management::Socket>) {
    return makeLocalProvider();
}

}  // namespace qv::management::local

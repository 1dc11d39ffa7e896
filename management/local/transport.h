// The Linux local transport: the computer this runs on, answered by the local provider.
#pragma once

#include "management/transport.h"

namespace qv::management::local {

// The computer this runs on, answered by the local provider from its own files and system calls.
class LocalTransport : public management::Transport {
public:
    const char* name() const override { return "Linux"; }
    unsigned port() const override { return 0; }
    management::Result<std::unique_ptr<management::TargetConnection>> open(
        const std::string& computer, const Limits& limits, std::optional<management::Socket> probed) override;
};

}  // namespace qv::management::local

// Other Linux computers reached over SSH: their files read over SFTP by the local provider.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "management/ssh/errors.h"
#include "management/transport.h"
#include "platform/platform.h"

namespace qv::management::ssh {

// Reaches `computer` as ~/.ssh/config names it (or the folder QV_SSH_DIR names), checks its host
// key against known_hosts, authenticates without a prompt and opens SFTP; the local provider then
// answers from the computer's files. Every wait is bounded by the limits.
class SshTransport : public management::Transport {
public:
    const char* name() const override { return "SSH"; }
    unsigned port() const override { return 22; }
    std::optional<management::ProbeAddress> probeAddress(const std::string& computer) override;
    management::Result<std::unique_ptr<management::TargetConnection>> open(
        const std::string& computer, const Limits& limits, std::optional<management::Socket> probed) override;
};

}  // namespace qv::management::ssh

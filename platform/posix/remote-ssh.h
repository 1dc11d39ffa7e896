// Other Linux computers reached over SSH: their files read over SFTP by the local provider.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "management/transport.h"
#include "platform/platform.h"

namespace qv::posix {

// Connection failures of the SSH transport, in a range of their own (customer-defined
// HRESULTs 0xA0530001...), so they never collide with the management service's numbers.
inline constexpr std::int32_t kErrSshHostKeyUnknown = static_cast<std::int32_t>(0xA0530001u);
inline constexpr std::int32_t kErrSshHostKeyChanged = static_cast<std::int32_t>(0xA0530002u);
inline constexpr std::int32_t kErrSshAuthentication = static_cast<std::int32_t>(0xA0530003u);
inline constexpr std::int32_t kErrSshNoSftp = static_cast<std::int32_t>(0xA0530004u);
inline constexpr std::int32_t kErrSshFailed = static_cast<std::int32_t>(0xA0530005u);
inline constexpr std::int32_t kErrSshLost = static_cast<std::int32_t>(0xA0530006u);

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

}  // namespace qv::posix

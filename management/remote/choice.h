// Which way another computer is reached from Linux: SSH or WS-Management.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "management/network.h"
#include "management/ssh/transport.h"
#include "management/transport.h"
#include "management/wsman/transport.h"

namespace qv::management::remote {

// A name with a Host entry of its own in the SSH configuration goes over SSH, one the winrm
// settings name over WS-Management. Any other name is probed on 5985, 5986 and 22 at once:
// WS-Management where 5985 or 5986 answers and Identify says Windows, else SSH where 22 answers,
// else the computer is unavailable.
class RemoteChoice : public management::Transport {
public:
    RemoteChoice(management::Network& network, ssh::SshTransport& ssh, management::wsman::WsmanTransport& wsman)
        : network_(network), ssh_(ssh), wsman_(wsman) {}
    const char* name() const override { return "remote"; }
    unsigned port() const override { return 0; }
    std::optional<management::ProbeAddress> probeAddress(const std::string&) override { return std::nullopt; }
    management::Result<std::unique_ptr<management::TargetConnection>> open(
        const std::string& computer, const Limits& limits, std::optional<management::Socket> probed) override;

private:
    management::Network& network_;
    ssh::SshTransport& ssh_;
    management::wsman::WsmanTransport& wsman_;
};

// True when the SSH configuration (QV_SSH_DIR's or ~/.ssh's config) has a Host pattern of its own
// that matches the name.
bool sshConfigNames(const std::string& computer);

}  // namespace qv::management::remote

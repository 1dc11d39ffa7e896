// The Linux transports: the local computer answered by the local provider, others over SSH.
#pragma once

#include "management/connector.h"
#include "management/transport.h"
#include "platform/platform.h"
#include "platform/posix/provider/source.h"
#include "platform/posix/remote-ssh.h"

namespace qv::posix {

// The computer this runs on, answered by the local provider from its own files and system calls.
class LocalTransport : public management::Transport {
public:
    const char* name() const override { return "Linux"; }
    unsigned port() const override { return 0; }
    management::Result<std::unique_ptr<management::TargetConnection>> open(
        const std::string& computer, const Limits& limits, std::optional<management::Socket> probed) override;
};

// Linux's connection policy: the local provider for this computer's names, SSH for every other.
struct PosixManagement {
    explicit PosixManagement(Identity& identity) : connector(identity, limits, network, local, ssh) {}
    Limits limits;
    management::SystemNetwork network;
    LocalTransport local;
    SshTransport ssh;
    management::Connector connector;
};

// The provider of the local computer's classes (see local-provider.cpp): the running system, or
// the system whose files lie under options.root.
std::unique_ptr<management::TargetConnection> makeLocalProvider();
std::unique_ptr<management::TargetConnection> makeLocalProvider(provider::Options options);

}  // namespace qv::posix

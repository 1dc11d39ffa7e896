// The Linux transports: the local computer answered by the local provider, others over SSH.
#pragma once

#include "management/connector.h"
#include "management/linux/transport.h"
#include "management/network.h"
#include "management/ssh/transport.h"
#include "platform/platform.h"

namespace qv::posix {

// Linux's connection policy: the local provider for this computer's names, SSH for every other.
struct PosixManagement {
    explicit PosixManagement(Identity& identity) : connector(identity, limits, network, local, ssh) {}
    Limits limits;
    management::SystemNetwork network;
    LocalTransport local;
    SshTransport ssh;
    management::Connector connector;
};

}  // namespace qv::posix

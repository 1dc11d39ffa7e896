// The Linux transports: the local computer answered by the local provider, others over SSH.
#pragma once

#include "management/connector.h"
#include "management/linux/transport.h"
#include "management/network.h"
#include "management/remote-posix.h"
#include "management/ssh/transport.h"
#include "management/wsman/transport.h"
#include "platform/platform.h"

namespace qv::posix {

// Linux's connection policy: the local provider for this computer's names, SSH or WS-Management
// for every other.
struct PosixManagement {
    explicit PosixManagement(Identity& identity) : connector(identity, limits, network, local, remote) {}
    Limits limits;
    management::SystemNetwork network;
    LocalTransport local;
    SshTransport ssh;
    management::wsman::WsmanTransport wsman;
    RemoteChoice remote{network, ssh, wsman};
    management::Connector connector;
};

}  // namespace qv::posix

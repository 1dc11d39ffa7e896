// The Linux program assembled: every POSIX platform service, and the transports that reach the
// local computer (the facts provider) and other computers (SSH or WS-Management).
#pragma once

#include "core/limits.h"
#include "management/connector.h"
#include "management/local/transport.h"
#include "management/network.h"
#include "management/remote/choice.h"
#include "management/ssh/transport.h"
#include "management/wsman/transport.h"
#include "platform/platform.h"
#include "platform/posix/console-posix.h"
#include "platform/posix/directory-posix.h"
#include "platform/posix/files-posix.h"
#include "platform/posix/identity-posix.h"
#include "platform/posix/registry-posix.h"
#include "platform/posix/system-posix.h"

namespace qv::programs {

// Linux's connection policy: the local provider for this computer's names, SSH or WS-Management
// for every other.
struct PosixProgram {
    posix::PosixConsole console;
    posix::PosixRegistry registry;
    posix::PosixIdentity identity;
    posix::PosixFileSystem files;
    posix::LdapDirectory directory;
    posix::PosixSystem system;
    Limits limits;
    management::SystemNetwork network;
    management::local::LocalTransport local;
    management::ssh::SshTransport ssh;
    management::wsman::WsmanTransport wsman;
    management::remote::RemoteChoice remote{network, ssh, wsman};
    management::Connector connector{identity, limits, network, local, remote};
    Platform platform() { return Platform{console, registry, identity, files, directory, system}; }
};

}  // namespace qv::programs

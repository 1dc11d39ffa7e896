// The real Windows platform: every Win32 back-end service, bundled.
#pragma once

#include "core/limits.h"
#include "management/connector.h"
#include "management/dcom/com.h"
#include "management/dcom/transport.h"
#include "management/network.h"
#include "platform/win32/console-win32.h"
#include "platform/win32/directory-win32.h"
#include "platform/win32/files-win32.h"
#include "platform/win32/identity-win32.h"
#include "platform/win32/registry-win32.h"
#include "platform/win32/system-win32.h"

namespace qv::win32 {

struct Win32Platform {
    Win32Console console;
    Win32Registry registry;
    Win32Identity identity;
    // COM for the process, before any connection.
    management::dcom::ProcessCom com;
    Win32FileSystem files;
    Limits limits;
    management::SystemNetwork network;
    management::dcom::DcomTransport localTransport{management::dcom::Reach::ThisComputer, files};
    management::dcom::DcomTransport remoteTransport{management::dcom::Reach::OtherComputer, files};
    management::Connector management{identity, limits, network, localTransport, remoteTransport};
    WldapDirectory directory;
    Win32System system;
    Platform platform() { return Platform{console, registry, identity, management, files, directory, system}; }
};

}  // namespace qv::win32

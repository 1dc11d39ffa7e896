// The Windows program assembled: every Win32 platform service, and DCOM to this computer and
// to others.
#pragma once

#include "core/limits.h"
#include "management/connector.h"
#include "management/dcom/com.h"
#include "management/dcom/transport.h"
#include "management/network.h"
#include "platform/platform.h"
#include "platform/win32/console-win32.h"
#include "platform/win32/directory-win32.h"
#include "platform/win32/files-win32.h"
#include "platform/win32/identity-win32.h"
#include "platform/win32/registry-win32.h"
#include "platform/win32/system-win32.h"

namespace qv::programs {

struct Win32Program {
    win32::Win32Console console;
    win32::Win32Registry registry;
    win32::Win32Identity identity;
    // COM for the process, before any connection.
    management::dcom::ProcessCom com;
    win32::Win32FileSystem files;
    Limits limits;
    management::SystemNetwork network;
    management::dcom::DcomTransport localTransport{management::dcom::Reach::ThisComputer, files};
    management::dcom::DcomTransport remoteTransport{management::dcom::Reach::OtherComputer, files};
    management::Connector connector{identity, limits, network, localTransport, remoteTransport};
    win32::WldapDirectory directory;
    win32::Win32System system;
    Platform platform() { return Platform{console, registry, identity, files, directory, system}; }
};

}  // namespace qv::programs

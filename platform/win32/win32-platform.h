// The real Windows platform: every Win32 back-end service, bundled.
#pragma once

#include "platform/win32/console-win32.h"
#include "platform/win32/directory-win32.h"
#include "platform/win32/files-win32.h"
#include "platform/win32/identity-win32.h"
#include "platform/win32/management-win32.h"
#include "platform/win32/registry-win32.h"
#include "platform/win32/system-win32.h"

namespace qv::win32 {

struct Win32Platform {
    Win32Console console;
    Win32Registry registry;
    Win32Identity identity;
    WmiManagement management{identity};
    Win32FileSystem files;
    WldapDirectory directory;
    Win32System system;
    Platform platform() { return Platform{console, registry, identity, management, files, directory, system}; }
};

}  // namespace qv::win32

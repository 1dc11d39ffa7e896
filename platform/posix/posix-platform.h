// The real Linux platform: every POSIX back-end service, bundled.
#pragma once

#include "platform/posix/console-posix.h"
#include "platform/posix/directory-posix.h"
#include "platform/posix/files-posix.h"
#include "platform/posix/identity-posix.h"
#include "platform/posix/management-posix.h"
#include "platform/posix/registry-posix.h"
#include "platform/posix/system-posix.h"

namespace qv::posix {

struct PosixPlatform {
    PosixConsole console;
    PosixRegistry registry;
    PosixIdentity identity;
    PosixManagement management{identity};
    PosixFileSystem files;
    LdapDirectory directory;
    PosixSystem system;
    Platform platform() { return Platform{console, registry, identity, management.connector, files, directory, system}; }
};

}  // namespace qv::posix

// Identity of the local Linux computer and user.
#pragma once

#include <mutex>

#include "platform/local_names.h"
#include "platform/platform.h"

namespace qv::posix {

class PosixIdentity : public Identity {
public:
    bool computerName(std::string& out) override;
    bool userName(std::string& out) override;
    bool dnsDomain(std::string& out) override;
    bool documentsFolder(std::string& out) override;
    bool privilegeLevel(const std::string& user, std::int32_t& out) override;
    bool primaryDCName(std::string& out) override;
    bool version(VersionRecord& out) override;
    bool osNameOverride(std::string& out) override;
    bool isLocalComputer(const std::string& name) override;

private:
    // The host's names and addresses, looked up once (workers ask from several threads).
    std::once_flag namesLooked_;
    OwnNames own_;
};

// The documents folder from a user-dirs.dirs text ("XDG_DOCUMENTS_DIR=\"$HOME/Docs\""), or empty.
std::string documentsFromUserDirs(const std::string& userDirsText, const std::string& home);
// The computer name for a host name: the short name (up to the first dot), upper case.
std::string computerNameOf(const std::string& hostName);
// PRETTY_NAME from an os-release text, or empty.
std::string prettyNameFromOsRelease(const std::string& osReleaseText);

}  // namespace qv::posix

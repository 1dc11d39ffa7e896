// Identity and version of the local Windows computer and user.
#pragma once

#include <mutex>

#include "platform/local_names.h"
#include "platform/platform.h"

namespace qv::win32 {

// Texts come back in UTF-8, converted from the ANSI code page of the "A" calls (and from UTF-16
// for the network calls).
class Win32Identity : public Identity {
public:
    bool computerName(std::string& out) override;
    bool userName(std::string& out) override;
    bool dnsDomain(std::string& out) override;
    bool documentsFolder(std::string& out) override;
    // The account database's privilege of `user`; when the account database does not know the
    // user (a domain account on a member workstation) and `user` runs this process, the process
    // token answers: 2 for a member of Administrators, 1 for a member of Users.
    bool privilegeLevel(const std::string& user, std::int32_t& out) override;
    bool runsNotElevated() override;
    bool primaryDCName(std::string& out) override;
    bool version(VersionRecord& out) override;
    bool isLocalComputer(const std::string& name) override;

private:
    // The host's DNS names and adapter addresses, looked up once (workers ask from several threads).
    std::once_flag namesLooked_;
    OwnNames own_;
};

// The privilege the process token shows: 2 (Administrators), 1 (Users), false otherwise.
bool tokenPrivilegeLevel(std::int32_t& out);

}  // namespace qv::win32

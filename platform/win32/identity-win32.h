// Identity and version of the local Windows computer and user.
#pragma once

#include "platform/platform.h"

namespace qv::win32 {

class Win32Identity : public Identity {
public:
    bool computerName(std::string& out) override;
    bool userName(std::string& out) override;
    bool dnsDomain(std::string& out) override;
    bool documentsFolder(std::string& out) override;
    bool privilegeLevel(const std::string& user, std::int32_t& out) override;
    bool primaryDCName(std::string& out) override;
    bool version(VersionRecord& out) override;
};

}  // namespace qv::win32

// The directory of a domain controller through wldap32.
#pragma once

#include "platform/platform.h"

namespace qv::win32 {

class WldapDirectory : public Directory {
public:
    bool defaultNamingContext(const std::string& server, std::string& namingContext, std::string& why) override;
    bool searchComputers(const std::string& server, const std::string& base,
                         std::vector<std::optional<std::string>>& names, std::string& why) override;
};

}  // namespace qv::win32

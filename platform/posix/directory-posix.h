// The directory layer on POSIX.
#pragma once

#include "platform/platform.h"

namespace qv::posix {

class LdapDirectory : public Directory {
public:
    bool defaultNamingContext(const std::string& server, std::string& namingContext, std::string& why) override;
    bool searchComputers(const std::string& server, const std::string& base,
                         std::vector<std::optional<std::string>>& names, std::string& why) override;
};

}  // namespace qv::posix

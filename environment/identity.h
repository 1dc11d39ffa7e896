// Identity and version queries of the local computer, as plain texts and numbers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace qv::environment {

std::string getLocalComputerName(Identity& identity);
std::string getLocalUserName(Identity& identity);
std::string getDnsDomainName(Identity& identity);
std::string getMyDocumentsPath(Identity& identity);
bool getUserPrivilegeLevel(Identity& identity, const std::string& user, std::int32_t& level);
std::string getPrimaryDCName(Identity& identity);
// major.minor.build, and the major version's digits in `majorVersion`. Both empty on failure.
std::string getOSVersionText(Identity& identity, std::string& majorVersion);
bool getOSPlatformId(Identity& identity, std::int32_t& id);
std::string getOSName(Identity& identity);
std::string getOSServicePack(Identity& identity);

// The name table by platform identifier, major and minor version.
std::string osNameFor(std::int32_t platformId, std::int32_t major, std::int32_t minor);

}  // namespace qv::environment

// Identity and version queries of the local computer, as plain texts and numbers.
#pragma once

#include <cstdint>
#include <string>

#include "core/context.h"

namespace qv::environment {

std::string getLocalComputerName(RunContext& ctx);
std::string getLocalUserName(RunContext& ctx);
std::string getDnsDomainName(RunContext& ctx);
std::string getMyDocumentsPath(RunContext& ctx);
bool getUserPrivilegeLevel(RunContext& ctx, std::int32_t& level);
std::string getPrimaryDCName(RunContext& ctx);
// major.minor.build; also sets env.osMajorVersion. Both empty on failure.
std::string getOSVersionText(RunContext& ctx);
bool getOSPlatformId(RunContext& ctx, std::int32_t& id);
std::string getOSName(RunContext& ctx);
std::string getOSServicePack(RunContext& ctx);

// The name table by platform identifier, major and minor version.
std::string osNameFor(std::int32_t platformId, std::int32_t major, std::int32_t minor);

}  // namespace qv::environment

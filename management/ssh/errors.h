// The SSH transport's connection failures: their numbers (the texts go with each failure).
#pragma once

#include <cstdint>

namespace qv::management::ssh {

// Connection failures of the SSH transport, in a range of their own (customer-defined
// HRESULTs 0xA0530001...), so they never collide with the management service's numbers.
inline constexpr std::int32_t kErrSshHostKeyUnknown = static_cast<std::int32_t>(0xA0530001u);
inline constexpr std::int32_t kErrSshHostKeyChanged = static_cast<std::int32_t>(0xA0530002u);
inline constexpr std::int32_t kErrSshAuthentication = static_cast<std::int32_t>(0xA0530003u);
inline constexpr std::int32_t kErrSshNoSftp = static_cast<std::int32_t>(0xA0530004u);
inline constexpr std::int32_t kErrSshFailed = static_cast<std::int32_t>(0xA0530005u);
inline constexpr std::int32_t kErrSshLost = static_cast<std::int32_t>(0xA0530006u);

}  // namespace qv::management::ssh

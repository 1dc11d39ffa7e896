// The WS-Management transport's own failures: their numbers (the texts go with each failure).
#pragma once

#include <cstdint>

namespace qv::management::wsman {

// In a range of their own (customer-defined HRESULTs 0xA0570001...), apart from the management
// service's numbers and the SSH transport's.
inline constexpr std::int32_t kErrWsmanNoCredentials = static_cast<std::int32_t>(0xA0570001u);
inline constexpr std::int32_t kErrWsmanAuthentication = static_cast<std::int32_t>(0xA0570002u);
inline constexpr std::int32_t kErrWsmanCertificate = static_cast<std::int32_t>(0xA0570003u);
inline constexpr std::int32_t kErrWsmanProtocol = static_cast<std::int32_t>(0xA0570004u);
inline constexpr std::int32_t kErrWsmanLost = static_cast<std::int32_t>(0xA0570005u);
inline constexpr std::int32_t kErrWsmanSettings = static_cast<std::int32_t>(0xA0570006u);
inline constexpr std::int32_t kErrWsmanNotWindows = static_cast<std::int32_t>(0xA0570007u);
inline constexpr std::int32_t kErrWsmanTls = static_cast<std::int32_t>(0xA0570008u);

// What DCOM gives for a refused login (E_ACCESSDENIED).
inline constexpr std::int32_t kErrAccessDenied = -2147024891;
inline const char* const kErrAccessDeniedText = "Access is denied. ";

}  // namespace qv::management::wsman

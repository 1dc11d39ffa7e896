// The error numbers and texts a connection fails with, whatever the transport.
#pragma once

#include <cstdint>

namespace qv::management {

// A name that cannot stand as a computer name.
inline constexpr std::int32_t kErrInvalidComputerName = -2147217406;
inline const char* const kErrInvalidComputerNameText = "The computer name is not valid. ";
// What a computer that cannot be reached gives: off, unknown, or no answer within the limits.
inline constexpr std::int32_t kErrRpcServerUnavailable = -2147023174;
inline const char* const kErrRpcServerUnavailableText = "The RPC server is unavailable. ";
// Win32_Share.Create's "unknown failure": the class, its method or the call is not to be had.
inline constexpr std::int32_t kShareUnknownFailure = 8;
// Win32_Share.Create's "access denied": computers whose shares the program never changes.
inline constexpr std::int32_t kShareAccessDenied = 2;
// A call that reached its time limit (WBEM_E_TIMED_OUT).
inline constexpr std::int32_t kErrTimedOut = -2147209215;
inline const char* const kErrTimedOutText = "Timed out ";
// A query the management service cannot parse (WBEM_E_INVALID_QUERY) or a class it does not know
// (WBEM_E_INVALID_CLASS).
inline constexpr std::int32_t kErrInvalidQuery = -2147217385;
inline const char* const kErrInvalidQueryText = "Invalid query ";
inline constexpr std::int32_t kErrInvalidClass = -2147217392;
inline const char* const kErrInvalidClassText = "Invalid class ";
// A file of the computer that no way of reaching its files can get to.
inline constexpr std::int32_t kErrFileUnreachable = -2147024893;
inline const char* const kErrFileUnreachableText = "The file cannot be reached ";

}  // namespace qv::management

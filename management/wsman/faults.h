// WS-Management's fault numbers mapped to the management service's numbers and texts that the
// Windows program shows for the same case.
#pragma once

#include <cstdint>
#include <span>

#include "management/result.h"
#include "management/wsman/answers.h"

namespace qv::management::wsman {

enum class FaultKind { Failed, TimedOut, Quota, EncodingLimit, InvalidContext, AccessDenied };

struct FaultRule {
    std::uint32_t code;   // f:WSManFault's Code
    const char* subcode;  // s:Subcode's local name, where the code alone may be missing
    FaultKind kind;
    std::int32_t number;  // what the call fails with
    const char* text;
};

// The table the README shows.
std::span<const FaultRule> faultRules();

FaultKind kindOf(const Fault& fault);
// The error a call fails with for a fault: the table's; a management-service number (0x8004xxxx)
// as it stands, with its own text; another number as it stands, with the fault's reason.
CallError callErrorOf(const Fault& fault);

}  // namespace qv::management::wsman

// The fault table of the WS-Management transport.
#include "management/wsman/faults.h"

#include "management/errors.h"
#include "management/wbem-texts.h"
#include "management/wsman/errors.h"

namespace qv::management::wsman {

namespace {

const FaultRule kRules[] = {
    // The class (the resource URI or the query's class) does not exist.
    {2150858752u, "DestinationUnreachable", FaultKind::Failed, kErrInvalidClass, kErrInvalidClassText},
    // The provider gave no answer within OperationTimeout: the class reached its limit.
    {2150858793u, "TimedOut", FaultKind::TimedOut, kErrTimedOut, kErrTimedOutText},
    // The user's quota of operations: waited out and tried once more, then this.
    {2150859174u, "QuotaLimit", FaultKind::Quota, static_cast<std::int32_t>(0x8004106Cu), "Quota violation "},
    // The answer would not fit MaxEnvelopeSize: asked again with the smaller size, then this.
    {2150858808u, "EncodingLimit", FaultKind::EncodingLimit, static_cast<std::int32_t>(0x80041044u), "Too much data "},
    // The enumeration's context expired or is unknown: enumerated once more from the start.
    {2150858770u, "InvalidEnumerationContext", FaultKind::InvalidContext, static_cast<std::int32_t>(0x80041001u),
     "Generic failure "},
    // The user may not read the class or call the method.
    {5u, "AccessDenied", FaultKind::AccessDenied, kErrAccessDenied, kErrAccessDeniedText},
    {0x80041003u, nullptr, FaultKind::AccessDenied, kErrAccessDenied, kErrAccessDeniedText},
};

const FaultRule* ruleOf(const Fault& f) {
    for (const FaultRule& r : kRules)
        if (f.code == r.code || f.outerCode == r.code) return &r;
    for (const FaultRule& r : kRules)
        if (r.subcode && f.subcode == r.subcode && !f.code) return &r;
    // The subcode speaks when the number is WS-Management's generic one.
    for (const FaultRule& r : kRules)
        if (r.subcode && f.subcode == r.subcode && (f.code & 0xFFFF0000u) != 0x80040000u) return &r;
    return nullptr;
}

}  // namespace

std::span<const FaultRule> faultRules() { return kRules; }

FaultKind kindOf(const Fault& fault) {
    const FaultRule* r = ruleOf(fault);
    return r ? r->kind : FaultKind::Failed;
}

CallError callErrorOf(const Fault& fault) {
    if ((fault.code & 0xFFFF0000u) == 0x80040000u && fault.code != 0x80041003u) {
        const auto number = static_cast<std::int32_t>(fault.code);
        const char* own = wbemText(number);
        CallError e = CallError::of(number, own ? own : fault.reason + " ");
        e.limitReached = fault.code == 0x80041069u;  // WBEM_E_TIMED_OUT
        return e;
    }
    if (const FaultRule* r = ruleOf(fault)) {
        CallError e = CallError::of(r->number, r->text);
        e.limitReached = r->kind == FaultKind::TimedOut;
        return e;
    }
    std::string reason = fault.reason.empty() ? "WS-Management fault " + std::to_string(fault.code) : fault.reason;
    return CallError::of(static_cast<std::int32_t>(fault.code ? fault.code : 0x80041001u), reason + " ");
}

}  // namespace qv::management::wsman

// The classes over DCOM: instances of a class, queries and counts, each read within the query limit.
#include <algorithm>
#include <chrono>

#include "management/dcom/bounded-call.h"
#include "management/dcom/connection.h"
#include "management/dcom/variant.h"
#include "management/errors.h"

namespace qv::management::dcom {

namespace {

// Return immediately, forward only: the result is read once, in the provider's order.
constexpr LONG kQueryFlags = WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY;
// How long one read of a result waits before the whole query's limit is looked at again.
constexpr DWORD kNextWaitMs = 5000;

using Clock = std::chrono::steady_clock;

// Reads an enumeration to its end, or until `deadline`: the instances into `out` (when given),
// their number as the answer. At the deadline it fails with the time-out error.
Result<std::int64_t> drain(IEnumWbemClassObject* items, Clock::time_point deadline, Instances* out) {
    std::int64_t count = 0;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return CallError::of(kErrTimedOut, kErrTimedOutText);
        ComRef<IWbemClassObject> object;
        ULONG got = 0;
        HRESULT hr = items->Next(static_cast<LONG>(std::min<long long>(left, kNextWaitMs)), 1, object.put(), &got);
        if (hr == WBEM_S_TIMEDOUT) continue;
        if (FAILED(hr)) return CallError{errorOf(hr)};
        if (got == 0 || !object) return count;
        ++count;
        if (out) out->push_back(instanceOf(object.get()));
    }
}

}  // namespace

Result<Instances> DcomConnection::instances(const std::string& className) {
    auto lock = providerLock();
    Instances out;
    if (Result<std::int64_t> n = enumerate(className, false, &out); !n) return n.error();
    return out;
}

Result<std::int64_t> DcomConnection::count(const std::string& className) {
    auto lock = providerLock();
    return enumerate(className, false, nullptr);
}

Result<Instances> DcomConnection::query(const std::string& wql) {
    auto lock = providerLock();
    Instances out;
    if (Result<std::int64_t> n = enumerate(wql, true, &out); !n) return n.error();
    return out;
}

// The whole call, issuing included, is bounded: the semi-synchronous call returns at once and
// each read of the result waits at most until the deadline.
Result<std::int64_t> DcomConnection::enumerate(const std::string& text, bool isQuery, Instances* out) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limits_.queryMs);
    ComRef<IEnumWbemClassObject> items;
    HRESULT hr = isQuery ? classes_->ExecQuery(Bstr("WQL").get(), Bstr(text).get(), kQueryFlags, nullptr, items.put())
                         : classes_->CreateInstanceEnum(Bstr(text).get(), kQueryFlags, nullptr, items.put());
    // The enumerator is a proxy of its own: without the blanket its reads would fall back to
    // the process's defaults.
    if (SUCCEEDED(hr)) hr = secureProxy(items.get());
    if (FAILED(hr)) return CallError{errorOf(hr)};
    Result<std::int64_t> n = drain(items.get(), deadline, out);
    if (!n) {
        CallError failed = n.error();
        failed.limitReached = failed.error.number == kErrTimedOut;
        return failed;
    }
    return n;
}

}  // namespace qv::management::dcom

// COM helpers of the DCOM transport: strings, the process's and the workers' apartments, proxy security.
#include "management/dcom/com.h"

#include "management/dcom/wbem-errors.h"
#include "platform/win32/text-win32.h"

namespace qv::management::dcom {

namespace {

// How many transports of this worker thread joined, and whether the outermost join initialised
// COM (and so releases it at the last leave).
thread_local int workerJoins = 0;
thread_local bool workerApartment = false;

}  // namespace

Bstr::Bstr(const std::string& utf8) {
    std::wstring wide = win32::toWide(utf8);
    b_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

ProcessCom::ProcessCom() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Already initialised in another mode: usable all the same, but not ours to release.
    ready_ = SUCCEEDED(hr);
    // The process's defaults: packet privacy (hardened DCOM servers refuse activation below
    // packet integrity) and impersonation. When the host set them first (RPC_E_TOO_LATE) each
    // proxy's own blanket still asks for the same.
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, EOAC_NONE, nullptr);
}

ProcessCom::~ProcessCom() {
    if (ready_) CoUninitialize();
}

void joinWorkerApartment() {
    if (workerJoins++ == 0) workerApartment = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
}

void leaveWorkerApartment() {
    if (workerJoins == 0 || --workerJoins > 0) return;
    if (workerApartment) CoUninitialize();
    workerApartment = false;
}

// Every proxy to the management service authenticates through Negotiate with the caller's own
// identity (Kerberos in a domain, so it works where NTLM is restricted) at packet privacy, which
// hardened DCOM servers require, and may impersonate the caller.
HRESULT secureProxy(IUnknown* proxy) {
    HRESULT hr = CoSetProxyBlanket(proxy, RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_DEFAULT, COLE_DEFAULT_PRINCIPAL,
                                   RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE, COLE_DEFAULT_AUTHINFO,
                                   EOAC_DEFAULT);
    // An object inside the process (Wine's provider) has no proxy to secure.
    return hr == E_NOINTERFACE ? S_OK : hr;
}

PlatformError errorOf(HRESULT hr) {
    const auto number = static_cast<std::int32_t>(hr);
    return {number, errorDescription(number)};
}

}  // namespace qv::management::dcom

// WMI through COM: the locator connects to \\computer\namespace with impersonation; queries and
// class enumerations give instances with their properties in the provider's order; the registry
// provider's methods and Win32_Share's Create and Delete go through ExecMethod.
#include "platform/win32/management-win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <objbase.h>
#include <wbemcli.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win32/host-win32.h"
#include "platform/win32/text-win32.h"
#include "platform/win32/variant-win32.h"
#include "platform/win32/wbem-errors-win32.h"

namespace qv::win32 {

namespace {

// Return immediately, forward only: the result is read once, in the provider's order.
constexpr LONG kQueryFlags = WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY;
// The registry provider's answer for a key without subkeys or values (some providers give it
// instead of success with an empty list).
constexpr LONG kNoMoreItems = 259;
// The port of the RPC endpoint mapper, through which every DCOM connection starts.
const char* const kManagementPort = "135";
// The class read once after binding root\cimv2 (a binding that names a class reads that one), to
// learn that calls go through at the chosen security level.
const char* const kConnectionCheckClass = "Win32_OperatingSystem";
// How long one read of a result waits before the whole query's limit is looked at again.
constexpr DWORD kNextWaitMs = 5000;

using Clock = std::chrono::steady_clock;

// Wine's management provider runs inside the process and is not safe for calls from several
// threads at once (two queries at the same time can crash it). There each call on a connection
// holds this lock; Windows' service takes calls from any number of threads.
std::unique_lock<std::mutex> providerLock() {
    static std::mutex wineProvider;
    return runningUnderWine() ? std::unique_lock<std::mutex>(wineProvider) : std::unique_lock<std::mutex>();
}

// Makes the calling thread a member of the multithreaded apartment for its lifetime in scope.
class MultithreadedApartment {
public:
    MultithreadedApartment() : ready_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~MultithreadedApartment() {
        if (ready_) CoUninitialize();
    }
    MultithreadedApartment(const MultithreadedApartment&) = delete;
    MultithreadedApartment& operator=(const MultithreadedApartment&) = delete;

private:
    bool ready_;
};

// Runs `call` on a thread of its own and waits for it at most `limitMs`. False when the limit
// came first: the call is left to end by itself and must own (through its captures) all it uses.
template <class Call>
bool finishesWithin(int limitMs, Call call) {
    struct Done {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };
    auto done = std::make_shared<Done>();
    auto task = std::make_unique<Call>(std::move(call));
    std::thread([done, task = std::move(task)]() mutable {
        {
            MultithreadedApartment apartment;
            (*task)();
            task.reset();  // what the call holds is released inside the apartment
        }
        std::lock_guard<std::mutex> lock(done->mutex);
        done->done = true;
        done->cv.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(done->mutex);
    return done->cv.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return done->done; });
}

// True when a TCP connection to the computer's management port succeeds within `limitMs`: a
// computer that is off, unknown or cut off by a firewall fails here at once or at the limit,
// instead of after the RPC layer's own, much longer, wait.
bool answersProbe(const std::string& computer, int limitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (getaddrinfo(computer.c_str(), kManagementPort, &hints, &found) != 0 || !found) return false;
    bool answered = false;
    for (addrinfo* a = found; a && !answered; a = a->ai_next) {
        SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) {
            answered = true;
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left > 0) {
                fd_set writable, failed;
                FD_ZERO(&writable);
                FD_ZERO(&failed);
                FD_SET(s, &writable);
                FD_SET(s, &failed);
                timeval wait{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
                answered = select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(s, &writable);
            }
        }
        closesocket(s);
    }
    freeaddrinfo(found);
    return answered;
}

// An owned COM interface pointer.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComRef& operator=(ComRef&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

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

// One instance: every non-system property, in the order the object names them. A property
// whose read fails stays in the list as unreadable.
Instance instanceOf(IWbemClassObject* object) {
    Instance inst;
    SAFEARRAY* names = nullptr;
    if (FAILED(object->GetNames(nullptr, WBEM_FLAG_ALWAYS | WBEM_FLAG_NONSYSTEM_ONLY, nullptr, &names)) || !names)
        return inst;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(names, 1, &lower);
    SafeArrayGetUBound(names, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        BSTR name = nullptr;
        if (FAILED(SafeArrayGetElement(names, &i, &name)) || !name) continue;
        std::string key = fromWide(name, SysStringLen(name));
        if (key.rfind("__", 0) != 0) {
            Variant value;
            CIMTYPE type = 0;
            Value v = SUCCEEDED(object->Get(name, 0, &value.v, &type, nullptr)) ? valueOfVariant(value.v, type)
                                                                                : Value::unreadable();
            inst.properties.emplace_back(std::move(key), std::move(v));
        }
        SysFreeString(name);
    }
    SafeArrayDestroy(names);
    return inst;
}

// Reads an enumeration to its end, or until `deadline`: the instances into `out` (when given),
// their number into `count`. At the deadline it fails with the time-out error.
bool drain(IEnumWbemClassObject* items, Clock::time_point deadline, Instances* out, std::int64_t& count,
           PlatformError& err) {
    count = 0;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            err = {kErrTimedOut, kErrTimedOutText};
            return false;
        }
        ComRef<IWbemClassObject> object;
        ULONG got = 0;
        HRESULT hr = items->Next(static_cast<LONG>(std::min<long long>(left, kNextWaitMs)), 1, object.put(), &got);
        if (hr == WBEM_S_TIMEDOUT) continue;
        if (FAILED(hr)) {
            err = errorOf(hr);
            return false;
        }
        if (got == 0 || !object) return true;
        ++count;
        if (out) out->push_back(instanceOf(object.get()));
    }
}

// Puts a value into a method's in-parameters; the VARIANT is freed after.
bool putParameter(IWbemClassObject* in, const wchar_t* name, VARIANT& value) {
    HRESULT hr = in->Put(name, 0, &value, 0);
    return SUCCEEDED(hr);
}

std::vector<std::string> textsOf(const Value& v) {
    std::vector<std::string> texts;
    if (v.kind == Value::Kind::List)
        for (const Value& item : v.list) texts.push_back(item.kind == Value::Kind::Text ? item.text : std::string());
    return texts;
}

class WmiTarget : public TargetService {
public:
    WmiTarget(ComRef<IWbemServices> services, int queryLimitMs) : services_(std::move(services)), limitMs_(queryLimitMs) {}
    ~WmiTarget() override {
        auto lock = providerLock();
        registryClass_.reset();
        viewContext_.reset();
        services_.reset();
    }

    bool instancesOf(const std::string& className, Instances& out, PlatformError& err) override {
        auto lock = providerLock();
        out.clear();
        std::int64_t count = 0;
        return enumerate(className, false, &out, count, err);
    }

    bool countInstances(const std::string& className, std::int64_t& count, PlatformError& err) override {
        auto lock = providerLock();
        count = 0;
        return enumerate(className, false, nullptr, count, err);
    }

    bool execQuery(const std::string& query, Instances& out, PlatformError& err) override {
        auto lock = providerLock();
        out.clear();
        std::int64_t count = 0;
        return enumerate(query, true, &out, count, err);
    }

    bool enumKey(std::uint32_t hive, const std::string& key, std::vector<std::string>& names) override {
        auto lock = providerLock();
        names.clear();
        Instance result;
        if (!callRegistry(L"EnumKey", hive, key, nullptr, result)) return false;
        names = textsOf(result.get("sNames"));
        return true;
    }

    bool enumValues(std::uint32_t hive, const std::string& key, std::vector<std::string>& names,
                    std::vector<std::int32_t>& types) override {
        auto lock = providerLock();
        names.clear();
        types.clear();
        Instance result;
        if (!callRegistry(L"EnumValues", hive, key, nullptr, result)) return false;
        names = textsOf(result.get("sNames"));
        const Value& t = result.get("Types");
        if (t.kind == Value::Kind::List)
            for (const Value& item : t.list) types.push_back(static_cast<std::int32_t>(item.integer));
        types.resize(names.size());
        return true;
    }

    bool getStringValue(std::uint32_t hive, const std::string& key, const std::string& valueName,
                        std::string& out) override {
        auto lock = providerLock();
        Instance result;
        if (!callRegistry(L"GetStringValue", hive, key, &valueName, result)) return false;
        const Value& v = result.get("sValue");
        if (v.kind != Value::Kind::Text) return false;
        out = v.text;
        return true;
    }

    std::int32_t createShare(const std::string& path, const std::string& name, std::int32_t type,
                             const std::string& description) override {
        auto lock = providerLock();
        // A method call on a class the provider lacks can bring the process down: the class
        // must be there first.
        ComRef<IWbemClassObject> shareClass;
        if (FAILED(boundedMethod("Win32_Share", nullptr, nullptr, shareClass)) || !shareClass) return kShareUnknownFailure;
        ComRef<IWbemClassObject> signature, in;
        if (FAILED(shareClass->GetMethod(L"Create", 0, signature.put(), nullptr)) || !signature ||
            FAILED(signature->SpawnInstance(0, in.put())) || !in)
            return kShareUnknownFailure;
        Variant vPath, vName, vType, vDescription;
        vPath.v.vt = VT_BSTR;
        vPath.v.bstrVal = Bstr(path).release();
        vName.v.vt = VT_BSTR;
        vName.v.bstrVal = Bstr(name).release();
        vType.v.vt = VT_I4;
        vType.v.lVal = type;
        vDescription.v.vt = VT_BSTR;
        vDescription.v.bstrVal = Bstr(description).release();
        // MaximumAllowed is not given: no limit. The share is never made open to everyone: without
        // its security descriptor it is not made at all.
        Variant vAccess;
        vAccess.v.vt = VT_UNKNOWN;
        if (!administratorsReadOnly(vAccess.v.punkVal)) return kShareUnknownFailure;
        if (!putParameter(in.get(), L"Path", vPath.v) || !putParameter(in.get(), L"Name", vName.v) ||
            !putParameter(in.get(), L"Type", vType.v) || !putParameter(in.get(), L"Description", vDescription.v) ||
            !putParameter(in.get(), L"Access", vAccess.v))
            return kShareUnknownFailure;
        ComRef<IWbemClassObject> result;
        if (FAILED(boundedMethod("Win32_Share", L"Create", in.get(), result)) || !result) return kShareUnknownFailure;
        const Value& rv = instanceOf(result.get()).get("ReturnValue");
        return rv.kind == Value::Kind::Int ? static_cast<std::int32_t>(rv.integer) : kShareUnknownFailure;
    }

    // A new instance of a class of the target's namespace.
    bool spawn(const char* className, ComRef<IWbemClassObject>& out) {
        ComRef<IWbemClassObject> cls;
        if (FAILED(boundedMethod(className, nullptr, nullptr, cls)) || !cls) return false;
        return SUCCEEDED(cls->SpawnInstance(0, out.put())) && out;
    }

    // A Win32_SecurityDescriptor whose one access entry lets the target's BUILTIN\Administrators
    // read (the share permission "Read"); everyone else is refused. The caller owns `out`.
    bool administratorsReadOnly(IUnknown*& out) {
        out = nullptr;
        BYTE sid[SECURITY_MAX_SID_SIZE] = {};
        DWORD sidSize = sizeof sid;
        if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize)) return false;
        ComRef<IWbemClassObject> trustee, ace, descriptor;
        if (!spawn("Win32_Trustee", trustee) || !spawn("Win32_ACE", ace) ||
            !spawn("Win32_SecurityDescriptor", descriptor))
            return false;

        Variant vSid, vSidLength;
        vSid.v.vt = VT_ARRAY | VT_UI1;
        vSid.v.parray = SafeArrayCreateVector(VT_UI1, 0, sidSize);
        if (!vSid.v.parray) return false;
        void* bytes = nullptr;
        if (FAILED(SafeArrayAccessData(vSid.v.parray, &bytes))) return false;
        std::memcpy(bytes, sid, sidSize);
        SafeArrayUnaccessData(vSid.v.parray);
        vSidLength.v.vt = VT_I4;
        vSidLength.v.lVal = static_cast<LONG>(sidSize);
        if (!putParameter(trustee.get(), L"SID", vSid.v) || !putParameter(trustee.get(), L"SidLength", vSidLength.v))
            return false;

        constexpr LONG kShareRead = 0x1200A9;  // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
        constexpr LONG kAccessAllowed = 0, kNoInheritance = 0, kDaclPresent = 0x4;
        Variant vMask, vFlags, vType, vTrustee;
        vMask.v.vt = VT_I4;
        vMask.v.lVal = kShareRead;
        vFlags.v.vt = VT_I4;
        vFlags.v.lVal = kNoInheritance;
        vType.v.vt = VT_I4;
        vType.v.lVal = kAccessAllowed;
        vTrustee.v.vt = VT_UNKNOWN;
        vTrustee.v.punkVal = trustee.get();
        trustee->AddRef();
        if (!putParameter(ace.get(), L"AccessMask", vMask.v) || !putParameter(ace.get(), L"AceFlags", vFlags.v) ||
            !putParameter(ace.get(), L"AceType", vType.v) || !putParameter(ace.get(), L"Trustee", vTrustee.v))
            return false;

        Variant vDacl, vControl;
        vDacl.v.vt = VT_ARRAY | VT_UNKNOWN;
        vDacl.v.parray = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
        if (!vDacl.v.parray) return false;
        LONG index = 0;
        if (FAILED(SafeArrayPutElement(vDacl.v.parray, &index, ace.get()))) return false;  // adds its own reference
        vControl.v.vt = VT_I4;
        vControl.v.lVal = kDaclPresent;
        if (!putParameter(descriptor.get(), L"DACL", vDacl.v) ||
            !putParameter(descriptor.get(), L"ControlFlags", vControl.v))
            return false;
        out = descriptor.get();
        out->AddRef();
        return true;
    }

    bool deleteShare(const Instance& share) override {
        auto lock = providerLock();
        const Value& name = share.get("Name");
        if (name.kind != Value::Kind::Text) return false;
        ComRef<IWbemClassObject> shareClass;
        if (FAILED(boundedMethod("Win32_Share", nullptr, nullptr, shareClass)) || !shareClass) return false;
        // The instance's path: Win32_Share.Name="...", with backslashes and quotes escaped.
        std::string path = "Win32_Share.Name=\"";
        for (char c : name.text) {
            if (c == '\\' || c == '"') path += '\\';
            path += c;
        }
        path += '"';
        ComRef<IWbemClassObject> result;
        if (FAILED(boundedMethod(path, L"Delete", nullptr, result))) return false;
        if (!result) return true;
        const Value& rv = instanceOf(result.get()).get("ReturnValue");
        return rv.kind == Value::Kind::Int && rv.integer == 0;
    }

    // A call context naming the provider architecture selects the view; the required flag makes
    // a provider that cannot serve it refuse rather than answer from its own view.
    bool selectRegistryView(int bits) override {
        if (bits == 0) {
            viewContext_.reset();
            return true;
        }
        if (bits != 32 && bits != 64) return false;
        ComRef<IWbemContext> context;
        if (FAILED(CoCreateInstance(CLSID_WbemContext, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemContext,
                                    reinterpret_cast<void**>(context.put()))))
            return false;
        Variant architecture, required;
        architecture.v.vt = VT_I4;
        architecture.v.lVal = bits;
        required.v.vt = VT_BOOL;
        required.v.boolVal = VARIANT_TRUE;
        if (FAILED(context->SetValue(L"__ProviderArchitecture", 0, &architecture.v)) ||
            FAILED(context->SetValue(L"__RequiredArchitecture", 0, &required.v)))
            return false;
        viewContext_ = std::move(context);
        return true;
    }

private:
    // One class enumeration (`isQuery` false, `text` the class name) or one query, read to its end.
    // The whole call, issuing included, is bounded: the semi-synchronous call returns at once and
    // each read of the result waits at most until the deadline.
    bool enumerate(const std::string& text, bool isQuery, Instances* out, std::int64_t& count, PlatformError& err) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs_);
        ComRef<IEnumWbemClassObject> items;
        HRESULT hr = isQuery ? services_->ExecQuery(Bstr("WQL").get(), Bstr(text).get(), kQueryFlags, nullptr, items.put())
                             : services_->CreateInstanceEnum(Bstr(text).get(), kQueryFlags, nullptr, items.put());
        // The enumerator is a proxy of its own: without the blanket its reads would fall back to
        // the process's defaults.
        if (SUCCEEDED(hr)) hr = secureProxy(items.get());
        if (FAILED(hr)) {
            err = errorOf(hr);
            return false;
        }
        std::int64_t n = 0;
        if (!drain(items.get(), deadline, out, n, err)) {
            if (err.number == kErrTimedOut) reachedLimit();
            if (out) out->clear();
            return false;
        }
        count += n;
        return true;
    }

    // Calls a method (or reads a class object) on its own thread, bounded by the query limit.
    // The thread holds its own references, so a call that outlives the limit ends harmlessly.
    HRESULT boundedMethod(const std::string& objectPath, const wchar_t* method, IWbemClassObject* in,
                          ComRef<IWbemClassObject>& result, IWbemContext* context = nullptr) {
        struct Call {
            IWbemServices* services = nullptr;
            IWbemClassObject* in = nullptr;
            IWbemContext* context = nullptr;
            IWbemClassObject* out = nullptr;
            HRESULT hr = WBEM_E_FAILED;
            ~Call() {
                if (services) services->Release();
                if (in) in->Release();
                if (context) context->Release();
                if (out) out->Release();
            }
        };
        auto call = std::make_shared<Call>();
        call->services = services_.get();
        call->services->AddRef();
        if (in) {
            call->in = in;
            in->AddRef();
        }
        if (context) {
            call->context = context;
            context->AddRef();
        }
        const std::wstring methodName = method ? method : L"";
        const std::string path = objectPath;
        bool finished = finishesWithin(limitMs_, [call, methodName, path] {
            if (methodName.empty())
                call->hr = call->services->GetObject(Bstr(path).get(), 0, nullptr, &call->out, nullptr);
            else {
                BSTR name = SysAllocString(methodName.c_str());
                call->hr = call->services->ExecMethod(Bstr(path).get(), name, 0, call->context, call->in, &call->out,
                                                     nullptr);
                SysFreeString(name);
            }
        });
        if (!finished) {
            reachedLimit();
            return static_cast<HRESULT>(WBEM_E_TIMED_OUT);
        }
        if (SUCCEEDED(call->hr) && call->out) {
            *result.put() = call->out;
            call->out = nullptr;
        }
        return call->hr;
    }

    // The registry provider's class, read once; false when the namespace has none.
    bool bindRegistry() {
        if (registryClass_) return true;
        HRESULT hr = boundedMethod("StdRegProv", nullptr, nullptr, registryClass_);
        if (FAILED(hr) || !registryClass_) {
            registryClass_.reset();
            return false;
        }
        return true;
    }

    // Calls a StdRegProv method with the hive, the key and (for GetStringValue) the value name;
    // true when it answered 0 (or "no more items" for a key with nothing under it), with its
    // out-parameters in `result`.
    bool callRegistry(const wchar_t* method, std::uint32_t hive, const std::string& key, const std::string* valueName,
                      Instance& result) {
        if (!bindRegistry()) return false;
        ComRef<IWbemClassObject> signature, in;
        if (FAILED(registryClass_->GetMethod(method, 0, signature.put(), nullptr)) || !signature ||
            FAILED(signature->SpawnInstance(0, in.put())) || !in)
            return false;
        Variant vHive, vKey, vValue;
        // The provider takes the hive as a signed 32-bit number.
        vHive.v.vt = VT_I4;
        vHive.v.lVal = static_cast<LONG>(hive);
        vKey.v.vt = VT_BSTR;
        vKey.v.bstrVal = Bstr(key).release();
        if (!putParameter(in.get(), L"hDefKey", vHive.v) || !putParameter(in.get(), L"sSubKeyName", vKey.v)) return false;
        if (valueName) {
            vValue.v.vt = VT_BSTR;
            vValue.v.bstrVal = Bstr(*valueName).release();
            if (!putParameter(in.get(), L"sValueName", vValue.v)) return false;
        }
        ComRef<IWbemClassObject> out;
        HRESULT hr = boundedMethod("StdRegProv", method, in.get(), out, viewContext_.get());
        if (FAILED(hr) || !out) return false;
        result = instanceOf(out.get());
        const Value& rv = result.get("ReturnValue");
        return rv.kind == Value::Kind::Int && (rv.integer == 0 || rv.integer == kNoMoreItems);
    }

    ComRef<IWbemServices> services_;
    int limitMs_;  // the limit of one whole query or provider call
    ComRef<IWbemClassObject> registryClass_;
    ComRef<IWbemContext> viewContext_;  // the selected registry view; none for the provider's own
};

}  // namespace

// Whether this thread's worker start initialised COM (and so releases it at its end).
thread_local bool workerApartment = false;

WmiManagement::WmiManagement(Identity& identity) : identity_(identity) {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Already initialised in another mode: usable all the same, but not ours to release.
    comReady_ = SUCCEEDED(hr);
    // The process's defaults: packet privacy (hardened DCOM servers refuse activation below
    // packet integrity) and impersonation. When the host set them first (RPC_E_TOO_LATE) each
    // proxy's own blanket still asks for the same.
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, EOAC_NONE, nullptr);
    WSADATA data;
    socketsReady_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WmiManagement::~WmiManagement() {
    if (socketsReady_) WSACleanup();
    if (comReady_) CoUninitialize();
}

void WmiManagement::beginWorker() { workerApartment = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }

void WmiManagement::endWorker() {
    if (workerApartment) CoUninitialize();
    workerApartment = false;
}

std::unique_ptr<TargetService> WmiManagement::connect(const std::string& computer, const std::string& namespacePath,
                                                      PlatformError& err) {
    if (!isUsableComputerName(computer)) {
        err = {kErrInvalidComputerName, kErrInvalidComputerNameText};
        return nullptr;
    }
    // A computer that does not answer on the management port is reported as one that is off,
    // without the RPC layer's long wait. The local computer is never probed.
    // Any name of the local computer (its DNS name, an address of its own) binds as "." does: a
    // local connection, which needs neither DCOM over the network nor the firewall's consent.
    const bool local = identity_.isLocalComputer(computer);
    if (!local && !answersProbe(computer, limits.probeMs)) {
        err = {kErrRpcServerUnavailable, kErrRpcServerUnavailableText};
        return nullptr;
    }
    // "root\default:StdRegProv" names the namespace and the class to bind in it.
    const std::size_t colon = namespacePath.find(':');
    const std::string space = namespacePath.substr(0, colon);
    const std::string className = colon == std::string::npos ? std::string() : namespacePath.substr(colon + 1);

    // The binding runs on a thread of its own so that the program's limit holds on top of the
    // management service's own maximum wait; a binding that ends after the limit releases what
    // it got by itself.
    struct Binding {
        IWbemServices* services = nullptr;
        HRESULT hr = WBEM_E_FAILED;
        ~Binding() {
            if (services) services->Release();
        }
    };
    auto binding = std::make_shared<Binding>();
    const std::string path = "\\\\" + (local ? std::string(".") : computer) + "\\" + space;
    auto lock = providerLock();
    const std::string probe =
        !className.empty() ? className : _stricmp(space.c_str(), "root\\cimv2") == 0 ? kConnectionCheckClass : "";
    bool finished = finishesWithin(limits.connectMs, [binding, path, probe] {
        ComRef<IWbemLocator> locator;
        HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      reinterpret_cast<void**>(locator.put()));
        ComRef<IWbemServices> services;
        if (SUCCEEDED(hr))
            hr = locator->ConnectServer(Bstr(path).get(), nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT,
                                        nullptr, nullptr, services.put());
        if (SUCCEEDED(hr) && !services) hr = WBEM_E_FAILED;
        if (SUCCEEDED(hr)) hr = secureProxy(services.get());
        // One call at the chosen security: a computer that accepts the binding but refuses calls
        // at that level (or through that authentication) fails here as a failed connection,
        // rather than as a connected computer whose every section is empty.
        if (SUCCEEDED(hr) && !probe.empty()) {
            ComRef<IWbemClassObject> named;
            hr = services->GetObject(Bstr(probe).get(), 0, nullptr, named.put(), nullptr);
            if (SUCCEEDED(hr) && !named) hr = WBEM_E_NOT_FOUND;
        }
        binding->hr = hr;
        if (SUCCEEDED(hr)) {
            binding->services = services.get();
            binding->services->AddRef();
        }
    });
    if (!finished) {
        err = {kErrRpcServerUnavailable, kErrRpcServerUnavailableText};
        return nullptr;
    }
    if (FAILED(binding->hr)) {
        err = errorOf(binding->hr);
        return nullptr;
    }
    ComRef<IWbemServices> services;
    *services.put() = binding->services;
    binding->services = nullptr;
    return std::make_unique<WmiTarget>(std::move(services), limits.queryMs);
}

}  // namespace qv::win32

// Method calls over DCOM: the registry provider (in the selected view) and Win32_Share's Create and Delete.
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <initializer_list>
#include <utility>

#include "management/dcom/bounded-call.h"
#include "management/dcom/connection.h"
#include "management/dcom/variant.h"
#include "management/errors.h"

namespace qv::management::dcom {

namespace {

// The registry provider's answer for a key without subkeys or values (some providers give it
// instead of success with an empty list).
constexpr LONG kNoMoreItems = 259;
const char* const kShareClass = "Win32_Share";

CallError failure(HRESULT hr) { return CallError{errorOf(hr)}; }

// A method that answered, but with a return value other than success.
CallError refused(const wchar_t* method, const Value& returned) {
    if (returned.kind != Value::Kind::Int) return failure(WBEM_E_FAILED);
    std::string name;
    for (const wchar_t* c = method; *c; ++c) name += static_cast<char>(*c);
    return CallError::of(static_cast<std::int32_t>(returned.integer),
                         name + " returned " + std::to_string(returned.integer) + " ");
}

// Puts values into a method's in-parameters, in order, up to the first that fails; the VARIANTs
// are freed after.
HRESULT putAll(IWbemClassObject* in, std::initializer_list<std::pair<const wchar_t*, VARIANT*>> values) {
    for (const auto& [name, value] : values) {
        HRESULT hr = in->Put(name, 0, value, 0);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// The in-parameters of `method` of the class object `cls`, to be filled.
Result<ComRef<IWbemClassObject>> parametersOf(IWbemClassObject* cls, const wchar_t* method) {
    ComRef<IWbemClassObject> signature, in;
    HRESULT hr = cls->GetMethod(method, 0, signature.put(), nullptr);
    if (SUCCEEDED(hr) && !signature) hr = WBEM_E_FAILED;
    if (SUCCEEDED(hr)) hr = signature->SpawnInstance(0, in.put());
    if (SUCCEEDED(hr) && !in) hr = WBEM_E_FAILED;
    if (FAILED(hr)) return failure(hr);
    return in;
}

void setText(Variant& v, const std::string& text) {
    v.v.vt = VT_BSTR;
    v.v.bstrVal = Bstr(text).release();
}

void setNumber(Variant& v, LONG n) {
    v.v.vt = VT_I4;
    v.v.lVal = n;
}

std::vector<std::string> textsOf(const Value& v) {
    std::vector<std::string> texts;
    if (v.kind == Value::Kind::List)
        for (const Value& item : v.list) texts.push_back(item.kind == Value::Kind::Text ? item.text : std::string());
    return texts;
}

// The registry provider's method behind each kind of registry call.
const wchar_t* methodOf(Ask::Kind kind) {
    return kind == Ask::Kind::Subkeys ? L"EnumKey" : kind == Ask::Kind::ValueNames ? L"EnumValues" : L"GetStringValue";
}

// How many registry calls are sent at once: a provider's calls mostly wait for the network, and
// more than a few at once only queue at the far end.
constexpr int kSenders = 8;

// A call context that selects the 32- or 64-bit registry view; null when it cannot be made.
ComRef<IWbemContext> viewContextFor(int bits) {
    ComRef<IWbemContext> context;
    if (FAILED(CoCreateInstance(CLSID_WbemContext, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemContext,
                                reinterpret_cast<void**>(context.put()))))
        return {};
    Variant architecture, required;
    architecture.v.vt = VT_I4;
    architecture.v.lVal = bits;
    required.v.vt = VT_BOOL;
    required.v.boolVal = VARIANT_TRUE;
    if (FAILED(context->SetValue(L"__ProviderArchitecture", 0, &architecture.v)) ||
        FAILED(context->SetValue(L"__RequiredArchitecture", 0, &required.v)))
        return {};
    return context;
}

}  // namespace

Result<ComRef<IWbemClassObject>> DcomConnection::call(IWbemServices* services, const std::string& objectPath,
                                                      const wchar_t* method, IWbemClassObject* in,
                                                      IWbemContext* context) {
    return boundedCall(services, objectPath, method, in, context, limits_.queryMs);
}

Result<std::vector<std::string>> DcomConnection::subkeys(std::uint32_t hive, const std::string& key) {
    Result<Instance> result = registryCall(Ask::Kind::Subkeys, hive, key, {});
    if (!result) return result.error();
    return textsOf(result->get("sNames"));
}

Result<RegistryValueNames> DcomConnection::valueNames(std::uint32_t hive, const std::string& key) {
    Result<Instance> result = registryCall(Ask::Kind::ValueNames, hive, key, {});
    if (!result) return result.error();
    RegistryValueNames values;
    values.names = textsOf(result->get("sNames"));
    const Value& t = result->get("Types");
    if (t.kind == Value::Kind::List)
        for (const Value& item : t.list) values.types.push_back(static_cast<std::int32_t>(item.integer));
    values.types.resize(values.names.size());
    return values;
}

Result<std::string> DcomConnection::stringValue(std::uint32_t hive, const std::string& key,
                                                const std::string& valueName) {
    Result<Instance> result = registryCall(Ask::Kind::StringValue, hive, key, valueName);
    if (!result) return result.error();
    const Value& v = result->get("sValue");
    if (v.kind != Value::Kind::Text) return failure(WBEM_E_TYPE_MISMATCH);
    return v.text;
}

Result<Instance> DcomConnection::registryCall(Ask::Kind kind, std::uint32_t hive, const std::string& key,
                                              const std::string& valueName) {
    if (std::shared_future<Result<Instance>> answer = sentAhead(kind, hive, key, valueName); answer.valid())
        return answer.get();
    auto lock = providerLock();
    return callRegistry(methodOf(kind), hive, key, kind == Ask::Kind::StringValue ? &valueName : nullptr,
                        viewContext_.get());
}

std::shared_future<Result<Instance>> DcomConnection::sentAhead(Ask::Kind kind, std::uint32_t hive,
                                                               const std::string& key, const std::string& valueName) {
    std::lock_guard<std::mutex> lock(sentMutex_);
    auto it = sent_.find(AskKey{static_cast<int>(kind), hive, key, valueName, viewBits_});
    return it == sent_.end() ? std::shared_future<Result<Instance>>() : it->second;
}

void DcomConnection::prefetch(const std::vector<Ask>& asks) {
    {
        // Bound before any thread sends: the binding is then only read.
        auto lock = providerLock();
        std::lock_guard<std::mutex> parameters(parametersMutex_);
        if (!bindRegistry()) return;
    }
    bool queued = false;
    for (const Ask& ask : asks) {
        if (ask.kind != Ask::Kind::Subkeys && ask.kind != Ask::Kind::ValueNames && ask.kind != Ask::Kind::StringValue)
            continue;
        const int bits = ask.view.value_or(viewBits_);
        IWbemContext* view = nullptr;
        if (bits != 0) {
            Result<ComRef<IWbemContext>*> context = contextOfView(bits);
            if (!context) continue;  // asked for when made, and refused there as it is today
            view = (*context)->get();
        }
        AskKey key{static_cast<int>(ask.kind), ask.hive, ask.text,
                   ask.kind == Ask::Kind::StringValue ? ask.valueName : std::string(), bits};
        std::lock_guard<std::mutex> lock(sentMutex_);
        if (sent_.count(key)) continue;
        Pending pending{key, view, {}};
        sent_.emplace(key, pending.answer.get_future().share());
        queue_.push_back(std::move(pending));
        queued = true;
    }
    if (!queued) return;
    startSenders();
    sentReady_.notify_all();
}

// A few threads, each in the multithreaded apartment, make the calls sent ahead in the order
// they were asked for; each call is bounded by the query limit as any other.
void DcomConnection::startSenders() {
    std::lock_guard<std::mutex> lock(sentMutex_);
    if (!senders_.empty()) return;
    for (int n = 0; n < kSenders; ++n)
        senders_.emplace_back([this] {
            MultithreadedApartment apartment;
            for (;;) {
                Pending pending;
                {
                    std::unique_lock<std::mutex> wait(sentMutex_);
                    sentReady_.wait(wait, [this] { return stopping_ || !queue_.empty(); });
                    if (stopping_) return;
                    pending = std::move(queue_.front());
                    queue_.pop_front();
                }
                const auto& [kind, hive, key, valueName, bits] = pending.key;
                const Ask::Kind asked = static_cast<Ask::Kind>(kind);
                auto provider = providerLock();
                pending.answer.set_value(callRegistry(methodOf(asked), hive, key,
                                                      asked == Ask::Kind::StringValue ? &valueName : nullptr,
                                                      pending.view));
            }
        });
}

// Calls still waiting are dropped: nothing asks for them once the connection ends.
void DcomConnection::stopSenders() {
    {
        std::lock_guard<std::mutex> lock(sentMutex_);
        stopping_ = true;
    }
    sentReady_.notify_all();
    for (std::thread& sender : senders_) sender.join();
    senders_.clear();
}

Result<ComRef<IWbemContext>*> DcomConnection::contextOfView(int bits) {
    if (bits != 32 && bits != 64) return failure(WBEM_E_INVALID_PARAMETER);
    ComRef<IWbemContext>& context = viewContexts_[bits == 64 ? 1 : 0];
    if (!context) {
        context = viewContextFor(bits);
        if (!context) return failure(WBEM_E_FAILED);
    }
    return &context;
}

// A call context naming the provider architecture selects the view; the required flag makes a
// provider that cannot serve it refuse rather than answer from its own view.
bool DcomConnection::selectRegistryView(int bits) {
    if (bits == 0) {
        viewContext_.reset();
        viewBits_ = 0;
        return true;
    }
    if (bits != 32 && bits != 64) return false;
    ComRef<IWbemContext> context = viewContextFor(bits);
    if (!context) return false;
    viewContext_ = std::move(context);
    viewBits_ = bits;
    return true;
}

// The provider's namespace is bound as a connection of its own was: root\default with a read of
// its class, within the connection limit. A binding that failed is not tried again: every
// registry call of the connection fails with its error. The class is then read once (again
// within the query limit) for the methods' signatures.
Result<Done> DcomConnection::bindRegistry() {
    if (registryFailed_) return *registryFailed_;
    if (!registry_) {
        Result<ComRef<IWbemServices>> bound =
            bindNamespace(server_ + "root\\default", kRegistryClass, limits_.connectMs);
        if (!bound) {
            registryFailed_ = bound.error();
            return bound.error();
        }
        registry_ = std::move(*bound);
    }
    if (registryClass_) return Done{};
    Result<ComRef<IWbemClassObject>> found = call(registry_.get(), kRegistryClass);
    if (!found) return found.error();
    if (!*found) return failure(WBEM_E_NOT_FOUND);
    registryClass_ = std::move(*found);
    return Done{};
}

// Calls a StdRegProv method with the hive, the key and (for GetStringValue) the value name; its
// out-parameters when it answered 0 (or "no more items" for a key with nothing under it).
Result<Instance> DcomConnection::callRegistry(const wchar_t* method, std::uint32_t hive, const std::string& key,
                                              const std::string* valueName, IWbemContext* view) {
    Result<ComRef<IWbemClassObject>> in = failure(WBEM_E_FAILED);
    {
        // The provider's class object is shared by the threads that send calls ahead.
        std::lock_guard<std::mutex> parameters(parametersMutex_);
        if (Result<Done> bound = bindRegistry(); !bound) return bound.error();
        in = parametersOf(registryClass_.get(), method);
        if (!in) return in.error();
        Variant vHive, vKey, vValue;
        // The provider takes the hive as a signed 32-bit number.
        setNumber(vHive, static_cast<LONG>(hive));
        setText(vKey, key);
        HRESULT hr = putAll(in->get(), {{L"hDefKey", &vHive.v}, {L"sSubKeyName", &vKey.v}});
        if (SUCCEEDED(hr) && valueName) {
            setText(vValue, *valueName);
            hr = putAll(in->get(), {{L"sValueName", &vValue.v}});
        }
        if (FAILED(hr)) return failure(hr);
    }
    Result<ComRef<IWbemClassObject>> out = call(registry_.get(), kRegistryClass, method, in->get(), view);
    if (!out) return out.error();
    if (!*out) return failure(WBEM_E_FAILED);
    Instance result = instanceOf(out->get());
    const Value& rv = result.get("ReturnValue");
    if (rv.kind != Value::Kind::Int || (rv.integer != 0 && rv.integer != kNoMoreItems)) return refused(method, rv);
    return result;
}

// A call that could not be made gives "unknown failure"; one that reached its limit fails so.
Result<std::int32_t> DcomConnection::createShare(const std::string& path, const std::string& name, std::int32_t type,
                                                 const std::string& description) {
    auto lock = providerLock();
    auto unknownFailure = [](const CallError& failed) -> Result<std::int32_t> {
        if (failed.limitReached) return failed;
        return kShareUnknownFailure;
    };
    // A method call on a class the provider lacks can bring the process down: the class must be
    // there first.
    Result<ComRef<IWbemClassObject>> shareClass = call(classes_.get(), kShareClass);
    if (!shareClass) return unknownFailure(shareClass.error());
    if (!*shareClass) return kShareUnknownFailure;
    Result<ComRef<IWbemClassObject>> in = parametersOf(shareClass->get(), L"Create");
    if (!in) return kShareUnknownFailure;
    Variant vPath, vName, vType, vDescription;
    setText(vPath, path);
    setText(vName, name);
    setNumber(vType, type);
    setText(vDescription, description);
    // MaximumAllowed is not given: no limit. The share is never made open to everyone: without
    // its security descriptor it is not made at all.
    Result<ComRef<IWbemClassObject>> descriptor = administratorsReadOnly();
    if (!descriptor) return unknownFailure(descriptor.error());
    Variant vAccess;
    vAccess.v.vt = VT_UNKNOWN;
    vAccess.v.punkVal = descriptor->get();
    vAccess.v.punkVal->AddRef();
    if (FAILED(putAll(in->get(), {{L"Path", &vPath.v}, {L"Name", &vName.v}, {L"Type", &vType.v},
                                  {L"Description", &vDescription.v}, {L"Access", &vAccess.v}})))
        return kShareUnknownFailure;
    Result<ComRef<IWbemClassObject>> result = call(classes_.get(), kShareClass, L"Create", in->get());
    if (!result) return unknownFailure(result.error());
    if (!*result) return kShareUnknownFailure;
    // The answer is kept while its value is read.
    const Instance answer = instanceOf(result->get());
    const Value& rv = answer.get("ReturnValue");
    return rv.kind == Value::Kind::Int ? static_cast<std::int32_t>(rv.integer) : kShareUnknownFailure;
}

Result<Done> DcomConnection::deleteShare(const Instance& share) {
    auto lock = providerLock();
    const Value& name = share.get("Name");
    if (name.kind != Value::Kind::Text) return failure(WBEM_E_INVALID_PARAMETER);
    Result<ComRef<IWbemClassObject>> shareClass = call(classes_.get(), kShareClass);
    if (!shareClass) return shareClass.error();
    if (!*shareClass) return failure(WBEM_E_NOT_FOUND);
    // The instance's path: Win32_Share.Name="...", with backslashes and quotes escaped.
    std::string path = "Win32_Share.Name=\"";
    for (char c : name.text) {
        if (c == '\\' || c == '"') path += '\\';
        path += c;
    }
    path += '"';
    Result<ComRef<IWbemClassObject>> result = call(classes_.get(), path, L"Delete");
    if (!result) return result.error();
    if (!*result) return Done{};
    const Instance answer = instanceOf(result->get());
    const Value& rv = answer.get("ReturnValue");
    if (rv.kind == Value::Kind::Int && rv.integer == 0) return Done{};
    return refused(L"Delete", rv);
}

// A new instance of a class of the computer's root\cimv2.
Result<ComRef<IWbemClassObject>> DcomConnection::spawn(const char* className) {
    Result<ComRef<IWbemClassObject>> cls = call(classes_.get(), className);
    if (!cls) return cls.error();
    if (!*cls) return failure(WBEM_E_NOT_FOUND);
    ComRef<IWbemClassObject> out;
    HRESULT hr = (*cls)->SpawnInstance(0, out.put());
    if (SUCCEEDED(hr) && !out) hr = WBEM_E_FAILED;
    if (FAILED(hr)) return failure(hr);
    return out;
}

// A Win32_SecurityDescriptor whose one access entry lets the computer's BUILTIN\Administrators
// read (the share permission "Read"); everyone else is refused.
Result<ComRef<IWbemClassObject>> DcomConnection::administratorsReadOnly() {
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof sid;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize))
        return failure(HRESULT_FROM_WIN32(GetLastError()));
    Result<ComRef<IWbemClassObject>> trustee = spawn("Win32_Trustee");
    if (!trustee) return trustee.error();
    Result<ComRef<IWbemClassObject>> ace = spawn("Win32_ACE");
    if (!ace) return ace.error();
    Result<ComRef<IWbemClassObject>> descriptor = spawn("Win32_SecurityDescriptor");
    if (!descriptor) return descriptor.error();

    Variant vSid, vSidLength;
    vSid.v.vt = VT_ARRAY | VT_UI1;
    vSid.v.parray = SafeArrayCreateVector(VT_UI1, 0, sidSize);
    if (!vSid.v.parray) return failure(WBEM_E_OUT_OF_MEMORY);
    void* bytes = nullptr;
    if (HRESULT hr = SafeArrayAccessData(vSid.v.parray, &bytes); FAILED(hr)) return failure(hr);
    std::memcpy(bytes, sid, sidSize);
    SafeArrayUnaccessData(vSid.v.parray);
    setNumber(vSidLength, static_cast<LONG>(sidSize));
    if (HRESULT hr = putAll(trustee->get(), {{L"SID", &vSid.v}, {L"SidLength", &vSidLength.v}}); FAILED(hr))
        return failure(hr);

    constexpr LONG kShareRead = 0x1200A9;  // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
    constexpr LONG kAccessAllowed = 0, kNoInheritance = 0, kDaclPresent = 0x4;
    Variant vMask, vFlags, vType, vTrustee;
    setNumber(vMask, kShareRead);
    setNumber(vFlags, kNoInheritance);
    setNumber(vType, kAccessAllowed);
    vTrustee.v.vt = VT_UNKNOWN;
    vTrustee.v.punkVal = trustee->get();
    vTrustee.v.punkVal->AddRef();
    if (HRESULT hr = putAll(ace->get(), {{L"AccessMask", &vMask.v}, {L"AceFlags", &vFlags.v},
                                         {L"AceType", &vType.v}, {L"Trustee", &vTrustee.v}});
        FAILED(hr))
        return failure(hr);

    Variant vDacl, vControl;
    vDacl.v.vt = VT_ARRAY | VT_UNKNOWN;
    vDacl.v.parray = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    if (!vDacl.v.parray) return failure(WBEM_E_OUT_OF_MEMORY);
    LONG index = 0;
    // The array takes a reference of its own.
    if (HRESULT hr = SafeArrayPutElement(vDacl.v.parray, &index, ace->get()); FAILED(hr)) return failure(hr);
    setNumber(vControl, kDaclPresent);
    if (HRESULT hr = putAll(descriptor->get(), {{L"DACL", &vDacl.v}, {L"ControlFlags", &vControl.v}}); FAILED(hr))
        return failure(hr);
    return std::move(*descriptor);
}

}  // namespace qv::management::dcom

// WMI through COM: the locator connects to \\computer\namespace with impersonation; queries and
// class enumerations give instances with their properties in the provider's order; the registry
// provider's methods and Win32_Share's Create and Delete go through ExecMethod.
#include "platform/win32/management-win32.h"

#include <windows.h>
#include <objbase.h>
#include <wbemcli.h>

#include <array>
#include <cctype>
#include <map>

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
// Win32_Share.Create's "unknown failure": the class or its method is not there.
constexpr std::int32_t kShareUnknownFailure = 8;

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

// Reads an enumeration to its end: the instances into `out` (when given), their number into `count`.
bool drain(IEnumWbemClassObject* items, Instances* out, std::int64_t& count, PlatformError& err) {
    count = 0;
    for (;;) {
        ComRef<IWbemClassObject> object;
        ULONG got = 0;
        HRESULT hr = items->Next(WBEM_INFINITE, 1, object.put(), &got);
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
    explicit WmiTarget(ComRef<IWbemServices> services) : services_(std::move(services)) {}

    bool instancesOf(const std::string& className, Instances& out, PlatformError& err) override {
        out.clear();
        std::int64_t count = 0;
        return enumerate(className, false, &out, count, err);
    }

    bool countInstances(const std::string& className, std::int64_t& count, PlatformError& err) override {
        count = 0;
        return enumerate(className, false, nullptr, count, err);
    }

    bool execQuery(const std::string& query, Instances& out, PlatformError& err) override {
        out.clear();
        std::int64_t count = 0;
        return enumerate(query, true, &out, count, err);
    }

    bool enumKey(std::uint32_t hive, const std::string& key, std::vector<std::string>& names) override {
        names.clear();
        Instance result;
        if (!callRegistry(L"EnumKey", hive, key, nullptr, result)) return false;
        names = textsOf(result.get("sNames"));
        return true;
    }

    bool enumValues(std::uint32_t hive, const std::string& key, std::vector<std::string>& names,
                    std::vector<std::int32_t>& types) override {
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
        Instance result;
        if (!callRegistry(L"GetStringValue", hive, key, &valueName, result)) return false;
        const Value& v = result.get("sValue");
        if (v.kind != Value::Kind::Text) return false;
        out = v.text;
        return true;
    }

    std::int32_t createShare(const std::string& path, const std::string& name, std::int32_t type,
                             const std::string& description) override {
        // A method call on a class the provider lacks can bring the process down: the class
        // must be there first.
        ComRef<IWbemClassObject> shareClass;
        if (FAILED(services_->GetObject(Bstr("Win32_Share").get(), 0, nullptr, shareClass.put(), nullptr)) || !shareClass)
            return kShareUnknownFailure;
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
        // MaximumAllowed is not given: no limit.
        if (!putParameter(in.get(), L"Path", vPath.v) || !putParameter(in.get(), L"Name", vName.v) ||
            !putParameter(in.get(), L"Type", vType.v) || !putParameter(in.get(), L"Description", vDescription.v))
            return kShareUnknownFailure;
        ComRef<IWbemClassObject> result;
        if (FAILED(services_->ExecMethod(Bstr("Win32_Share").get(), Bstr("Create").get(), 0, nullptr, in.get(),
                                         result.put(), nullptr)) ||
            !result)
            return kShareUnknownFailure;
        const Value& rv = instanceOf(result.get()).get("ReturnValue");
        return rv.kind == Value::Kind::Int ? static_cast<std::int32_t>(rv.integer) : kShareUnknownFailure;
    }

    bool deleteShare(const Instance& share) override {
        const Value& name = share.get("Name");
        if (name.kind != Value::Kind::Text) return false;
        ComRef<IWbemClassObject> shareClass;
        if (FAILED(services_->GetObject(Bstr("Win32_Share").get(), 0, nullptr, shareClass.put(), nullptr)) || !shareClass)
            return false;
        // The instance's path: Win32_Share.Name="...", with backslashes and quotes escaped.
        std::string path = "Win32_Share.Name=\"";
        for (char c : name.text) {
            if (c == '\\' || c == '"') path += '\\';
            path += c;
        }
        path += '"';
        ComRef<IWbemClassObject> result;
        if (FAILED(services_->ExecMethod(Bstr(path).get(), Bstr("Delete").get(), 0, nullptr, nullptr, result.put(),
                                         nullptr)))
            return false;
        if (!result) return true;
        const Value& rv = instanceOf(result.get()).get("ReturnValue");
        return rv.kind == Value::Kind::Int && rv.integer == 0;
    }

private:
    // One class enumeration (`isQuery` false, `text` the class name) or one query, read to its end.
    bool enumerate(const std::string& text, bool isQuery, Instances* out, std::int64_t& count, PlatformError& err) {
        ComRef<IEnumWbemClassObject> items;
        HRESULT hr = isQuery ? services_->ExecQuery(Bstr("WQL").get(), Bstr(text).get(), kQueryFlags, nullptr, items.put())
                             : services_->CreateInstanceEnum(Bstr(text).get(), kQueryFlags, nullptr, items.put());
        if (FAILED(hr)) {
            err = errorOf(hr);
            return false;
        }
        std::int64_t n = 0;
        if (!drain(items.get(), out, n, err)) return false;
        count += n;
        return true;
    }

    // The registry provider's class, read once; false when the namespace has none.
    bool bindRegistry() {
        if (registryClass_) return true;
        HRESULT hr = services_->GetObject(Bstr("StdRegProv").get(), 0, nullptr, registryClass_.put(), nullptr);
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
        BSTR methodName = SysAllocString(method);
        HRESULT hr = services_->ExecMethod(Bstr("StdRegProv").get(), methodName, 0, nullptr, in.get(), out.put(), nullptr);
        SysFreeString(methodName);
        if (FAILED(hr) || !out) return false;
        result = instanceOf(out.get());
        const Value& rv = result.get("ReturnValue");
        return rv.kind == Value::Kind::Int && (rv.integer == 0 || rv.integer == kNoMoreItems);
    }

    ComRef<IWbemServices> services_;
    ComRef<IWbemClassObject> registryClass_;
};

}  // namespace

WmiManagement::WmiManagement() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Already initialised in another mode: usable all the same, but not ours to release.
    comReady_ = SUCCEEDED(hr);
    // Impersonation for every proxy of the process; fails harmlessly when someone set it before.
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                         EOAC_NONE, nullptr);
}

WmiManagement::~WmiManagement() {
    if (comReady_) CoUninitialize();
}

std::unique_ptr<TargetService> WmiManagement::connect(const std::string& computer, const std::string& namespacePath,
                                                      PlatformError& err) {
    if (!isUsableComputerName(computer)) {
        err = {kErrInvalidComputerName, kErrInvalidComputerNameText};
        return nullptr;
    }
    // "root\default:StdRegProv" names the namespace and the class to bind in it.
    const std::size_t colon = namespacePath.find(':');
    const std::string space = namespacePath.substr(0, colon);
    const std::string className = colon == std::string::npos ? std::string() : namespacePath.substr(colon + 1);

    ComRef<IWbemLocator> locator;
    HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                  reinterpret_cast<void**>(locator.put()));
    if (FAILED(hr)) {
        err = errorOf(hr);
        return nullptr;
    }
    ComRef<IWbemServices> services;
    hr = locator->ConnectServer(Bstr("\\\\" + computer + "\\" + space).get(), nullptr, nullptr, nullptr, 0, nullptr,
                                nullptr, services.put());
    if (FAILED(hr) || !services) {
        err = errorOf(FAILED(hr) ? hr : static_cast<HRESULT>(WBEM_E_FAILED));
        return nullptr;
    }
    // Impersonation on the service's proxy. An in-process service has no proxy and refuses the
    // call, which changes nothing for it.
    CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (!className.empty()) {
        ComRef<IWbemClassObject> named;
        hr = services->GetObject(Bstr(className).get(), 0, nullptr, named.put(), nullptr);
        if (FAILED(hr) || !named) {
            err = errorOf(FAILED(hr) ? hr : static_cast<HRESULT>(WBEM_E_NOT_FOUND));
            return nullptr;
        }
    }
    return std::make_unique<WmiTarget>(std::move(services));
}

}  // namespace qv::win32

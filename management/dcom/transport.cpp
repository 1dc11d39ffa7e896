// The DCOM transport: binding a namespace with its first check call; the connection's lifetime and files.
#include "management/dcom/transport.h"

#include <memory>
#include <utility>

#include "management/dcom/bounded-call.h"
#include "management/dcom/connection.h"
#include "management/errors.h"

namespace qv::management::dcom {

namespace {

// The class read once after binding root\cimv2, to learn that calls go through at the chosen
// security level.
const char* const kConnectionCheckClass = "Win32_OperatingSystem";

}  // namespace

Result<ComRef<IWbemServices>> bindNamespace(const std::string& path, const std::string& checkClass, int limitMs) {
    struct Binding {
        IWbemServices* services = nullptr;
        HRESULT hr = WBEM_E_FAILED;
        ~Binding() {
            if (services) services->Release();
        }
    };
    auto binding = std::make_shared<Binding>();
    bool finished = finishesWithin(limitMs, [binding, path, checkClass] {
        ComRef<IWbemLocator> locator;
        HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      reinterpret_cast<void**>(locator.put()));
        ComRef<IWbemServices> services;
        if (SUCCEEDED(hr))
            hr = locator->ConnectServer(Bstr(path).get(), nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT,
                                        nullptr, nullptr, services.put());
        if (SUCCEEDED(hr) && !services) hr = WBEM_E_FAILED;
        if (SUCCEEDED(hr)) hr = secureProxy(services.get());
        if (SUCCEEDED(hr) && !checkClass.empty()) {
            ComRef<IWbemClassObject> named;
            hr = services->GetObject(Bstr(checkClass).get(), 0, nullptr, named.put(), nullptr);
            if (SUCCEEDED(hr) && !named) hr = WBEM_E_NOT_FOUND;
        }
        binding->hr = hr;
        if (SUCCEEDED(hr)) {
            binding->services = services.get();
            binding->services->AddRef();
        }
    });
    if (!finished) return CallError::of(kErrRpcServerUnavailable, kErrRpcServerUnavailableText);
    if (FAILED(binding->hr)) return CallError{errorOf(binding->hr)};
    ComRef<IWbemServices> services;
    *services.put() = binding->services;
    binding->services = nullptr;
    return services;
}

Result<std::unique_ptr<TargetConnection>> DcomTransport::open(const std::string& computer, const Limits& limits,
                                                               std::optional<Socket> probed) {
    // The probe only showed that the port answers: DCOM makes its own connections.
    probed.reset();
    const bool here = reach_ == Reach::ThisComputer;
    const std::string server = "\\\\" + (here ? std::string(".") : computer) + "\\";
    auto lock = providerLock();
    Result<ComRef<IWbemServices>> classes = bindNamespace(server + "root\\cimv2", kConnectionCheckClass,
                                                          limits.connectMs);
    if (!classes) return classes.error();
    return std::unique_ptr<TargetConnection>(
        std::make_unique<DcomConnection>(std::move(*classes), server, limits, files_, !here));
}

void DcomTransport::beginWorker() { joinWorkerApartment(); }

void DcomTransport::endWorker() { leaveWorkerApartment(); }

DcomConnection::DcomConnection(ComRef<IWbemServices> classes, std::string server, const Limits& limits,
                               FileSystem& files, bool throughShares)
    : classes_(std::move(classes)), server_(std::move(server)), limits_(limits), files_(files),
      throughShares_(throughShares) {}

DcomConnection::~DcomConnection() {
    // The threads that send calls ahead take the provider lock for each call: stopped first.
    stopSenders();
    auto lock = providerLock();
    registryClass_.reset();
    viewContext_.reset();
    for (ComRef<IWbemContext>& context : viewContexts_) context.reset();
    registry_.reset();
    classes_.reset();
}

Result<bool> DcomConnection::fileExists(const std::string& path) { return files_.fileExists(path); }

Result<FileFacts> DcomConnection::fileFacts(const std::string& path) { return fileFactsIn(files_, path); }

}  // namespace qv::management::dcom

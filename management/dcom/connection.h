// A DCOM connection to one computer: its classes, its registry provider, its shares and its files.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/limits.h"
#include "management/connection.h"
#include "management/dcom/com.h"

namespace qv::management::dcom {

// The registry provider's class, in root\default.
inline const char* const kRegistryClass = "StdRegProv";

// Binds `path` ("\\computer\namespace") with the locator and secures its proxy, then reads the
// class `checkClass` (none when empty) at the chosen security, all on a thread of its own within
// `limitMs`: a computer that accepts the binding but refuses calls at that level (or through that
// authentication) fails here, rather than as a connected computer whose every section is empty. A
// binding that ends after the limit fails as an unavailable computer and releases what it got by
// itself. The caller holds the provider lock.
Result<ComRef<IWbemServices>> bindNamespace(const std::string& path, const std::string& checkClass, int limitMs);

// The classes are root\cimv2's, bound when the connection opens; the registry provider is
// root\default's StdRegProv, bound on the first registry call.
class DcomConnection : public TargetConnection {
public:
    // `classes` is the computer's root\cimv2, bound and checked; `server` is "\\computer\" (or
    // "\\.\" for this computer), under which the registry provider's namespace is bound. `files`
    // is this computer's file layer: the file calls read it in place. `throughShares` for another
    // computer, whose files the inventory reads through its drive shares instead.
    DcomConnection(ComRef<IWbemServices> classes, std::string server, const Limits& limits, FileSystem& files,
                   bool throughShares);
    ~DcomConnection() override;
    DcomConnection(const DcomConnection&) = delete;
    DcomConnection& operator=(const DcomConnection&) = delete;

    Result<std::int64_t> count(const std::string& className) override;
    Result<Instances> instances(const std::string& className) override;
    Result<Instances> query(const std::string& wql) override;

    Result<std::vector<std::string>> subkeys(std::uint32_t hive, const std::string& key) override;
    Result<RegistryValueNames> valueNames(std::uint32_t hive, const std::string& key) override;
    Result<std::string> stringValue(std::uint32_t hive, const std::string& key, const std::string& valueName) override;
    bool selectRegistryView(int bits) override;

    Result<std::int32_t> createShare(const std::string& path, const std::string& name, std::int32_t type,
                                     const std::string& description) override;
    Result<Done> deleteShare(const Instance& share) override;

    // The file at its own path through this computer's file layer: used where the inventory takes
    // the computer for this one (for another computer it reads through the shares).
    Result<bool> fileExists(const std::string& path) override;
    Result<FileFacts> fileFacts(const std::string& path) override;
    bool filesThroughShares() const override { return throughShares_; }

    // The registry calls asked for ahead are made by a few threads at once; each call made later
    // takes its answer, which stays for the rest of the computer's inventory. Where the provider
    // takes one call at a time (Wine), the calls still run one by one under its lock.
    void prefetch(const std::vector<Ask>& asks) override;
    bool sendsAhead() const override { return true; }

private:
    // queries.cpp: one class enumeration (`isQuery` false, `text` the class name) or one query,
    // read to its end: the number of instances, each into `out` when given.
    Result<std::int64_t> enumerate(const std::string& text, bool isQuery, Instances* out);

    // methods.cpp: the registry provider, bound on first use; its method calls; share parts.
    Result<Done> bindRegistry();
    Result<Instance> callRegistry(const wchar_t* method, std::uint32_t hive, const std::string& key,
                                  const std::string* valueName, IWbemContext* view);
    Result<ComRef<IWbemClassObject>> spawn(const char* className);
    Result<ComRef<IWbemClassObject>> administratorsReadOnly();
    // A read of a class object or a method call on `services`, within the query limit.
    Result<ComRef<IWbemClassObject>> call(IWbemServices* services, const std::string& objectPath,
                                          const wchar_t* method = nullptr, IWbemClassObject* in = nullptr,
                                          IWbemContext* context = nullptr);

    // A registry call asked for ahead: what it is and the view it reads.
    using AskKey = std::tuple<int, std::uint32_t, std::string, std::string, int>;
    // The answer of a call asked for ahead, or null when it was not; a call not asked for is made.
    std::shared_future<Result<Instance>> sentAhead(Ask::Kind kind, std::uint32_t hive, const std::string& key,
                                                   const std::string& valueName);
    Result<Instance> registryCall(Ask::Kind kind, std::uint32_t hive, const std::string& key,
                                  const std::string& valueName);
    // The context of a view for calls sent ahead, made once per connection.
    Result<ComRef<IWbemContext>*> contextOfView(int bits);
    void startSenders();
    void stopSenders();

    ComRef<IWbemServices> classes_;
    std::string server_;
    Limits limits_;
    FileSystem& files_;
    bool throughShares_;
    ComRef<IWbemServices> registry_;          // root\default, once bound
    std::optional<CallError> registryFailed_;  // its binding failed: every registry call fails so
    ComRef<IWbemClassObject> registryClass_;
    ComRef<IWbemContext> viewContext_;  // the selected registry view; none for the provider's own
    int viewBits_ = 0;
    ComRef<IWbemContext> viewContexts_[2];  // the 32- and 64-bit views, made once for calls sent ahead

    // The calls sent ahead and the threads that make them.
    struct Pending {
        AskKey key;
        IWbemContext* view = nullptr;  // one of viewContexts_, null for the provider's own
        std::promise<Result<Instance>> answer;
    };
    std::mutex sentMutex_;
    std::condition_variable sentReady_;
    std::map<AskKey, std::shared_future<Result<Instance>>> sent_;
    std::deque<Pending> queue_;
    std::vector<std::thread> senders_;
    bool stopping_ = false;
    std::mutex parametersMutex_;  // the provider's class object, shared by the threads
};

}  // namespace qv::management::dcom

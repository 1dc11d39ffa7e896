// A connection to one computer's management service: its classes, its registry provider, its
// shares and its files. Every transport answers through this one interface.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "management/errors.h"
#include "management/result.h"
#include "platform/platform.h"

namespace qv::management {

// The value names of a registry key with their types, in the provider's order.
struct RegistryValueNames {
    std::vector<std::string> names;
    std::vector<std::int32_t> types;
};

// The file version (empty when none) and creation time (absent when unknown) of a file.
struct FileFacts {
    std::string version;
    std::optional<DateTime> created;
};

// The facts of a file read where it lies, through a file layer (the local computer's files).
FileFacts fileFactsIn(FileSystem& files, const std::string& path);

// A call the collector is about to make, named so that a connection that can keep several
// requests in flight may send it ahead; the call itself, made later, then takes its answer.
struct Ask {
    enum class Kind { Query, Subkeys, ValueNames, StringValue, File };
    Kind kind = Kind::Query;
    std::string text;  // the query, the registry key, or the file's path
    std::uint32_t hive = 0;
    std::string valueName;
    // The registry view the call reads (as selectRegistryView takes it); absent: the view
    // selected when prefetch is called.
    std::optional<int> view;

    static Ask query(std::string wql) { return {Kind::Query, std::move(wql), 0, {}, std::nullopt}; }
    static Ask subkeys(std::uint32_t hive, std::string key, std::optional<int> view = std::nullopt) {
        return {Kind::Subkeys, std::move(key), hive, {}, view};
    }
    static Ask valueNames(std::uint32_t hive, std::string key, std::optional<int> view = std::nullopt) {
        return {Kind::ValueNames, std::move(key), hive, {}, view};
    }
    static Ask stringValue(std::uint32_t hive, std::string key, std::string valueName,
                           std::optional<int> view = std::nullopt) {
        return {Kind::StringValue, std::move(key), hive, std::move(valueName), view};
    }
    static Ask file(std::string path) { return {Kind::File, std::move(path), 0, {}, std::nullopt}; }
};

// One connection is used by one thread at a time. Each call is bounded by the limits the
// connection was opened with; a call that reached its limit fails with limitReached.
class TargetConnection {
public:
    virtual ~TargetConnection() = default;

    // The classes: the number of instances, the instances of a class, a query ("Select * from
    // CLASS" with an optional "Where PROP = literal").
    virtual Result<std::int64_t> count(const std::string& className);
    virtual Result<Instances> instances(const std::string& className) = 0;
    virtual Result<Instances> query(const std::string& wql) = 0;

    // The registry provider (StdRegProv).
    virtual Result<std::vector<std::string>> subkeys(std::uint32_t hive, const std::string& key) = 0;
    virtual Result<RegistryValueNames> valueNames(std::uint32_t hive, const std::string& key) = 0;
    virtual Result<std::string> stringValue(std::uint32_t hive, const std::string& key, const std::string& valueName) = 0;
    // The registry view later registry-provider calls read: 64 or 32 for the 64-bit or 32-bit
    // view of a 64-bit Windows, 0 for the provider's own. False where the provider has no views.
    virtual bool selectRegistryView(int bits) { return bits == 0; }

    // Win32_Share.Create: 0 on success, another number on refusal (kShareUnknownFailure when the
    // call itself could not be made); Delete of one share instance found by a query.
    virtual Result<std::int32_t> createShare(const std::string& path, const std::string& name, std::int32_t type,
                                             const std::string& description) = 0;
    virtual Result<Done> deleteShare(const Instance& share) = 0;

    // The computer's own files, by the computer's own path ("C:\..."); a path whose drive cannot
    // be reached fails with kErrFileUnreachable.
    virtual Result<bool> fileExists(const std::string& path) = 0;
    virtual Result<FileFacts> fileFacts(const std::string& path) = 0;
    // True for a Windows computer reached over its management service alone: its files are read
    // through its drive shares (made with createShare when the administrative share does not
    // answer), and the file calls above are not used for it.
    virtual bool filesThroughShares() const { return false; }

    // Sends ahead the calls about to be made, without waiting for them; the order in which the
    // calls are then made, and what each answers, are those of calls made without it. A
    // connection with one request in flight at a time does nothing.
    virtual void prefetch(const std::vector<Ask>&) {}
    // True where prefetch sends anything: only then is it worth finding out what to ask for.
    virtual bool sendsAhead() const { return false; }
};

}  // namespace qv::management

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

    // The same calls in the form of a yes or no with the value through an argument, as callers
    // that only tell success from failure take them; on failure `err` holds the error and `out`
    // is left empty.
    bool countInstances(const std::string& className, std::int64_t& count, PlatformError& err);
    bool instancesOf(const std::string& className, Instances& out, PlatformError& err);
    bool execQuery(const std::string& wql, Instances& out, PlatformError& err);
    bool enumKey(std::uint32_t hive, const std::string& key, std::vector<std::string>& names);
    bool enumValues(std::uint32_t hive, const std::string& key, std::vector<std::string>& names,
                    std::vector<std::int32_t>& types);
    bool getStringValue(std::uint32_t hive, const std::string& key, const std::string& valueName, std::string& out);
};

}  // namespace qv::management

// The default count, the yes-or-no forms of a connection's calls, and file facts read in place.
#include "management/connection.h"

namespace qv::management {

namespace {

template <class T, class Out>
bool into(Result<T> r, Out& out, PlatformError* err) {
    if (!r) {
        if (err) *err = r.error().error;
        return false;
    }
    out = std::move(*r);
    return true;
}

}  // namespace

FileFacts fileFactsIn(FileSystem& files, const std::string& path) {
    FileFacts facts;
    std::string version;
    if (files.fileVersion(path, version)) facts.version = version;
    DateTime created;
    if (files.fileCreated(path, created)) facts.created = created;
    return facts;
}

Result<std::int64_t> TargetConnection::count(const std::string& className) {
    Result<Instances> all = instances(className);
    if (!all) return all.error();
    return static_cast<std::int64_t>(all->size());
}

bool TargetConnection::countInstances(const std::string& className, std::int64_t& n, PlatformError& err) {
    return into(count(className), n, &err);
}

bool TargetConnection::instancesOf(const std::string& className, Instances& out, PlatformError& err) {
    out.clear();
    return into(instances(className), out, &err);
}

bool TargetConnection::execQuery(const std::string& wql, Instances& out, PlatformError& err) {
    out.clear();
    return into(query(wql), out, &err);
}

bool TargetConnection::enumKey(std::uint32_t hive, const std::string& key, std::vector<std::string>& names) {
    return into(subkeys(hive, key), names, nullptr);
}

bool TargetConnection::enumValues(std::uint32_t hive, const std::string& key, std::vector<std::string>& names,
                                  std::vector<std::int32_t>& types) {
    Result<RegistryValueNames> r = valueNames(hive, key);
    if (!r) return false;
    names = std::move(r->names);
    types = std::move(r->types);
    return true;
}

bool TargetConnection::getStringValue(std::uint32_t hive, const std::string& key, const std::string& valueName,
                                      std::string& out) {
    return into(stringValue(hive, key, valueName), out, nullptr);
}

}  // namespace qv::management

// The default count of a connection, and file facts read in place.
#include "management/connection.h"

namespace qv::management {

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

}  // namespace qv::management

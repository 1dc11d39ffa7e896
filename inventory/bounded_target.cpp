// The bounded connection: limits reached are logged once per class and not waited for again.
#include "inventory/bounded_target.h"

#include "files/run_log.h"
#include "management/wql.h"
#include "platform/text.h"

namespace qv::inventory {

namespace {

const char* const kRegistryProvider = "StdRegProv";
const char* const kShareClass = "Win32_Share";

}  // namespace

std::string queryClass(const std::string& query) {
    std::optional<management::wql::Query> q = management::wql::parse(query);
    return q ? q->className : query;
}

std::string limitText(int milliseconds) {
    if (milliseconds % 1000 == 0) return std::to_string(milliseconds / 1000) + " s";
    return std::to_string(milliseconds) + " ms";
}

template <class Result, class Call>
Result BoundedTarget::bounded(const std::string& className, Call&& call, Result refused) {
    const std::string key = text::asciiUpper(className);
    if (ctx_.limitedClasses.count(key)) return refused;
    Result result = call();
    if (inner_.takeLimitReached() && ctx_.limitedClasses.insert(key).second)
        files::logLine(ctx_, ctx_.shownTarget + " Query Timed Out: " + className + " gave no answer within " +
                                 limitText(ctx_.platform.management.limits.queryMs) + "; inventory incomplete");
    return result;
}

bool BoundedTarget::countInstances(const std::string& className, std::int64_t& count, PlatformError& err) {
    err = {kErrTimedOut, kErrTimedOutText};
    return bounded(className, [&] { return inner_.countInstances(className, count, err); }, false);
}

bool BoundedTarget::instancesOf(const std::string& className, Instances& out, PlatformError& err) {
    err = {kErrTimedOut, kErrTimedOutText};
    return bounded(className, [&] { return inner_.instancesOf(className, out, err); }, false);
}

bool BoundedTarget::execQuery(const std::string& query, Instances& out, PlatformError& err) {
    err = {kErrTimedOut, kErrTimedOutText};
    return bounded(queryClass(query), [&] { return inner_.execQuery(query, out, err); }, false);
}

bool BoundedTarget::enumKey(std::uint32_t hive, const std::string& key, std::vector<std::string>& names) {
    return bounded(kRegistryProvider, [&] { return inner_.enumKey(hive, key, names); }, false);
}

bool BoundedTarget::enumValues(std::uint32_t hive, const std::string& key, std::vector<std::string>& names,
                               std::vector<std::int32_t>& types) {
    return bounded(kRegistryProvider, [&] { return inner_.enumValues(hive, key, names, types); }, false);
}

bool BoundedTarget::getStringValue(std::uint32_t hive, const std::string& key, const std::string& valueName,
                                   std::string& out) {
    return bounded(kRegistryProvider, [&] { return inner_.getStringValue(hive, key, valueName, out); }, false);
}

std::int32_t BoundedTarget::createShare(const std::string& path, const std::string& name, std::int32_t type,
                                        const std::string& description) {
    return bounded(kShareClass, [&] { return inner_.createShare(path, name, type, description); }, kShareUnknownFailure);
}

bool BoundedTarget::deleteShare(const Instance& share) {
    return bounded(kShareClass, [&] { return inner_.deleteShare(share); }, false);
}

}  // namespace qv::inventory

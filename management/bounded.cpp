// The bounded connection: limits reached are logged once per class and not waited for again.
#include "management/bounded.h"

#include "management/connector.h"
#include "management/errors.h"
#include "management/wql.h"
#include "management/wsman/errors.h"
#include "platform/text.h"

namespace qv::management {

namespace {

const char* const kRegistryProvider = "StdRegProv";
const char* const kShareClass = "Win32_Share";
// Files are read through the connection's file access, which has no class of its own.
const char* const kFiles = "CIM_DataFile";

// The class a "Select * from CLASS ..." query reads; the query itself when it has no such form.
std::string queryClass(const std::string& query) {
    std::optional<wql::Query> q = wql::parse(query);
    return q ? q->className : query;
}

// WBEM_E_ACCESS_DENIED, as the management service refuses a class to the user.
constexpr std::int32_t kErrWbemAccessDenied = -2147217405;

// The failures that leave a class unread although the computer has it: the user was refused it,
// or its answer could not be understood (malformed, past its bounds). A class the computer lacks
// and a registry key that is not there are ordinary and stay unlogged.
bool saysNothingOtherwise(const CallError& failed) {
    const std::int32_t n = failed.error.number;
    return n == wsman::kErrAccessDenied || n == kErrWbemAccessDenied || n == wsman::kErrWsmanProtocol;
}

std::string withoutTrailingBlanks(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// "60 s" for whole seconds, else "250 ms".
std::string limitText(int milliseconds) {
    if (milliseconds % 1000 == 0) return std::to_string(milliseconds / 1000) + " s";
    return std::to_string(milliseconds) + " ms";
}

}  // namespace

template <class T, class Call>
Result<T> BoundedConnection::bounded(const std::string& className, Call&& call) {
    if (lost_) return *lost_;
    const std::string key = text::asciiUpper(className);
    if (limitedClasses_.count(key)) return CallError{{kErrTimedOut, kErrTimedOutText}, true};
    Result<T> result = call();
    if (result) return result;
    const CallError& failed = result.error();
    if (failed.limitReached && limitedClasses_.insert(key).second)
        report_.log(shownTarget_ + " Query Timed Out: " + className + " gave no answer within " + limitText(queryMs_) +
                    "; inventory incomplete");
    else if (!failed.limitReached && !failed.connectionLost && saysNothingOtherwise(failed) &&
             failedClasses_.insert(key).second)
        report_.log(shownTarget_ + " Query Failed: " + text::shownSafely(className) + " could not be read: Err#" +
                    std::to_string(failed.error.number) + " " +
                    text::shownSafely(withoutTrailingBlanks(failed.error.description)) + "; inventory incomplete");
    if (failed.connectionLost) lost_ = failed;
    return result;
}

Result<std::int64_t> BoundedConnection::count(const std::string& className) {
    return bounded<std::int64_t>(className, [&] { return inner_.count(className); });
}

Result<Instances> BoundedConnection::instances(const std::string& className) {
    return bounded<Instances>(className, [&] { return inner_.instances(className); });
}

Result<Instances> BoundedConnection::query(const std::string& wql) {
    return bounded<Instances>(queryClass(wql), [&] { return inner_.query(wql); });
}

Result<std::vector<std::string>> BoundedConnection::subkeys(std::uint32_t hive, const std::string& key) {
    return bounded<std::vector<std::string>>(kRegistryProvider, [&] { return inner_.subkeys(hive, key); });
}

Result<RegistryValueNames> BoundedConnection::valueNames(std::uint32_t hive, const std::string& key) {
    return bounded<RegistryValueNames>(kRegistryProvider, [&] { return inner_.valueNames(hive, key); });
}

Result<std::string> BoundedConnection::stringValue(std::uint32_t hive, const std::string& key,
                                                   const std::string& valueName) {
    return bounded<std::string>(kRegistryProvider, [&] { return inner_.stringValue(hive, key, valueName); });
}

Result<std::int32_t> BoundedConnection::createShare(const std::string& path, const std::string& name, std::int32_t type,
                                                    const std::string& description) {
    return bounded<std::int32_t>(kShareClass, [&] { return inner_.createShare(path, name, type, description); });
}

Result<Done> BoundedConnection::deleteShare(const Instance& share) {
    return bounded<Done>(kShareClass, [&] { return inner_.deleteShare(share); });
}

Result<bool> BoundedConnection::fileExists(const std::string& path) {
    return bounded<bool>(kFiles, [&] { return inner_.fileExists(path); });
}

Result<FileFacts> BoundedConnection::fileFacts(const std::string& path) {
    return bounded<FileFacts>(kFiles, [&] { return inner_.fileFacts(path); });
}

void BoundedConnection::prefetch(const std::vector<Ask>& asks) {
    if (lost_) return;
    std::vector<Ask> wanted;
    wanted.reserve(asks.size());
    for (const Ask& ask : asks) {
        const std::string cls = ask.kind == Ask::Kind::Query ? queryClass(ask.text)
                                : ask.kind == Ask::Kind::File ? kFiles : kRegistryProvider;
        if (!limitedClasses_.count(text::asciiUpper(cls))) wanted.push_back(ask);
    }
    if (!wanted.empty()) inner_.prefetch(wanted);
}

}  // namespace qv::management

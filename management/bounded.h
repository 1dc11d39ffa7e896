// A computer's connection as the inventory uses it: a call that reached its time limit is logged
// once per class ("NAME Query Timed Out: CLASS gave no answer within N s; inventory incomplete")
// and later calls of that class fail at once instead of waiting again, so one hung provider costs
// one limit per computer; after a lost connection every later call fails at once. A class whose
// answer was refused or not understood is logged once per class as well ("NAME Query Failed:
// CLASS could not be read: Err#N TEXT; inventory incomplete"), rather than only leaving its
// lines out.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/reporter.h"
#include "management/connection.h"

namespace qv::management {

class BoundedConnection : public TargetConnection {
public:
    // `shownTarget`: the computer's name as the log shows it; `queryMs`: the query limit the log
    // line names.
    BoundedConnection(Reporter& report, std::string shownTarget, int queryMs, TargetConnection& inner)
        : report_(report), shownTarget_(std::move(shownTarget)), queryMs_(queryMs), inner_(inner) {}

    Result<std::int64_t> count(const std::string& className) override;
    Result<Instances> instances(const std::string& className) override;
    Result<Instances> query(const std::string& wql) override;
    Result<std::vector<std::string>> subkeys(std::uint32_t hive, const std::string& key) override;
    Result<RegistryValueNames> valueNames(std::uint32_t hive, const std::string& key) override;
    Result<std::string> stringValue(std::uint32_t hive, const std::string& key, const std::string& valueName) override;
    bool selectRegistryView(int bits) override { return inner_.selectRegistryView(bits); }
    Result<std::int32_t> createShare(const std::string& path, const std::string& name, std::int32_t type,
                                     const std::string& description) override;
    Result<Done> deleteShare(const Instance& share) override;
    Result<bool> fileExists(const std::string& path) override;
    Result<FileFacts> fileFacts(const std::string& path) override;
    bool filesThroughShares() const override { return inner_.filesThroughShares(); }
    // Calls of a class that reached its limit, or on a lost connection, are not sent ahead.
    void prefetch(const std::vector<Ask>& asks) override;
    bool sendsAhead() const override { return !lost_ && inner_.sendsAhead(); }

private:
    template <class T, class Call>
    Result<T> bounded(const std::string& className, Call&& call);

    Reporter& report_;
    const std::string shownTarget_;
    const int queryMs_;
    TargetConnection& inner_;
    std::optional<CallError> lost_;  // the connection is gone: every call fails with this
    // Classes whose call reached its time limit on this computer: logged once, not asked again
    // (upper case).
    std::set<std::string> limitedClasses_;
    std::set<std::string> failedClasses_;  // the classes whose failure was logged (upper case)
};

}  // namespace qv::management

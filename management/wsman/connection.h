// A Windows computer's management service over WS-Management: its classes by enumeration, its
// registry provider and shares by custom actions, its files from CIM_DataFile.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "core/limits.h"
#include "management/connection.h"
#include "management/wsman/answers.h"
#include "management/wsman/requests.h"
#include "management/wsman/session.h"

namespace qv::management::wsman {

// Up to `connections` authenticated sessions to the computer, each with one request in flight
// (WinRM answers one request at a time per HTTP connection). Calls sent ahead by prefetch are
// answered by worker threads, one per session; the calls themselves wait for their answers. Every
// answer of a call that succeeded is kept for the computer's inventory, so a call made again is
// answered from it. With one connection every call is sent by the calling thread, in its order.
class WsmanConnection : public TargetConnection {
public:
    WsmanConnection(std::unique_ptr<Session> session, const Limits& limits, int connections = 1);
    ~WsmanConnection() override;

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
    Result<bool> fileExists(const std::string& path) override;
    Result<FileFacts> fileFacts(const std::string& path) override;
    // Files come from CIM_DataFile by the computer's own path: no share is made.
    bool filesThroughShares() const override { return false; }
    void prefetch(const std::vector<Ask>& asks) override;
    bool sendsAhead() const override { return pool_ != nullptr; }

    // The most sessions used at once so far (lowered by QuotaLimit faults and refusals).
    int connectionsAllowed() const;

private:
    struct Call;
    struct Operation;
    struct Job;
    struct Pool;
    enum class Escalation { None, Quota, Refused, Lost };

    Operation enumeration(const std::string& wql, const std::string& className) const;
    Operation registryCall(const std::string& method, std::vector<std::pair<std::string, std::string>> parameters,
                           int view) const;
    Operation dataFileQuery(const std::string& path) const;
    Operation operationOf(const Ask& ask) const;
    // The answer of the operation: kept, in flight, or sent now.
    Result<Instances> enumerated(const Operation& op);
    Result<MethodOutput> invoked(const Operation& op);
    std::shared_ptr<Job> answered(const Operation& op);
    void run(Job& job, Session& session, bool pooled, Escalation& escalation);
    void work(int index, std::unique_ptr<Session> session);
    void startWorkerLocked();
    void finishLocked(const std::shared_ptr<Job>& job);

    Result<Instances> enumerate(Session& session, const Operation& op, bool pooled, Escalation& escalation);
    Result<MethodOutput> invoke(Session& session, const Operation& op, bool pooled, Escalation& escalation);
    Result<MethodOutput> shareMethod(const std::string& method, std::vector<std::pair<std::string, std::string>> parameters,
                                     std::vector<std::pair<std::string, std::string>> selectors);
    CallError lostError() const;

    std::unique_ptr<Session> session_;  // the first session, authenticated when the connection opened
    Endpoint endpoint_;
    Limits limits_;
    std::atomic<std::size_t> envelopeSize_{kMaxEnvelopeSize};
    int registryView_ = 0;
    // The answers of the computer's calls by operation: in flight, or kept once they succeeded.
    std::map<std::string, std::shared_ptr<Job>> jobs_;
    long shareCalls_ = 0;
    std::unique_ptr<Pool> pool_;  // with more than one connection
};

}  // namespace qv::management::wsman

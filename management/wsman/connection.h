// A Windows computer's management service over WS-Management: its classes by enumeration, its
// registry provider and shares by custom actions, its files from CIM_DataFile.
#pragma once

#include <memory>
#include <string>

#include "core/limits.h"
#include "management/connection.h"
#include "management/wsman/answers.h"
#include "management/wsman/requests.h"
#include "management/wsman/session.h"

namespace qv::management::wsman {

class WsmanConnection : public TargetConnection {
public:
    WsmanConnection(std::unique_ptr<Session> session, const Limits& limits);

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

private:
    struct Call;
    Result<Instances> enumerate(const std::string& resourceUri, const std::string& wql, const std::string& className);
    Result<MethodOutput> invoke(const std::string& resourceUri, const std::string& method,
                                const std::vector<std::pair<std::string, std::string>>& parameters,
                                const std::vector<std::pair<std::string, std::string>>& selectors, bool registry);
    Result<Instances> dataFile(const std::string& path);
    CallError lostError() const;

    std::unique_ptr<Session> session_;
    Limits limits_;
    std::size_t envelopeSize_ = kMaxEnvelopeSize;
    int registryView_ = 0;
    // The last class counted: its instances, so a count and the instances that follow it are
    // one enumeration.
    std::string countedClass_;
    Instances counted_;
};

}  // namespace qv::management::wsman

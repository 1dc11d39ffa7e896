// WMI through COM: IWbemLocator::ConnectServer with impersonation, queries, instances, the
// registry provider and share management.
#pragma once

#include "platform/platform.h"

namespace qv::win32 {

class WmiManagement : public ManagementService {
public:
    // `identity` tells which names mean the local computer (never probed).
    explicit WmiManagement(Identity& identity);
    ~WmiManagement() override;
    WmiManagement(const WmiManagement&) = delete;
    WmiManagement& operator=(const WmiManagement&) = delete;
    std::unique_ptr<TargetService> connect(const std::string& computer, const std::string& namespacePath,
                                           PlatformError& err) override;
    // Each worker joins the multithreaded apartment, so that connections are made and used on
    // any worker thread.
    void beginWorker() override;
    void endWorker() override;

private:
    Identity& identity_;
    bool comReady_ = false;      // this object initialised COM and releases it
    bool socketsReady_ = false;  // Winsock, for the reachability probe
};

}  // namespace qv::win32

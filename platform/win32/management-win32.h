// WMI through COM: IWbemLocator::ConnectServer with impersonation, queries, instances, the
// registry provider and share management.
#pragma once

#include "platform/platform.h"

namespace qv::win32 {

class WmiManagement : public ManagementService {
public:
    WmiManagement();
    ~WmiManagement() override;
    std::unique_ptr<TargetService> connect(const std::string& computer, const std::string& namespacePath,
                                           PlatformError& err) override;

private:
    bool comReady_ = false;
};

}  // namespace qv::win32

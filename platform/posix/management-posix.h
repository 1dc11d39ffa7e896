// The POSIX management service: the local computer answered by the local provider, others over SSH.
#pragma once

#include "platform/platform.h"
#include "platform/posix/provider/source.h"

namespace qv::posix {

class PosixManagement : public ManagementService {
public:
    explicit PosixManagement(Identity& identity) : identity_(identity) {}
    std::unique_ptr<TargetService> connect(const std::string& computer, const std::string& namespacePath,
                                           PlatformError& err) override;

private:
    Identity& identity_;
};

// The provider of the local computer's classes (see local-provider.cpp): the running system, or
// the system whose files lie under options.root.
std::unique_ptr<TargetService> makeLocalProvider();
std::unique_ptr<TargetService> makeLocalProvider(provider::Options options);

}  // namespace qv::posix

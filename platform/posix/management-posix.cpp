// The POSIX management service: reaches the local computer (its own name or "localhost", any case).
// No remote transport exists, so any other name fails to connect as an unreachable server does.
#include "platform/posix/management-posix.h"
#include "platform/text.h"


namespace qv::posix {

std::unique_ptr<TargetService> PosixManagement::connect(const std::string& computer, const std::string&,
                                                        PlatformError& err) {
    if (!isUsableComputerName(computer)) {
        err = {kErrInvalidComputerName, kErrInvalidComputerNameText};
        return nullptr;
    }
    std::string local;
    bool isLocal = text::equalsIgnoringCase(computer, "localhost") ||
                   (identity_.computerName(local) && text::equalsIgnoringCase(computer, local));
    if (!isLocal) {
        err = {kErrRpcServerUnavailable, kErrRpcServerUnavailableText};
        return nullptr;
    }
    return makeLocalProvider();
}

}  // namespace qv::posix

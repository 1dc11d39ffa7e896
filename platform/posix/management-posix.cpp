// The POSIX management service: the local computer (its own name or "localhost", any case) through
// the local provider, every other name over SSH.
#include "platform/posix/management-posix.h"
#include "platform/posix/remote-ssh.h"
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
    if (!isLocal) return connectSsh(computer, limits, err);
    return makeLocalProvider();
}

}  // namespace qv::posix

// The POSIX management service: the local computer (its names and addresses, any case) through the
// local provider, every other name over SSH.
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
    if (!identity_.isLocalComputer(computer)) return connectSsh(computer, limits, err);
    return makeLocalProvider();
}

}  // namespace qv::posix

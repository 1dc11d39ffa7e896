// The connection policy shared by every transport.
#include "management/connector.h"

#include "management/errors.h"

namespace qv::management {

bool isUsableComputerName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return false;
        switch (c) {
            case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
                return false;
            default: break;
        }
    }
    return true;
}

CallError unavailableComputer(Network& network, const std::string& host, int ms) {
    CallError error = CallError::of(kErrRpcServerUnavailable, kErrRpcServerUnavailableText);
    if (network.nameUnknown(host, ms)) error.logNote = "Name " + host + " not found by the resolver (DNS, /etc/hosts)";
    return error;
}

Result<std::unique_ptr<TargetConnection>> Connector::connect(const std::string& computer) {
    if (!isUsableComputerName(computer)) return CallError::of(kErrInvalidComputerName, kErrInvalidComputerNameText);
    // Any name of the local computer (its DNS name, an address of its own) is the local
    // connection, which is never probed.
    const bool local = identity_.isLocalComputer(computer);
    Transport& transport = local ? local_ : remote_;
    std::optional<Socket> probed;
    if (!local) {
        if (std::optional<ProbeAddress> where = transport.probeAddress(computer)) {
            probed = network_.probe(where->host, where->port, limits_.probeMs);
            if (!probed) return unavailableComputer(network_, where->host, limits_.probeMs);
        }
    }
    return transport.open(computer, limits_, std::move(probed));
}

void Connector::beginWorker() {
    local_.beginWorker();
    if (&remote_ != &local_) remote_.beginWorker();
}

void Connector::endWorker() {
    if (&remote_ != &local_) remote_.endWorker();
    local_.endWorker();
}

}  // namespace qv::management

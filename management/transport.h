// One way of reaching a computer's management service (DCOM, SSH, the Linux provider, the
// simulated computers): each lives in a folder of its own below management/.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/limits.h"
#include "management/connection.h"
#include "management/network.h"

namespace qv::management {

// Where the probe of a computer goes.
struct ProbeAddress {
    std::string host;
    unsigned port = 0;
};

class Transport {
public:
    virtual ~Transport() = default;
    virtual const char* name() const = 0;
    // The port the probe tries before a connection is opened; 0 for a transport that needs none.
    virtual unsigned port() const = 0;
    // Where another computer is probed before it is opened: its name and the transport's port by
    // default; another host and port where the transport's configuration says so (an SSH alias);
    // nothing where no probe applies (a proxy command, a transport without a port).
    virtual std::optional<ProbeAddress> probeAddress(const std::string& computer) {
        if (port() == 0) return std::nullopt;
        return ProbeAddress{computer, port()};
    }
    // Opens a connection within limits.connectMs, with the transport's first check call: one that
    // accepts the connection but refuses calls (at the chosen security, say) fails here as a failed
    // connection, not as a computer whose every section is empty. `probed` is the probe's
    // connection when there was a probe: a transport may go on over it.
    virtual Result<std::unique_ptr<TargetConnection>> open(const std::string& computer, const Limits& limits,
                                                           std::optional<Socket> probed) = 0;
    // Makes the calling thread ready for connections (and ends that), where the platform asks it.
    virtual void beginWorker() {}
    virtual void endWorker() {}
};

}  // namespace qv::management

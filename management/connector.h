// The one connection policy: which names are computers, which is this computer, which transport
// a name gets and the probe, with their errors; the transport then opens the connection within the
// connection limit, with its first check call.
#pragma once

#include <memory>
#include <string>

#include "core/limits.h"
#include "management/connection.h"
#include "management/network.h"
#include "management/transport.h"
#include "platform/platform.h"

namespace qv::management {

// True when `name` can stand as a computer name: no path separators, wildcards, quotes, angle
// brackets, pipe, colon or control characters, and not "." or "..". Other names are refused as a
// failed connection so that no file lands outside the working directory.
bool isUsableComputerName(const std::string& name);

// The failure of a computer whose port did not answer the probe ("The RPC server is unavailable."),
// with a log note when the resolver says nobody knows `host`.
CallError unavailableComputer(Network& network, const std::string& host, int ms);

class Connector {
public:
    // `local` answers the computer this runs on, `remote` every other name.
    Connector(Identity& identity, Limits& limits, Network& network, Transport& local, Transport& remote)
        : identity_(identity), limits_(limits), network_(network), local_(local), remote_(remote) {}

    const Limits& limits() const { return limits_; }
    // A connection to `computer`, or the error that says why there is none. May be called from
    // several threads at once, each between its own beginWorker and endWorker.
    Result<std::unique_ptr<TargetConnection>> connect(const std::string& computer);

    void beginWorker();
    void endWorker();

private:
    Identity& identity_;
    Limits& limits_;
    Network& network_;
    Transport& local_;
    Transport& remote_;
};

}  // namespace qv::management

// DCOM, the way to a Windows computer's management service (WMI) through the RPC endpoint mapper.
#pragma once

#include "management/transport.h"
#include "platform/platform.h"

namespace qv::management::dcom {

// The port of the RPC endpoint mapper, through which every DCOM connection starts.
inline constexpr unsigned kEndpointMapperPort = 135;

// This computer (bound as "\\.\", which needs neither DCOM over the network nor the firewall's
// consent, and is never probed) or another one (by its name, probed on the endpoint mapper's port).
enum class Reach { ThisComputer, OtherComputer };

class DcomTransport : public Transport {
public:
    // `files` is this computer's file layer, which the connections' file calls read.
    DcomTransport(Reach reach, FileSystem& files) : reach_(reach), files_(files) {}

    const char* name() const override { return "DCOM"; }
    unsigned port() const override { return kEndpointMapperPort; }
    // Binds root\cimv2 and reads kConnectionCheckClass there within limits.connectMs: the first
    // check call is part of the binding, on the binding's own bounded thread.
    Result<std::unique_ptr<TargetConnection>> open(const std::string& computer, const Limits& limits,
                                                   std::optional<Socket> probed) override;
    // Each worker joins the multithreaded apartment, so that connections are made and used on
    // any worker thread.
    void beginWorker() override;
    void endWorker() override;

private:
    Reach reach_;
    FileSystem& files_;
};

}  // namespace qv::management::dcom

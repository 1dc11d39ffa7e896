// Windows computers reached from Linux over WS-Management (WinRM): Identify, authentication,
// then the connection whose calls are enumerations and custom actions.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "management/transport.h"
#include "management/wsman/settings.h"

namespace qv::management::wsman {

class WsmanTransport : public Transport {
public:
    const char* name() const override { return "WS-Management"; }
    unsigned port() const override { return 5985; }
    // The host and port of the computer's settings (HostName, Port, Scheme).
    std::optional<ProbeAddress> probeAddress(const std::string& computer) override;
    Result<std::unique_ptr<TargetConnection>> open(const std::string& computer, const Limits& limits,
                                                   std::optional<Socket> probed) override;
    // Opens over the scheme whose port answered the probe (or the settings' scheme). With
    // `requireWindows`, a server whose Identify names another vendor than Windows' fails with
    // kErrWsmanNotWindows, so that the computer may be reached another way.
    Result<std::unique_ptr<TargetConnection>> openOver(const std::string& computer, const Limits& limits,
                                                       std::optional<Scheme> scheme, bool requireWindows);
};

}  // namespace qv::management::wsman

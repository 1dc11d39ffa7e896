// The choice between SSH and WS-Management for another computer, and the probe of both.
#include "management/remote/choice.h"

#include <future>

#include "management/connector.h"
#include "management/errors.h"
#include "management/ssh/config_files.h"
#include "management/ssh/session.h"
#include "management/wsman/errors.h"
#include "management/wsman/settings.h"

namespace qv::management::remote {

using management::CallError;
using management::ProbeAddress;
using management::Result;
using management::Socket;
using management::TargetConnection;
namespace wsman = management::wsman;

bool sshConfigNames(const std::string& computer) {
    const std::string path = ssh::sshConfigPath();
    if (path.empty()) return false;
    // A configuration that cannot be used names no computer; opening over SSH says why.
    const ssh::SshConfiguration config = ssh::readSshConfiguration(path);
    return config.status == management::FileStatus::Read && config.settingsFor(computer).named;
}

Result<std::unique_ptr<TargetConnection>> RemoteChoice::open(const std::string& computer, const Limits& limits,
                                                             std::optional<Socket>) {
    auto unavailable = [&](const std::string& host) { return management::unavailableComputer(network_, host, limits.probeMs); };
    auto probe = [&](const std::optional<ProbeAddress>& where) {
        return std::async(std::launch::async, [this, where, ms = limits.probeMs]() -> std::optional<Socket> {
            if (!where) return std::nullopt;
            return network_.probe(where->host, where->port, ms);
        });
    };
    auto openSsh = [&](std::optional<Socket> probed) { return ssh_.open(computer, limits, std::move(probed)); };

    if (sshConfigNames(computer)) {
        std::optional<ProbeAddress> where = ssh_.probeAddress(computer);
        std::optional<Socket> probed;
        if (where && !(probed = network_.probe(where->host, where->port, limits.probeMs))) return unavailable(where->host);
        return openSsh(std::move(probed));
    }
    wsman::Settings settings;
    std::string why;
    if (!wsman::settingsFor(computer, settings, why)) return CallError::of(wsman::kErrWsmanSettings, why + " ");
    if (settings.configured) {
        std::optional<ProbeAddress> where = wsman_.probeAddress(computer);
        if (where && !network_.probe(where->host, where->port, limits.probeMs)) return unavailable(where->host);
        return wsman_.openOver(computer, limits, std::nullopt, false);
    }
    // Nothing configured: the three ports at once, within the probe's limit.
    auto http = probe(ProbeAddress{computer, 5985});
    auto https = probe(ProbeAddress{computer, 5986});
    const std::optional<ProbeAddress> sshWhere = ssh_.probeAddress(computer);
    auto ssh = probe(sshWhere);
    std::optional<wsman::Scheme> scheme;
    if (http.get()) scheme = wsman::Scheme::Http;
    else if (https.get()) scheme = wsman::Scheme::Https;
    if (scheme) {
        auto opened = wsman_.openOver(computer, limits, scheme, true);
        if (opened || opened.error().error.number != wsman::kErrWsmanNotWindows) return opened;
    }
    // No Windows there: SSH where 22 answers (or where a proxy command reaches the computer).
    if (!sshWhere) return openSsh(std::nullopt);
    if (std::optional<Socket> answered = ssh.get()) return openSsh(std::move(answered));
    return unavailable(sshWhere->host);
}

}  // namespace qv::management::remote

// The SSH transport: the connection (host-key check, authentication, SFTP) and the per-call limit.
#include "management/ssh/transport.h"

#include <libssh/libssh.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "management/local/provider.h"
#include "management/ssh/session.h"
#include "management/ssh/sftp-files.h"
#include "management/ssh/sftp-pipeline.h"

namespace qv::management::ssh {

using management::CallError;
using management::Result;

namespace {

// What the connections of one thread to one computer share: the session, its files and the
// provider's caches (the run opens the classes and the registry provider side by side).
struct Remote {
    std::shared_ptr<Session> session;
    std::shared_ptr<facts::FileAccess> files;
    std::unique_ptr<management::TargetConnection> provider;
    ~Remote() { provider.reset(); }
};

std::shared_ptr<Remote> makeRemote(std::shared_ptr<Session> session) {
    auto remote = std::make_shared<Remote>();
    remote->session = std::move(session);
    remote->files = makeSftpFiles(remote->session);
    facts::Options options;
    options.probes = {};  // no system call reaches the other computer: facts come from its files
    options.probes.now = [] { return std::time(nullptr); };
    options.files = remote->files;
    options.warmUp = true;
    remote->provider = local::makeLocalProvider(std::move(options));
    return remote;
}

// The local provider over another computer's files: nothing is run or written there. A call that
// outlives the query limit cuts the connection; a lost connection fails the call instead of
// answering with what was read so far.
class RemoteTarget : public management::TargetConnection {
public:
    RemoteTarget(std::shared_ptr<Remote> remote, std::string computer, int queryMs)
        : remote_(std::move(remote)), session_(remote_->session), files_(remote_->files), inner_(remote_->provider.get()),
          computer_(std::move(computer)), queryMs_(queryMs) {}

    Result<std::int64_t> count(const std::string& className) override {
        return call<std::int64_t>([&] { return inner_->count(className); });
    }
    Result<Instances> instances(const std::string& className) override {
        return call<Instances>([&] { return inner_->instances(className); });
    }
    Result<Instances> query(const std::string& wql) override {
        return call<Instances>([&] { return inner_->query(wql); });
    }
    Result<std::vector<std::string>> subkeys(std::uint32_t hive, const std::string& key) override {
        return call<std::vector<std::string>>([&] { return inner_->subkeys(hive, key); });
    }
    Result<management::RegistryValueNames> valueNames(std::uint32_t hive, const std::string& key) override {
        return call<management::RegistryValueNames>([&] { return inner_->valueNames(hive, key); });
    }
    Result<std::string> stringValue(std::uint32_t hive, const std::string& key, const std::string& valueName) override {
        return call<std::string>([&] { return inner_->stringValue(hive, key, valueName); });
    }
    // Read-only: no share is ever created or deleted on another computer.
    Result<std::int32_t> createShare(const std::string&, const std::string&, std::int32_t, const std::string&) override {
        return management::kShareAccessDenied;
    }
    Result<management::Done> deleteShare(const Instance& share) override { return inner_->deleteShare(share); }
    Result<bool> fileExists(const std::string& path) override {
        return call<bool>([&] { return inner_->fileExists(path); });
    }
    Result<management::FileFacts> fileFacts(const std::string& path) override {
        return call<management::FileFacts>([&] { return inner_->fileFacts(path); });
    }

private:
    template <class T, class F>
    Result<T> call(F body) {
        std::optional<Result<T>> answer;
        if (!files_->lost()) {
            session_->watchdog.arm(queryMs_);
            answer.emplace(body());
            session_->watchdog.disarm();
        }
        if (!files_->lost() && session_->alive()) return std::move(*answer);
        CallError lost{{kErrSshLost, "Connection to " + computer_ + " lost "}, false, true};
        // Cut at the limit: this call timed out; the calls after it find the connection lost.
        if (session_->watchdog.fired() && !timedOutOnce_) {
            timedOutOnce_ = true;
            lost = CallError{{management::kErrTimedOut, management::kErrTimedOutText}, true, false};
        }
        return lost;
    }

    std::shared_ptr<Remote> remote_;
    std::shared_ptr<Session> session_;
    std::shared_ptr<facts::FileAccess> files_;
    management::TargetConnection* inner_;
    std::string computer_;
    int queryMs_;
    bool timedOutOnce_ = false;
};

}  // namespace

std::optional<management::ProbeAddress> SshTransport::probeAddress(const std::string& computer) {
    // An alias names its own host and port; a proxy command reaches the computer its own way. A
    // configuration that cannot be read is not probed: opening says what is wrong with it.
    PlatformError why;
    auto session = configuredSession(computer, why);
    if (!session) return std::nullopt;
    if (!optionText(session->ssh, SSH_OPTIONS_PROXYCOMMAND).empty()) return std::nullopt;
    unsigned sshPort = port();
    ssh_options_get_port(session->ssh, &sshPort);
    return management::ProbeAddress{optionText(session->ssh, SSH_OPTIONS_HOST), sshPort};
}

Result<std::unique_ptr<management::TargetConnection>> SshTransport::open(const std::string& computer,
                                                                        const Limits& limits,
                                                                        std::optional<management::Socket> probed) {
    auto fail = [&](std::int32_t code, std::string text) { return CallError::of(code, std::move(text)); };
    auto unavailable = [&] {
        return fail(management::kErrRpcServerUnavailable, management::kErrRpcServerUnavailableText);
    };

    PlatformError why;
    auto session = configuredSession(computer, why);
    if (!session) return CallError{why};
    ssh_session ssh = session->ssh;
    long connectSeconds = (limits.connectMs + 999) / 1000;
    ssh_options_set(ssh, SSH_OPTIONS_TIMEOUT, &connectSeconds);
    if (probed && probed->open()) {
        // Direct: the probe's connection is the session's.
        socket_t sock = static_cast<socket_t>(probed->release());
        ssh_options_set(ssh, SSH_OPTIONS_FD, &sock);  // the session closes it
        session->watchdog.watch(sock);
    }
    session->watchdog.arm(limits.connectMs);
    if (ssh_connect(ssh) != SSH_OK) {
        if (session->watchdog.fired()) return unavailable();
        return fail(kErrSshFailed, "SSH connection to " + computer + " failed: " + ssh_get_error(ssh) + " ");
    }
    session->watchdog.watch(ssh_get_fd(ssh));
    switch (ssh_session_is_known_server(ssh)) {
        case SSH_KNOWN_HOSTS_OK: break;
        case SSH_KNOWN_HOSTS_CHANGED:
        case SSH_KNOWN_HOSTS_OTHER:
            return fail(kErrSshHostKeyChanged,
                        "Host key of " + computer + " does not match known_hosts (changed key or another server) ");
        case SSH_KNOWN_HOSTS_NOT_FOUND:
        case SSH_KNOWN_HOSTS_UNKNOWN:
            return fail(kErrSshHostKeyUnknown, "Host key of " + computer + " not known (add it to known_hosts) ");
        default: return fail(kErrSshFailed, "known_hosts could not be read for " + computer + " ");
    }
    // ssh-agent and the default keys (publickey_auto tries both), then Kerberos; never a password.
    int auth = ssh_userauth_publickey_auto(ssh, nullptr, nullptr);
    if (auth != SSH_AUTH_SUCCESS && ssh_is_connected(ssh)) auth = ssh_userauth_gssapi(ssh);
    if (auth != SSH_AUTH_SUCCESS) {
        if (session->watchdog.fired()) return unavailable();
        return fail(kErrSshAuthentication, "No SSH key or Kerberos ticket accepted by " + computer + " ");
    }
    session->sftp = SftpPipeline::open(ssh);
    if (!session->sftp) {
        if (session->watchdog.fired()) return unavailable();
        return fail(kErrSshNoSftp, "SFTP not available on " + computer + " ");
    }
    if (session->watchdog.fired()) return unavailable();
    session->watchdog.disarm();
    long querySeconds = (limits.queryMs + 999) / 1000;
    ssh_options_set(ssh, SSH_OPTIONS_TIMEOUT, &querySeconds);
    std::unique_ptr<management::TargetConnection> connection =
        std::make_unique<RemoteTarget>(makeRemote(std::move(session)), computer, limits.queryMs);
    return connection;
}

}  // namespace qv::management::ssh

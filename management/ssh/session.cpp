// One SSH session: made from the SSH configuration without a password prompt, and closed.
#include "management/ssh/session.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "management/ssh/config_files.h"
#include "management/ssh/errors.h"

namespace qv::management::ssh {

Session::~Session() {
    // The socket's number may be reused once closed: the watchdog lets go of it first.
    watchdog.disarm();
    watchdog.watch(-1);
    // QV_SFTP_TRACE: the round trips this connection waited for (tuning aid).
    if (sftp && std::getenv("QV_SFTP_TRACE"))
        std::fprintf(stderr, "SFTP round trips: %zu for %zu requests\n", sftp->roundTrips(), sftp->requests());
    sftp.reset();
    if (ssh) {
        ssh_disconnect(ssh);
        ssh_free(ssh);
    }
}

bool Session::alive() {
    return !watchdog.fired() && ssh_is_connected(ssh) && sftp && !sftp->broken() && sftp->channelOpen();
}

std::string optionText(ssh_session ssh, ssh_options_e option) {
    char* value = nullptr;
    if (ssh_options_get(ssh, option, &value) != SSH_OK || !value) return {};
    std::string out = value;
    ssh_string_free_char(value);
    return out;
}

std::string sshConfigPath() {
    if (const char* d = std::getenv("QV_SSH_DIR"); d && *d) return std::string(d) + "/config";
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        passwd* pw = ::getpwuid(::getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    return home ? std::string(home) + "/.ssh/config" : std::string();
}

std::shared_ptr<Session> configuredSession(const std::string& computer, PlatformError& why) {
    static std::once_flag once;
    std::call_once(once, [] { ssh_init(); });
    // libssh reads the configuration and its Include files itself: they are read first within
    // bounds, so that libssh never meets one it would wait on or read without end.
    if (const std::string config = sshConfigPath(); !config.empty()) {
        const SshConfiguration file = readSshConfiguration(config);
        if (file.status == management::FileStatus::Refused) {
            why = {kErrSshFailed, "SSH configuration for " + computer + " could not be read: " + file.why + " "};
            return nullptr;
        }
    }
    auto session = std::make_shared<Session>();
    session->ssh = ssh_new();
    if (!session->ssh) {
        why = {kErrSshFailed, "SSH session for " + computer + " could not be made "};
        return nullptr;
    }
    ssh_session ssh = session->ssh;
    // QV_SSH_DIR stands for ~/.ssh: config, keys and known_hosts (tests keep the user's own apart).
    if (const char* dir = std::getenv("QV_SSH_DIR"); dir && *dir) ssh_options_set(ssh, SSH_OPTIONS_SSH_DIR, dir);
    int never = 0;
    ssh_options_set(ssh, SSH_OPTIONS_PASSWORD_AUTH, &never);
    ssh_options_set(ssh, SSH_OPTIONS_KBDINT_AUTH, &never);
    if (ssh_options_set(ssh, SSH_OPTIONS_HOST, computer.c_str()) != SSH_OK || ssh_options_parse_config(ssh, nullptr) != 0) {
        why = {kErrSshFailed, "SSH configuration for " + computer + " could not be read "};
        return nullptr;
    }
    // The configuration may not turn the password prompt back on.
    ssh_options_set(ssh, SSH_OPTIONS_PASSWORD_AUTH, &never);
    ssh_options_set(ssh, SSH_OPTIONS_KBDINT_AUTH, &never);
    return session;
}

}  // namespace qv::management::ssh

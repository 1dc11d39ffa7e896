// One SSH session with its SFTP channel and watchdog, set up as the SSH configuration describes.
#pragma once

#include <libssh/libssh.h>

#include <memory>
#include <string>

#include "management/ssh/sftp-pipeline.h"
#include "management/ssh/watchdog.h"
#include "platform/platform.h"

namespace qv::management::ssh {

// One SSH session with its SFTP channel.
struct Session {
    ssh_session ssh = nullptr;
    std::unique_ptr<SftpPipeline> sftp;
    Watchdog watchdog;
    ~Session();
    // Connected, not cut by the watchdog, and its SFTP channel sound.
    bool alive();
};

// The user's SSH configuration file: QV_SSH_DIR's config, else ~/.ssh/config (empty when there is
// no home folder).
std::string sshConfigPath();

// A session for `computer` as ~/.ssh/config (or QV_SSH_DIR's config) describes it, without a
// password prompt; null with the reason when none can be made or the configuration cannot be read
// (one that is no regular file or is over 1 MiB is not given to libssh, which would wait on a
// FIFO or read a huge file whole).
std::shared_ptr<Session> configuredSession(const std::string& computer, PlatformError& why);

// The text of one of the session's options (empty when unset).
std::string optionText(ssh_session ssh, ssh_options_e option);

}  // namespace qv::management::ssh

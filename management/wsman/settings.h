// What a computer is reached with over WS-Management: the settings per computer of the
// quorvex/winrm file, and the user and password of ~/.netrc for NTLM and Basic.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "management/settings_file.h"

namespace qv::management::wsman {

enum class Scheme { Http, Https };
enum class AuthChoice { Default, Kerberos, Ntlm, Basic };

struct Settings {
    bool configured = false;  // a Host line of the file names the computer
    std::string hostName;     // where to connect (the computer's name unless HostName says)
    unsigned port = 0;        // 0: the scheme's (5985, 5986)
    Scheme scheme = Scheme::Http;
    AuthChoice auth = AuthChoice::Default;
    std::string caFile;
    // Authenticated connections kept to the computer, each with one request in flight. Opened
    // only while requests wait, so a small computer uses few. A software phase of a few thousand
    // registry calls needs about 30 in flight to take seconds rather than minutes at branch-office
    // round trips; a server that allows fewer (an older WinRM's per-user quota or connection
    // limit) answers QuotaLimit or refuses, and the computer goes on with one connection fewer.
    int connections = kDefaultConnections;
    static constexpr int kDefaultConnections = 32;
    static constexpr int kMostConnections = 64;
};

// The folder that stands for ~/.config/quorvex: QV_CONFIG_DIR, else $XDG_CONFIG_HOME/quorvex,
// else ~/.config/quorvex.
std::string configFolder();

// The settings of `computer` from a text of the winrm file; false with `why` for a value that
// is not one of the keyword's.
bool settingsFromText(const std::string& text, const std::string& computer, Settings& out, std::string& why);
// The same from the file (a missing file: nothing configured; one refused by readSettingsFile:
// false with its reason).
bool settingsFor(const std::string& computer, Settings& out, std::string& why);

struct Login {
    std::string user, password;
};

// The login of `machine` in a netrc text: its "machine" entry (letter case aside), else the
// "default" entry. "macdef" bodies are skipped.
std::optional<Login> loginFromNetrc(const std::string& text, const std::string& machine);

// The login from the netrc file (QV_NETRC, else ~/.netrc). A file that group or others can read
// is refused with `why` (as ftp and curl refuse it), as is one that cannot be read or that
// readSettingsFile refuses (a folder, a FIFO, a file over 1 MiB).
enum class NetrcStatus { Found, NotFound, Refused };
NetrcStatus loginFor(const std::string& machine, Login& out, std::string& why);

}  // namespace qv::management::wsman

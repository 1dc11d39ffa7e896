// The quorvex/winrm settings file and the netrc file.
#include "management/wsman/settings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "management/host_config.h"

namespace qv::management::wsman {

namespace {

std::string home() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    if (passwd* pw = ::getpwuid(::getuid())) return pw->pw_dir;
    return {};
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::string configFolder() {
    if (const char* dir = std::getenv("QV_CONFIG_DIR"); dir && *dir) return dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return std::string(xdg) + "/quorvex";
    return home() + "/.config/quorvex";
}

bool settingsFromText(const std::string& text, const std::string& computer, Settings& out, std::string& why) {
    HostSettings host = hostSettings(text, computer);
    out = Settings{};
    out.configured = host.named;
    out.hostName = host.value("hostname").empty() ? computer : host.value("hostname");
    if (std::string port = host.value("port"); !port.empty()) {
        char* end = nullptr;
        long v = std::strtol(port.c_str(), &end, 10);
        if (*end || v < 1 || v > 65535) {
            why = "Port " + port + " is not a port number";
            return false;
        }
        out.port = static_cast<unsigned>(v);
    }
    if (std::string scheme = lower(host.value("scheme")); !scheme.empty()) {
        if (scheme == "http") out.scheme = Scheme::Http;
        else if (scheme == "https") out.scheme = Scheme::Https;
        else {
            why = "Scheme " + scheme + " is neither http nor https";
            return false;
        }
    }
    if (std::string auth = lower(host.value("auth")); !auth.empty()) {
        if (auth == "kerberos") out.auth = AuthChoice::Kerberos;
        else if (auth == "ntlm") out.auth = AuthChoice::Ntlm;
        else if (auth == "basic") out.auth = AuthChoice::Basic;
        else {
            why = "Auth " + auth + " is not kerberos, ntlm or basic";
            return false;
        }
    }
    if (out.auth == AuthChoice::Basic && out.scheme != Scheme::Https) {
        why = "Auth basic is only ever used over https";
        return false;
    }
    if (std::string n = host.value("connections"); !n.empty()) {
        char* end = nullptr;
        long v = std::strtol(n.c_str(), &end, 10);
        if (*end || v < 1 || v > Settings::kMostConnections) {
            why = "Connections " + n + " is not a number from 1 to " + std::to_string(Settings::kMostConnections);
            return false;
        }
        out.connections = static_cast<int>(v);
    }
    out.caFile = host.value("cafile");
    return true;
}

bool settingsFor(const std::string& computer, Settings& out, std::string& why) {
    const std::string path = configFolder() + "/winrm";
    SettingsFile file = readSettingsFile(path);
    if (file.status == FileStatus::Refused) {
        out = Settings{};
        why = file.why;
        return false;
    }
    if (!settingsFromText(file.text, computer, out, why)) {
        why = path + ": " + why;
        return false;
    }
    return true;
}

std::optional<Login> loginFromNetrc(const std::string& text, const std::string& machine) {
    std::vector<std::string> tokens;
    std::istringstream in(text);
    std::string line;
    bool inMacro = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (inMacro) {  // a macro's body ends at an empty line
            if (line.find_first_not_of(" \t") == std::string::npos) inMacro = false;
            continue;
        }
        std::istringstream words(line);
        std::string w;
        while (words >> w) {
            if (w[0] == '#' && tokens.empty()) break;
            if (w.size() > 1 && w.front() == '"' && w.back() == '"') w = w.substr(1, w.size() - 2);
            tokens.push_back(w);
            if (w == "macdef") inMacro = true;
        }
    }
    std::optional<Login> named, fallback;
    for (std::size_t i = 0; i < tokens.size();) {
        bool isDefault = tokens[i] == "default";
        bool isMachine = tokens[i] == "machine" && i + 1 < tokens.size();
        if (!isDefault && !isMachine) {
            ++i;
            continue;
        }
        std::string name = isMachine ? tokens[i + 1] : std::string();
        i += isMachine ? 2 : 1;
        Login login;
        while (i < tokens.size() && tokens[i] != "machine" && tokens[i] != "default") {
            if (i + 1 < tokens.size() && tokens[i] == "login") login.user = tokens[i + 1], i += 2;
            else if (i + 1 < tokens.size() && tokens[i] == "password") login.password = tokens[i + 1], i += 2;
            else ++i;
        }
        if (isMachine && !named && lower(name) == lower(machine)) named = login;
        if (isDefault && !fallback) fallback = login;
    }
    return named ? named : fallback;
}

NetrcStatus loginFor(const std::string& machine, Login& out, std::string& why) {
    const char* env = std::getenv("QV_NETRC");
    const std::string path = env && *env ? env : home() + "/.netrc";
    SettingsFile file = readSettingsFile(path);
    if (file.status == FileStatus::Missing) return NetrcStatus::NotFound;
    if (file.status == FileStatus::Refused) {
        why = file.why;
        return NetrcStatus::Refused;
    }
    if (file.mode & (S_IRWXG | S_IRWXO)) {
        why = path + " can be read by others than its owner (chmod 600 " + path + ")";
        return NetrcStatus::Refused;
    }
    std::optional<Login> login = loginFromNetrc(file.text, machine);
    if (!login || login->user.empty()) return NetrcStatus::NotFound;
    out = *login;
    return NetrcStatus::Found;
}

}  // namespace qv::management::wsman

// Test support: slapd on loopback with a generated directory of computers.
#include "tests/support/slapd_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/support/sim_run.h"

extern char** environ;

namespace qvtest {

namespace {

const char* const kSlapd = "/usr/sbin/slapd";
const char* const kSlapadd = "/usr/sbin/slapadd";

// What the directory of a small domain needs beyond the core schema.
const char* const kTestSchema =
    "attributetype ( 1.3.6.1.4.1.4203.666.11.901.1 NAME 'objectCategory'\n"
    "  EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )\n"
    "attributetype ( 1.3.6.1.4.1.4203.666.11.901.2 NAME 'defaultNamingContext'\n"
    "  EQUALITY distinguishedNameMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )\n"
    "objectclass ( 1.3.6.1.4.1.4203.666.11.901.3 NAME 'computer' SUP top STRUCTURAL\n"
    "  MUST ( cn $ objectCategory ) MAY ( name ) )\n";

std::string base64(const std::string& in) {
    static const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < in.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        if (i + 2 < in.size()) v |= static_cast<unsigned char>(in[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < in.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < in.size() ? digits[v & 63] : '=';
    }
    return out;
}

// One computer entry; the name is written base64 so that its spaces survive.
std::string computerEntry(const std::string& rdn, const std::string& container, const std::optional<std::string>& name,
                          const std::string& category = "Computer") {
    std::string e = "dn: cn=" + rdn + "," + container + "\nobjectClass: computer\ncn: " + rdn +
                    "\nobjectCategory: " + category + "\n";
    if (name) e += "name:: " + base64(*name) + "\n";
    return e + "\n";
}

std::string directoryLdif() {
    const std::string suffix = kDirectorySuffix;
    const std::string ws = "ou=Workstations," + suffix, servers = "ou=Servers," + suffix, lab = "ou=Lab," + ws;
    std::ostringstream ldif;
    ldif << "dn: " << suffix << "\nobjectClass: organization\nobjectClass: dcObject\no: corp\ndc: corp\n\n";
    for (const std::string& ou : {ws, servers, lab})
        ldif << "dn: " << ou << "\nobjectClass: organizationalUnit\nou: " << ou.substr(3, ou.find(',') - 3) << "\n\n";
    ldif << computerEntry("c1", ws, "ws01") << computerEntry("c2", servers, "WS02")
         << computerEntry("c3", lab, "ws01")                       // the same name in another container
         << computerEntry("c4", servers, "  spaced  ")             // spaces around the name
         << computerEntry("c5", lab, std::string(255, 'a'))        // longest name kept
         << computerEntry("c6", lab, std::string(256, 'b'))        // one too long
         << computerEntry("c7", ws, std::nullopt)                  // no name at all
         << computerEntry("p1", ws, "person01", "Person");         // not a computer
    for (int i = 0; i < kDirectoryBulkComputers; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "pc%04d", i);
        ldif << computerEntry(std::string("b") + name, i % 2 ? ws : servers, std::string(name));
    }
    return ldif.str();
}

}  // namespace

bool acceptsOnLoopback(int port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

int freeLoopbackPort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

SlapdServer::SlapdServer() {
    if (::access(kSlapd, X_OK) != 0 || ::access(kSlapadd, X_OK) != 0) {
        skipReason_ = "slapd is not installed (Debian packages slapd and ldap-utils)";
        return;
    }
    folder_ = makeTempDir();
    std::filesystem::create_directory(folder_ + "/db");
    writeFile(folder_ + "/test.schema", kTestSchema);
    writeFile(folder_ + "/rootdse.ldif", std::string("dn:\ndefaultNamingContext: ") + kDirectorySuffix + "\n");
    writeFile(folder_ + "/slapd.conf",
              "include /etc/ldap/schema/core.schema\n"
              "include " + folder_ + "/test.schema\n"
              "modulepath /usr/lib/ldap\n"
              "moduleload back_mdb\n"
              "pidfile " + folder_ + "/slapd.pid\n"
              "rootDSE " + folder_ + "/rootdse.ldif\n"
              // Like a domain controller: at most 1,000 entries unless paged.
              "sizelimit size.soft=1000 size.hard=1000 size.prtotal=unlimited\n"
              "database mdb\n"
              "suffix \"" + kDirectorySuffix + "\"\n"
              "rootdn \"cn=admin," + kDirectorySuffix + "\"\n"
              "directory " + folder_ + "/db\n"
              "maxsize 104857600\n");
    writeFile(folder_ + "/data.ldif", directoryLdif());
    std::string load = std::string(kSlapadd) + " -q -f '" + folder_ + "/slapd.conf' -l '" + folder_ +
                       "/data.ldif' >'" + folder_ + "/slapadd.log' 2>&1";
    if (std::system(load.c_str()) != 0) {
        failure_ = "slapadd failed: " + readFile(folder_ + "/slapadd.log");
        return;
    }

    ldapPort_ = freeLoopbackPort();
    catalogPort_ = freeLoopbackPort();
    std::string urls = "ldap://127.0.0.1:" + std::to_string(ldapPort_) + "/ ldap://127.0.0.1:" +
                       std::to_string(catalogPort_) + "/";
    std::vector<std::string> args = {kSlapd, "-d", "0", "-h", urls, "-f", folder_ + "/slapd.conf"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string slapdLog = folder_ + "/slapd.log";
    posix_spawn_file_actions_addopen(&actions, 1, slapdLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, kSlapd, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        failure_ = "slapd could not be started";
        return;
    }
    pid_ = pid;
    for (int i = 0; i < 100 && !(acceptsOnLoopback(ldapPort_) && acceptsOnLoopback(catalogPort_)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!acceptsOnLoopback(ldapPort_) || !acceptsOnLoopback(catalogPort_)) failure_ = "slapd did not listen: " + readFile(slapdLog);
}

SlapdServer::~SlapdServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
}

}  // namespace qvtest

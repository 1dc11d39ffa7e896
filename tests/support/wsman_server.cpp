// Test support: the WS-Management test server and a throwaway KDC, each a child process.
#include "tests/support/wsman_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"

namespace qvtest {

namespace {

// Forks `argv` with the environment additions; its output goes to `log`.
int spawn(const std::vector<std::string>& argv, const std::vector<std::pair<std::string, std::string>>& env,
          const std::string& log) {
    int pid = ::fork();
    if (pid == 0) {
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        if (FILE* f = std::freopen(log.c_str(), "w", stdout)) ::dup2(::fileno(f), 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

void stop(int& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// Waits for a condition for at most 10 s; false when the child ended first or time ran out.
template <typename F>
bool waitFor(int pid, F ready) {
    for (int i = 0; i < 2000; ++i) {
        if (ready()) return true;
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

WsmanServer::WsmanServer(const std::string& program, const std::string& dir, const std::string& fixtureJson,
                         const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env) {
    const std::string fixture = dir + "/server-fixture.json", ports = dir + "/server-ports";
    writeFile(fixture, fixtureJson);
    std::remove(ports.c_str());
    std::vector<std::string> argv = {program, fixture, ports};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = spawn(argv, env, dir + "/server.log");
    if (!waitFor(pid_, [&] { return ::access(ports.c_str(), R_OK) == 0; })) {
        failure_ = "qv-wsman-server did not start: " + readFile(dir + "/server.log");
        stop(pid_);
        return;
    }
    std::istringstream in(readFile(ports));
    std::string name;
    unsigned port = 0;
    while (in >> name >> port) ports_[name] = port;
}

WsmanServer::~WsmanServer() { stop(pid_); }

unsigned WsmanServer::port(const std::string& computer) const {
    auto it = ports_.find(computer);
    return it == ports_.end() ? 0 : it->second;
}

KdcServer::KdcServer(const std::string& dir, const std::string& user, const std::string& password) : dir_(dir) {
    for (const char* p : {"/usr/sbin/krb5kdc", "/usr/sbin/kdb5_util", "/usr/sbin/kadmin.local", "/usr/bin/kinit"})
        if (::access(p, X_OK) != 0) {
            skipReason_ = std::string(p) + " is not installed (Debian krb5-kdc, krb5-admin-server, krb5-user)";
            return;
        }
    std::filesystem::create_directories(dir);
    const int port = freeLoopbackPort();
    const std::string p = std::to_string(port);
    writeFile(dir + "/krb5.conf",
              "[libdefaults]\n default_realm = QV.TEST\n dns_lookup_kdc = false\n dns_lookup_realm = false\n"
              " dns_canonicalize_hostname = false\n rdns = false\n udp_preference_limit = 1\n"
              "[realms]\n QV.TEST = {\n  kdc = 127.0.0.1:" + p + "\n }\n"
              "[domain_realm]\n localhost = QV.TEST\n");
    writeFile(dir + "/kdc.conf", "[kdcdefaults]\n kdc_ports = " + p + "\n kdc_tcp_ports = " + p +
                                     "\n[realms]\n QV.TEST = {\n  database_name = " + dir + "/principal\n"
                                     "  key_stash_file = " + dir + "/stash\n  acl_file = " + dir + "/kadm5.acl\n"
                                     " }\n[logging]\n kdc = FILE:" + dir + "/kdc.log\n");
    writeFile(dir + "/kadm5.acl", "");
    const std::string env = "KRB5_CONFIG='" + dir + "/krb5.conf' KRB5_KDC_PROFILE='" + dir + "/kdc.conf' ";
    const std::string quiet = " >>'" + dir + "/setup.log' 2>&1";
    if (!run(env + "kdb5_util create -s -r QV.TEST -P master-secret" + quiet) ||
        !run(env + "kadmin.local -q 'addprinc -pw " + password + " " + user + "@QV.TEST'" + quiet) ||
        !run(env + "kadmin.local -q 'addprinc -randkey HTTP/localhost@QV.TEST'" + quiet) ||
        !run(env + "kadmin.local -q 'ktadd -k " + dir + "/http.keytab HTTP/localhost@QV.TEST'" + quiet)) {
        failure_ = "the KDC's database could not be made: " + readFile(dir + "/setup.log");
        return;
    }
    pid_ = spawn({"/usr/sbin/krb5kdc", "-n", "-r", "QV.TEST"},
                 {{"KRB5_CONFIG", dir + "/krb5.conf"}, {"KRB5_KDC_PROFILE", dir + "/kdc.conf"}}, dir + "/kdc.out");
    if (!waitFor(pid_, [&] { return acceptsOnLoopback(port); })) {
        failure_ = "krb5kdc did not start: " + readFile(dir + "/kdc.out") + readFile(dir + "/kdc.log");
        stop(pid_);
        return;
    }
    if (!run("echo '" + password + "' | " + env + "KRB5CCNAME='FILE:" + dir + "/ccache' kinit " + user + "@QV.TEST" + quiet))
        failure_ = "kinit failed: " + readFile(dir + "/setup.log");
}

KdcServer::~KdcServer() { stop(pid_); }

std::vector<std::pair<std::string, std::string>> KdcServer::clientEnv() const {
    return {{"KRB5_CONFIG", dir_ + "/krb5.conf"}, {"KRB5CCNAME", "FILE:" + dir_ + "/ccache"}};
}

std::vector<std::pair<std::string, std::string>> KdcServer::serverEnv() const {
    return {{"KRB5_CONFIG", dir_ + "/krb5.conf"}, {"KRB5_KTNAME", "FILE:" + dir_ + "/http.keytab"}};
}

}  // namespace qvtest

// Test support: the project's WS-Management server answering a fixture's computers on loopback,
// and a throwaway MIT KDC for Kerberos to it.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qvtest {

// Starts qv-wsman-server (`program`) on the fixture in `dir`/server-fixture.json with the extra
// arguments and environment; stops it when it goes.
class WsmanServer {
public:
    WsmanServer(const std::string& program, const std::string& dir, const std::string& fixtureJson,
                const std::vector<std::string>& args = {},
                const std::vector<std::pair<std::string, std::string>>& env = {});
    ~WsmanServer();
    WsmanServer(const WsmanServer&) = delete;
    WsmanServer& operator=(const WsmanServer&) = delete;
    // Not empty when the server did not start.
    const std::string& failure() const { return failure_; }
    // The loopback port of a computer (0 when it is not served).
    unsigned port(const std::string& computer) const;

private:
    int pid_ = -1;
    std::string failure_;
    std::map<std::string, unsigned> ports_;
};

// A KDC of realm QV.TEST on a free loopback port with the user `user` (password `password`) and
// the service principal HTTP/localhost in a keytab; the user's ticket already in a cache.
class KdcServer {
public:
    KdcServer(const std::string& dir, const std::string& user, const std::string& password);
    ~KdcServer();
    KdcServer(const KdcServer&) = delete;
    KdcServer& operator=(const KdcServer&) = delete;
    // Not empty when the KDC's programs are not installed: the test skips.
    const std::string& skipReason() const { return skipReason_; }
    // Not empty when they are but the KDC did not start.
    const std::string& failure() const { return failure_; }
    // KRB5_CONFIG and KRB5CCNAME for a client, KRB5_CONFIG and KRB5_KTNAME for the server.
    std::vector<std::pair<std::string, std::string>> clientEnv() const;
    std::vector<std::pair<std::string, std::string>> serverEnv() const;

private:
    std::string dir_, skipReason_, failure_;
    int pid_ = -1;
};

}  // namespace qvtest

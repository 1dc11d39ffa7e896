// Test support: a PostgreSQL server of the test's own on loopback, with a SCRAM password and a TLS certificate it generates.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

// With QV_TEST_SERVER_MIRROR set, every fixture run that writes a QV.mdb is run again against
// this process's server (see runSim), and the server's rows must equal the file's.
bool mirrorRunsOnServer();

// Starts Debian's PostgreSQL (initdb in a temporary folder, as the unprivileged `postgres`
// account when the test runs as root, pg_ctl on a free loopback port) with one superuser whose
// password is SCRAM-hashed, TLS from a self-signed certificate for "localhost"; stops it when it
// goes.
class PgServer {
public:
    PgServer();
    ~PgServer();
    // The server of this test process, started at its first use and stopped when the process ends.
    static PgServer& instance();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Not empty when PostgreSQL is not installed: the test skips.
    const std::string& skipReason() const { return skipReason_; }
    // Not empty when it is installed but did not start: the test fails.
    const std::string& failure() const { return failure_; }

    int port() const { return port_; }
    const std::string& password() const { return password_; }
    // The certificate clients verify the server with.
    std::string certificate() const { return folder_ + "/server.crt"; }
    // A connection string to `database` as the superuser over TLS (sslmode=require), with the password.
    std::string connection(const std::string& database) const;
    // A new empty database; its name.
    std::string newDatabase();

    // Every row of `sql` on `database`, each value as text ("NULL" for Null).
    std::vector<std::vector<std::string>> values(const std::string& database, const std::string& sql) const;
    // The same, each row's values joined by "|".
    std::vector<std::string> rows(const std::string& database, const std::string& sql) const;
    // Runs statements; false with the server's message in `error`.
    bool exec(const std::string& database, const std::string& sql, std::string* error = nullptr) const;

    // What differs between the rows of every table of the QV.mdb at `path` and those of the same
    // tables in `database`: each table's rows compared as a whole, values in one form (Booleans,
    // reals at their column's precision, dates, Nulls). Empty when they are the same.
    std::string differencesFrom(const std::string& path, const std::string& database) const;

    // Stops the server at once (as a crash would) and starts it again on the same port.
    bool stop();
    bool start();

private:
    std::string asServerUser(const std::string& command) const;
    std::string skipReason_, failure_, folder_, password_ = "Qv-test-secret-7";
    int port_ = 0;
    int databases_ = 0;
    bool running_ = false;
};

}  // namespace qvtest

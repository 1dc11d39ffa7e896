// Test support: a throwaway PostgreSQL cluster on loopback, and reading its rows back through libpq.
#include "tests/support/pg_server.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"

namespace qvtest {

namespace {

const char* const kBin = "/usr/lib/postgresql/15/bin";

std::string shellQuoted(const std::string& text) {
    std::string quoted;
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return "'" + quoted + "'";
}

// Runs a command, its output in `output`; its exit status.
int run(const std::string& command, std::string& output) {
    const std::string out = makeTempDir() + "/out";
    int status = std::system((command + " >" + shellQuoted(out) + " 2>&1").c_str());
    output = readFile(out);
    return status;
}

struct Connection {
    PGconn* conn;
    explicit Connection(const std::string& info) : conn(PQconnectdb(info.c_str())) {}
    ~Connection() { PQfinish(conn); }
};

// A value in one form for both engines, by the server's type of its column: Booleans true or
// false, single-precision reals by their float value, double-precision ones by all their digits.
std::string normalValue(Oid type, const std::string& text, bool isNull) {
    if (isNull) return "NULL";
    char buf[48];
    switch (type) {
        case 16: return text == "1" || text == "t" ? "true" : "false";
        case 700: std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(static_cast<float>(std::strtod(text.c_str(), nullptr)))); return buf;
        case 701: std::snprintf(buf, sizeof buf, "%.17g", std::strtod(text.c_str(), nullptr)); return buf;
        default: return text;
    }
}

}  // namespace

bool mirrorRunsOnServer() {
    const char* mirror = std::getenv("QV_TEST_SERVER_MIRROR");
    return mirror && *mirror;
}

std::string PgServer::differencesFrom(const std::string& path, const std::string& database) const {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "cannot open " + path;
    }
    std::vector<std::string> tables;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid", -1, &st, nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW) tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    Connection c(connection(database));
    std::string differences;
    if (PQstatus(c.conn) != CONNECTION_OK) differences = PQerrorMessage(c.conn);
    for (std::size_t t = 0; differences.empty() && t < tables.size(); ++t) {
        std::string quotedName = "\"";
        for (char ch : tables[t]) quotedName += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        quotedName += "\"";
        const std::string sql = "SELECT * FROM " + quotedName;
        PGresult* r = PQexec(c.conn, sql.c_str());
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            differences = tables[t] + ": " + PQresultErrorMessage(r);
            PQclear(r);
            break;
        }
        std::vector<std::string> onServer, inFile;
        for (int i = 0; i < PQntuples(r); ++i) {
            std::string line;
            for (int k = 0; k < PQnfields(r); ++k)
                line += "|" + normalValue(PQftype(r, k), PQgetvalue(r, i, k), PQgetisnull(r, i, k));
            onServer.push_back(line);
        }
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            std::string line;
            for (int k = 0; k < sqlite3_column_count(st) && k < PQnfields(r); ++k) {
                const bool isNull = sqlite3_column_type(st, k) == SQLITE_NULL;
                const Oid type = PQftype(r, k);
                std::string text;
                if (!isNull && (type == 700 || type == 701)) {
                    char buf[48];
                    std::snprintf(buf, sizeof buf, "%.17g", sqlite3_column_double(st, k));
                    text = buf;
                } else if (!isNull) {
                    text.assign(reinterpret_cast<const char*>(sqlite3_column_text(st, k)), static_cast<std::size_t>(sqlite3_column_bytes(st, k)));
                    // The server's texts hold the symbol for NUL where the file holds NUL.
                    for (std::size_t at; (at = text.find('\0')) != std::string::npos;) text.replace(at, 1, "\xE2\x90\x80");
                }
                line += "|" + normalValue(type, text, isNull);
            }
            inFile.push_back(line);
        }
        sqlite3_finalize(st);
        PQclear(r);
        std::sort(onServer.begin(), onServer.end());
        std::sort(inFile.begin(), inFile.end());
        if (onServer != inFile) {
            differences = tables[t] + ": " + std::to_string(inFile.size()) + " rows in the file, " +
                          std::to_string(onServer.size()) + " on the server";
            for (const std::string& row : inFile)
                if (!std::binary_search(onServer.begin(), onServer.end(), row)) differences += "\n  only in the file: " + row;
            for (const std::string& row : onServer)
                if (!std::binary_search(inFile.begin(), inFile.end(), row)) differences += "\n  only on the server: " + row;
        }
    }
    sqlite3_close(db);
    return differences;
}

std::string PgServer::asServerUser(const std::string& command) const {
    // The server refuses to run as root: the tests then start it as Debian's postgres account.
    if (::geteuid() == 0) return "runuser -u postgres -- sh -c " + shellQuoted(command);
    return "sh -c " + shellQuoted(command);
}

PgServer::PgServer() {
    if (::access((std::string(kBin) + "/initdb").c_str(), X_OK) != 0 || ::access("/usr/bin/openssl", X_OK) != 0) {
        skipReason_ = "PostgreSQL 15 or openssl is not installed";
        return;
    }
    if (::geteuid() == 0 && !::getpwnam("postgres")) {
        skipReason_ = "no postgres account to run the server as";
        return;
    }
    folder_ = makeTempDir();
    if (const passwd* pg = ::geteuid() == 0 ? ::getpwnam("postgres") : nullptr)
        if (::chown(folder_.c_str(), pg->pw_uid, pg->pw_gid) != 0) {
            failure_ = "cannot give the folder to postgres";
            return;
        }
    writeFile(folder_ + "/pw", password_ + "\n");
    std::string out;
    const std::string f = shellQuoted(folder_);
    // The certificate names localhost only: a client that verifies the name and reaches the
    // server as 127.0.0.1 is refused.
    const std::string setup =
        "cd " + f + " && umask 077 && " + kBin + "/initdb -D data -U qvadmin --auth=scram-sha-256 --pwfile=pw -E UTF8 "
        "--locale=C --no-sync >initdb.log 2>&1 && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
        "-nodes -keyout server.key -out server.crt -days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost "
        ">openssl.log 2>&1 && chmod 644 server.crt";
    if (run(asServerUser(setup), out) != 0) {
        failure_ = "initdb or openssl failed: " + out + readFile(folder_ + "/initdb.log") + readFile(folder_ + "/openssl.log");
        return;
    }
    port_ = freeLoopbackPort();
    writeFile(folder_ + "/extra.conf",
              "listen_addresses = '127.0.0.1'\nport = " + std::to_string(port_) + "\nunix_socket_directories = '" + folder_ +
                  "'\nssl = on\nssl_cert_file = '" + folder_ + "/server.crt'\nssl_key_file = '" + folder_ +
                  "/server.key'\npassword_encryption = 'scram-sha-256'\nmax_connections = 60\nshared_buffers = 16MB\n"
                  "fsync = off\nfull_page_writes = off\n");
    writeFile(folder_ + "/hba.conf", "local all all scram-sha-256\nhost all all 127.0.0.1/32 scram-sha-256\n");
    const std::string configure = "cd " + f + " && cat extra.conf >> data/postgresql.conf && cp hba.conf data/pg_hba.conf";
    if (run(asServerUser(configure), out) != 0) {
        failure_ = "configuration failed: " + out;
        return;
    }
    if (!start()) return;
}

PgServer& PgServer::instance() {
    static PgServer server;
    return server;
}

PgServer::~PgServer() {
    if (running_) {
        std::string out;
        run(asServerUser(std::string(kBin) + "/pg_ctl -D " + shellQuoted(folder_ + "/data") + " -m immediate -w stop"), out);
    }
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
}

bool PgServer::start() {
    std::string out;
    const std::string command = std::string(kBin) + "/pg_ctl -D " + shellQuoted(folder_ + "/data") + " -l " +
                                shellQuoted(folder_ + "/server.log") + " -w -t 60 start";
    if (run(asServerUser(command), out) != 0) {
        failure_ = "pg_ctl start failed: " + out + readFile(folder_ + "/server.log");
        return false;
    }
    running_ = true;
    return true;
}

bool PgServer::stop() {
    std::string out;
    const std::string command = std::string(kBin) + "/pg_ctl -D " + shellQuoted(folder_ + "/data") + " -m immediate -w stop";
    running_ = run(asServerUser(command), out) != 0;
    return !running_;
}

std::string PgServer::connection(const std::string& database) const {
    return "host=127.0.0.1 port=" + std::to_string(port_) + " dbname=" + database + " user=qvadmin password=" + password_ +
           " sslmode=require";
}

std::string PgServer::newDatabase() {
    const std::string name = "qv" + std::to_string(++databases_);
    std::string error;
    if (!exec("postgres", "CREATE DATABASE " + name, &error)) ADD_FAILURE() << "CREATE DATABASE: " << error;
    return name;
}

bool PgServer::exec(const std::string& database, const std::string& sql, std::string* error) const {
    Connection c(connection(database));
    if (PQstatus(c.conn) != CONNECTION_OK) {
        if (error) *error = PQerrorMessage(c.conn);
        return false;
    }
    PGresult* r = PQexec(c.conn, sql.c_str());
    bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    if (!ok && error) *error = PQresultErrorMessage(r);
    PQclear(r);
    return ok;
}

std::vector<std::vector<std::string>> PgServer::values(const std::string& database, const std::string& sql) const {
    Connection c(connection(database));
    std::vector<std::vector<std::string>> rows;
    if (PQstatus(c.conn) != CONNECTION_OK) {
        ADD_FAILURE() << PQerrorMessage(c.conn);
        return rows;
    }
    PGresult* r = PQexec(c.conn, sql.c_str());
    if (PQresultStatus(r) != PGRES_TUPLES_OK) ADD_FAILURE() << sql << ": " << PQresultErrorMessage(r);
    for (int i = 0; i < PQntuples(r); ++i) {
        std::vector<std::string> row;
        for (int k = 0; k < PQnfields(r); ++k) row.push_back(PQgetisnull(r, i, k) ? "NULL" : PQgetvalue(r, i, k));
        rows.push_back(row);
    }
    PQclear(r);
    return rows;
}

std::vector<std::string> PgServer::rows(const std::string& database, const std::string& sql) const {
    std::vector<std::string> joined;
    for (const auto& row : values(database, sql)) {
        std::string line;
        for (std::size_t k = 0; k < row.size(); ++k) line += (k ? "|" : "") + row[k];
        joined.push_back(line);
    }
    return joined;
}

}  // namespace qvtest

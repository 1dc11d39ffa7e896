// One libpq connection whose every wait is bounded: connecting, sending and reading in pipeline mode.
#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace qv::database::postgresql {

// A statement and its parameters, each in text form (nullopt: Null) with its type.
struct Statement {
    std::string sql;
    std::vector<std::optional<std::string>> values;
    std::vector<Oid> types;  // empty, or one per value
};

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using PgResult = std::unique_ptr<PGresult, ResultDeleter>;

// What became of one statement of an exchange.
struct Answer {
    PgResult result;       // its result; null when the statement was skipped after an earlier error
    bool ok = false;       // a command or rows, no error
    std::string sqlState;  // the server's code of an error ("23505"), else empty
    std::string message;   // the error in one line, else empty
};

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects with the connection string or URI (libpq's environment variables, service and
    // password files apply) within `waitMs`; server-side statement and lock waits are bounded by
    // the same. Else the reason.
    Result<Done> open(const std::string& connection, int waitMs);
    bool isOpen() const { return conn_ != nullptr; }
    // Closes a connection the server has ended, or begun to end, while it was idle (a restart,
    // an idle timeout), so the next statement goes over a new one; costs no round trip.
    void dropIfEnded();
    void close();

    // Sends the statements in one pipeline and reads every answer, waiting at most `waitMs`
    // beyond the server's own bound: each statement's answer (after the first error the rest are
    // skipped), or, with the connection closed, the reason the server was lost or did not answer.
    Result<std::vector<Answer>> exchange(const std::vector<Statement>& statements);

private:
    Result<Done> awaitReady(std::chrono::steady_clock::time_point deadline);
    // Closes the connection; the failure with its reason.
    CallError closedBecause(std::string why);
    std::string lastError() const;
    PGconn* conn_ = nullptr;
    int waitMs_ = 0;
};

// A libpq message in one line, without its trailing line end.
std::string oneLine(const std::string& message);

}  // namespace qv::database::postgresql

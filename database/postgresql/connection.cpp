// The bounded libpq connection: a non-blocking connect, pipelined statements and answers read against a deadline.
#include "database/postgresql/connection.h"

#include <poll.h>

namespace qv::database::postgresql {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

std::string noAnswer(int waitMs) { return "the server did not answer within " + std::to_string(waitMs) + " ms"; }

}  // namespace

std::string oneLine(const std::string& message) {
    std::string line;
    for (std::size_t i = 0; i < message.size(); ++i) {
        char c = message[i];
        if (c == '\n' || c == '\r' || c == '\t') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

Connection::~Connection() { close(); }

void Connection::close() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

void Connection::dropIfEnded() {
    if (!conn_) return;
    pollfd p{PQsocket(conn_), POLLIN, 0};
    // An idle connection has nothing to read unless the server is ending it (its last message,
    // then the end of the stream) or, rarely, reports a changed setting: either way a new
    // connection is the safe one.
    if (PQstatus(conn_) == CONNECTION_BAD || ::poll(&p, 1, 0) != 0) close();
}

CallError Connection::closedBecause(std::string why) {
    close();
    return CallError::because(std::move(why));
}

std::string Connection::lastError() const { return conn_ ? oneLine(PQerrorMessage(conn_)) : std::string(); }

Result<Done> Connection::open(const std::string& connection, int waitMs) {
    close();
    waitMs_ = waitMs;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    // The connection text is expanded by libpq itself (dbname with expand_dbname), so a URI, a
    // key/value string and a service name all work; the program only adds what the user left out.
    const char* keys[] = {"dbname", "fallback_application_name", "client_encoding", nullptr};
    const char* values[] = {connection.c_str(), "qv", "UTF8", nullptr};
    conn_ = PQconnectStartParams(keys, values, 1);
    if (!conn_) return CallError::because("out of memory");
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    if (PQstatus(conn_) == CONNECTION_BAD) return closedBecause(lastError());
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK) {
        if (state == PGRES_POLLING_FAILED) return closedBecause(lastError());
        pollfd p{PQsocket(conn_), static_cast<short>(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        int left = msLeft(deadline);
        if (left == 0 || ::poll(&p, 1, left) == 0) return closedBecause(noAnswer(waitMs));
        state = PQconnectPoll(conn_);
    }
    if (PQsetnonblocking(conn_, 1) != 0 || PQenterPipelineMode(conn_) != 1) {
        return closedBecause(lastError());
    }
    // The server ends a statement or a lock wait past the limit itself, with its own reason.
    const std::string bound = std::to_string(waitMs);
    Result<std::vector<Answer>> answers =
        exchange({{"SELECT set_config('statement_timeout', $1, false), set_config('lock_timeout', $1, false)", {bound}, {}}});
    if (!answers) return answers.error();
    if (!(*answers)[0].ok) return closedBecause((*answers)[0].message);
    return Done{};
}

// Sends what libpq holds and reads what arrives until a result can be had without blocking.
Result<Done> Connection::awaitReady(Clock::time_point deadline) {
    for (;;) {
        int flushed = PQflush(conn_);
        if (flushed < 0) return CallError::because(lastError());
        if (!PQisBusy(conn_)) return Done{};
        pollfd p{PQsocket(conn_), static_cast<short>(POLLIN | (flushed == 1 ? POLLOUT : 0)), 0};
        int left = msLeft(deadline);
        if (left == 0 || ::poll(&p, 1, left) == 0) return CallError::because(noAnswer(waitMs_));
        if ((p.revents & (POLLIN | POLLERR | POLLHUP)) && !PQconsumeInput(conn_)) {
            return CallError::because(lastError());
        }
    }
}

Result<std::vector<Answer>> Connection::exchange(const std::vector<Statement>& statements) {
    std::vector<Answer> answers;
    if (!conn_) return CallError::because("not connected");
    // The server's own bound comes first; this one catches a server that stopped answering.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs_ + 1000);
    for (const Statement& s : statements) {
        std::vector<const char*> values;
        for (const auto& v : s.values) values.push_back(v ? v->c_str() : nullptr);
        if (!PQsendQueryParams(conn_, s.sql.c_str(), static_cast<int>(values.size()), s.types.empty() ? nullptr : s.types.data(),
                               values.data(), nullptr, nullptr, 0)) {
            return closedBecause(lastError());
        }
    }
    if (!PQpipelineSync(conn_)) return closedBecause(lastError());
    answers.resize(statements.size());
    std::size_t i = 0;
    for (;;) {
        if (Result<Done> ready = awaitReady(deadline); !ready) return closedBecause(ready.error().why());
        PGresult* raw = PQgetResult(conn_);
        if (PQstatus(conn_) == CONNECTION_BAD) {
            if (raw) PQclear(raw);
            return closedBecause(lastError());
        }
        if (!raw) {
            ++i;  // the end of one statement's results
            continue;
        }
        PgResult r(raw);
        ExecStatusType status = PQresultStatus(raw);
        if (status == PGRES_PIPELINE_SYNC) break;
        if (i >= answers.size()) continue;
        Answer& a = answers[i];
        if (a.result) continue;
        a.ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (status == PGRES_FATAL_ERROR || status == PGRES_NONFATAL_ERROR) {
            const char* state = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
            a.sqlState = state ? state : "";
            const char* primary = PQresultErrorField(raw, PG_DIAG_MESSAGE_PRIMARY);
            a.message = oneLine(primary ? primary : PQresultErrorMessage(raw));
        }
        if (status == PGRES_PIPELINE_ABORTED) r.reset();
        a.result = std::move(r);
    }
    if (PQstatus(conn_) == CONNECTION_BAD) return closedBecause(lastError());
    return answers;
}

}  // namespace qv::database::postgresql

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

std::string Connection::lastError() const { return conn_ ? oneLine(PQerrorMessage(conn_)) : std::string(); }

bool Connection::open(const std::string& connection, int waitMs, std::string& why) {
    close();
    waitMs_ = waitMs;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    // The connection text is expanded by libpq itself (dbname with expand_dbname), so a URI, a
    // key/value string and a service name all work; the program only adds what the user left out.
    const char* keys[] = {"dbname", "fallback_application_name", "client_encoding", nullptr};
    const char* values[] = {connection.c_str(), "qv", "UTF8", nullptr};
    conn_ = PQconnectStartParams(keys, values, 1);
    if (!conn_) {
        why = "out of memory";
        return false;
    }
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    if (PQstatus(conn_) == CONNECTION_BAD) {
        why = lastError();
        close();
        return false;
    }
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK) {
        if (state == PGRES_POLLING_FAILED) {
            why = lastError();
            close();
            return false;
        }
        pollfd p{PQsocket(conn_), static_cast<short>(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        int left = msLeft(deadline);
        if (left == 0 || ::poll(&p, 1, left) == 0) {
            why = noAnswer(waitMs);
            close();
            return false;
        }
        state = PQconnectPoll(conn_);
    }
    if (PQsetnonblocking(conn_, 1) != 0 || PQenterPipelineMode(conn_) != 1) {
        why = lastError();
        close();
        return false;
    }
    // The server ends a statement or a lock wait past the limit itself, with its own reason.
    const std::string bound = std::to_string(waitMs);
    std::vector<Answer> answers;
    if (!exchange({{"SELECT set_config('statement_timeout', $1, false), set_config('lock_timeout', $1, false)",
                    {bound},
                    {}}},
                  answers, why))
        return false;
    if (!answers[0].ok) {
        why = answers[0].message;
        close();
        return false;
    }
    return true;
}

// Sends what libpq holds and reads what arrives until a result can be had without blocking.
bool Connection::awaitReady(Clock::time_point deadline, std::string& why) {
    for (;;) {
        int flushed = PQflush(conn_);
        if (flushed < 0) {
            why = lastError();
            return false;
        }
        if (!PQisBusy(conn_)) return true;
        pollfd p{PQsocket(conn_), static_cast<short>(POLLIN | (flushed == 1 ? POLLOUT : 0)), 0};
        int left = msLeft(deadline);
        if (left == 0 || ::poll(&p, 1, left) == 0) {
            why = noAnswer(waitMs_);
            return false;
        }
        if ((p.revents & (POLLIN | POLLERR | POLLHUP)) && !PQconsumeInput(conn_)) {
            why = lastError();
            return false;
        }
    }
}

bool Connection::exchange(const std::vector<Statement>& statements, std::vector<Answer>& answers, std::string& why) {
    answers.clear();
    if (!conn_) {
        why = "not connected";
        return false;
    }
    // The server's own bound comes first; this one catches a server that stopped answering.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs_ + 1000);
    for (const Statement& s : statements) {
        std::vector<const char*> values;
        for (const auto& v : s.values) values.push_back(v ? v->c_str() : nullptr);
        if (!PQsendQueryParams(conn_, s.sql.c_str(), static_cast<int>(values.size()), s.types.empty() ? nullptr : s.types.data(),
                               values.data(), nullptr, nullptr, 0)) {
            why = lastError();
            close();
            return false;
        }
    }
    if (!PQpipelineSync(conn_)) {
        why = lastError();
        close();
        return false;
    }
    answers.resize(statements.size());
    std::size_t i = 0;
    for (;;) {
        if (!awaitReady(deadline, why)) {
            close();
            return false;
        }
        PGresult* raw = PQgetResult(conn_);
        if (PQstatus(conn_) == CONNECTION_BAD) {
            if (raw) PQclear(raw);
            why = lastError();
            close();
            return false;
        }
        if (!raw) {
            ++i;  // the end of one statement's results
            continue;
        }
        Result r(raw);
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
    if (PQstatus(conn_) == CONNECTION_BAD) {
        why = lastError();
        close();
        return false;
    }
    return true;
}

}  // namespace qv::database::postgresql

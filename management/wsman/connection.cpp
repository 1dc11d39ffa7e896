// Enumerations, custom actions and files of a Windows computer over WS-Management.
#include "management/wsman/connection.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "management/errors.h"
#include "management/wql.h"
#include "management/wsman/errors.h"
#include "management/wsman/faults.h"
#include "management/wsman/xml.h"
#include "platform/text.h"

namespace qv::management::wsman {

namespace {

using Clock = std::chrono::steady_clock;

// Most classes come back whole in the Enumerate's answer; MaxEnvelopeSize still bounds a batch.
constexpr int kMaxElements = 20000;
// The longest OperationTimeout a server is asked to wait.
constexpr int kMaxOperationMs = 60000;

// A whole call's time: each request gets what is left, and asks the server to give up a little
// before that so that its TimedOut fault arrives within the limit.
struct Budget {
    Clock::time_point end;
    explicit Budget(int ms) : end(Clock::now() + std::chrono::milliseconds(ms)) {}
    int left() const {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        return ms < 1 ? 0 : static_cast<int>(ms);
    }
    static int operationMs(int left) {
        int margin = std::min(left / 10, 2000);
        return std::min(kMaxOperationMs, std::max(1, left - margin));
    }
};

std::string lower(const std::string& s) { return text::asciiLower(s); }

CallError timedOut() {
    CallError e = CallError::of(kErrTimedOut, kErrTimedOutText);
    e.limitReached = true;
    return e;
}

// A WQL string literal: backslashes and quotes doubled.
std::string wqlLiteral(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + "'";
}

DateTime dateTimeOf(const std::string& wmi) {
    DateTime d;
    auto num = [&](std::size_t at, std::size_t n) { return std::stoi(wmi.substr(at, n)); };
    d.year = num(0, 4), d.month = num(4, 2), d.day = num(6, 2);
    d.hour = num(8, 2), d.minute = num(10, 2), d.second = num(12, 2);
    return d;
}

bool isWmiDatetime(const std::string& s) {
    if (s.size() < 14) return false;
    for (std::size_t i = 0; i < 14; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

}  // namespace

// One operation: an enumeration or a custom action, with all it takes to be sent over any session.
struct WsmanConnection::Operation {
    bool enumeration = true;
    std::string resourceUri, wql, className;  // an enumeration
    std::string method;                       // a custom action
    std::vector<std::pair<std::string, std::string>> parameters, selectors;
    bool registry = false;
    int view = 0;            // a registry call's view
    bool keep = true;        // an answer that succeeded is kept for the computer's later calls
    bool keepEmpty = true;   // an empty enumeration is kept too (a file not found is asked again)
    std::string bound;       // the class whose limit the call counts against
    std::string key;         // the same key for the same operation
};

// An operation's answer, in the queue, in flight, or there.
struct WsmanConnection::Job {
    explicit Job(Operation o) : op(std::move(o)) {}
    Operation op;
    bool started = false, queued = false, done = false, retried = false;
    int avoid = -1;  // the worker whose connection was lost under it: retried on another
    std::optional<Result<Instances>> instances;
    std::optional<Result<MethodOutput>> output;

    bool failed() const { return op.enumeration ? !instances || !*instances : !output || !*output; }
    const CallError* error() const {
        if (op.enumeration) return instances && !*instances ? &instances->error() : nullptr;
        return output && !*output ? &output->error() : nullptr;
    }
    void fail(const CallError& e) {
        if (op.enumeration) instances = e;
        else output = e;
        done = true;
    }
};

// The worker threads and their queue.
struct WsmanConnection::Pool {
    std::mutex mutex;
    std::condition_variable work, answered;
    std::deque<std::shared_ptr<Job>> queue;
    std::vector<std::thread> threads;
    std::vector<Session*> sessions;  // of the workers alive, so that closing ends their exchanges
    int allowed = 1, live = 0, idle = 0;
    bool stopping = false;
};

// One request of a call: sent, its answer parsed, its failure turned into the call's error.
struct WsmanConnection::Call {
    Call(WsmanConnection& connection, Session& s, int ms) : c(connection), session(s), budget(ms) {}
    WsmanConnection& c;
    Session& session;
    Budget budget;
    pugi::xml_document doc;
    std::optional<Fault> fault;
    std::optional<CallError> error;
    bool lost = false;      // the connection broke: the caller may start over once
    bool refused = false;   // no connection could be made over a session that never had one
    bool tooBig = false;    // the server asked for a smaller envelope

    // True with `doc` holding an answer that is not a fault; otherwise `fault` or `error`.
    bool send(Request r) {
        fault.reset();
        error.reset();
        lost = refused = tooBig = false;
        const int left = budget.left();
        if (left == 0) {
            error = timedOut();
            return false;
        }
        r.to = session.endpoint().url;
        r.maxEnvelopeSize = c.envelopeSize_;
        r.timeoutMs = Budget::operationMs(left);
        const bool answeredBefore = session.answered();
        Exchange ex = session.send(envelope(r, newMessageId()), left);
        switch (ex.failure) {
            case Failure::None: break;
            case Failure::TimedOut: error = timedOut(); return false;
            case Failure::Lost:
            case Failure::Unreachable:
            case Failure::Handshake:
                lost = true;
                refused = !answeredBefore && !session.answered();
                error = c.lostError();
                return false;
            case Failure::Refused: error = CallError::of(kErrAccessDenied, kErrAccessDeniedText); return false;
            default:
                error = CallError::of(kErrWsmanProtocol, "WS-Management answer of " + session.endpoint().computer +
                                                             " not understood: " + ex.why + " ");
                return false;
        }
        if (ex.status == 413) {
            tooBig = true;
            error = CallError::of(static_cast<std::int32_t>(0x80041044u), "Too much data ");
            return false;
        }
        std::string why;
        if (!parseAnswer(ex.soap, doc, why)) {
            error = CallError::of(kErrWsmanProtocol, "WS-Management answer of " + session.endpoint().computer +
                                                         " not understood: " + why + " (HTTP " +
                                                         std::to_string(ex.status) + ") ");
            return false;
        }
        if ((fault = faultOf(doc))) {
            if (kindOf(*fault) == FaultKind::EncodingLimit) tooBig = true;
            error = callErrorOf(*fault);
            return false;
        }
        if (ex.status != 200) {
            error = CallError::of(kErrWsmanProtocol, "HTTP " + std::to_string(ex.status) + " from " +
                                                         session.endpoint().computer + " ");
            return false;
        }
        return true;
    }
};

WsmanConnection::WsmanConnection(std::unique_ptr<Session> session, const Limits& limits, int connections)
    : session_(std::move(session)), endpoint_(session_->endpoint()), limits_(limits) {
    if (connections > 1) {
        pool_ = std::make_unique<Pool>();
        pool_->allowed = connections;
    }
}

WsmanConnection::~WsmanConnection() {
    if (!pool_) return;
    {
        std::lock_guard<std::mutex> lock(pool_->mutex);
        pool_->stopping = true;
        for (const std::shared_ptr<Job>& job : pool_->queue) job->fail(lostError());
        pool_->queue.clear();
        // Exchanges still in flight answer calls no one waits for any more: ended now.
        for (Session* s : pool_->sessions) s->abort();
    }
    pool_->work.notify_all();
    pool_->answered.notify_all();
    for (std::thread& t : pool_->threads) t.join();
}

int WsmanConnection::connectionsAllowed() const {
    if (!pool_) return 1;
    std::lock_guard<std::mutex> lock(pool_->mutex);
    return pool_->allowed;
}

CallError WsmanConnection::lostError() const {
    CallError e = CallError::of(kErrWsmanLost, "Connection to " + endpoint_.computer + " lost ");
    e.connectionLost = true;
    return e;
}

// ---- Operations and their keys -------------------------------------------------------------

WsmanConnection::Operation WsmanConnection::enumeration(const std::string& wql, const std::string& className) const {
    Operation op;
    op.resourceUri = std::string(kCimv2Uri) + "*";
    op.wql = wql;
    op.className = className;
    op.bound = className;
    std::optional<wql::Query> q = wql::parse(wql);
    // Every query of a whole class is the same enumeration, however it is written.
    op.key = q && !q->condition ? "E\nselect * from " + lower(q->className) : "E\n" + wql;
    return op;
}

WsmanConnection::Operation WsmanConnection::registryCall(
    const std::string& method, std::vector<std::pair<std::string, std::string>> parameters, int view) const {
    Operation op;
    op.enumeration = false;
    op.resourceUri = kRegistryUri;
    op.method = method;
    op.parameters = std::move(parameters);
    op.registry = true;
    op.view = view;
    op.bound = "StdRegProv";
    op.key = "M\n" + method + "\n" + std::to_string(view);
    for (const auto& [name, value] : op.parameters) op.key += "\n" + name + "=" + value;
    return op;
}

WsmanConnection::Operation WsmanConnection::dataFileQuery(const std::string& path) const {
    Operation op = enumeration("SELECT * FROM CIM_DataFile WHERE Name = " + wqlLiteral(path), "CIM_DataFile");
    op.keepEmpty = false;  // a file that was not there yet is looked for again when asked again
    return op;
}

WsmanConnection::Operation WsmanConnection::operationOf(const Ask& ask) const {
    const int view = ask.view ? *ask.view : registryView_;
    const std::string hive = std::to_string(ask.hive);
    switch (ask.kind) {
        case Ask::Kind::Subkeys: return registryCall("EnumKey", {{"hDefKey", hive}, {"sSubKeyName", ask.text}}, view);
        case Ask::Kind::ValueNames:
            return registryCall("EnumValues", {{"hDefKey", hive}, {"sSubKeyName", ask.text}}, view);
        case Ask::Kind::StringValue:
            return registryCall("GetStringValue",
                                {{"hDefKey", hive}, {"sSubKeyName", ask.text}, {"sValueName", ask.valueName}}, view);
        case Ask::Kind::File: return dataFileQuery(ask.text);
        case Ask::Kind::Query: break;
    }
    std::optional<wql::Query> q = wql::parse(ask.text);
    return enumeration(ask.text, q ? q->className : std::string());
}

// ---- Answers: kept, in flight, or sent now --------------------------------------------------

void WsmanConnection::startWorkerLocked() {
    Pool& p = *pool_;
    while (!p.stopping && p.live < p.allowed && static_cast<std::size_t>(p.idle) < p.queue.size()) {
        // The first worker takes the session the connection was opened with; the others open
        // their own, each authenticated by its own first request.
        std::unique_ptr<Session> s =
            session_ ? std::move(session_) : std::make_unique<Session>(endpoint_, limits_.connectMs);
        p.sessions.push_back(s.get());
        ++p.live;
        ++p.idle;  // counted idle until it takes its first job
        const int index = static_cast<int>(p.threads.size());
        p.threads.emplace_back([this, index, s = std::move(s)]() mutable { work(index, std::move(s)); });
    }
}

void WsmanConnection::prefetch(const std::vector<Ask>& asks) {
    if (!pool_) return;
    std::lock_guard<std::mutex> lock(pool_->mutex);
    if (pool_->stopping) return;
    for (const Ask& ask : asks) {
        Operation op = operationOf(ask);
        if (op.className.empty() && op.enumeration) continue;  // not a query: the call itself says so
        std::shared_ptr<Job>& slot = jobs_[op.key];
        if (slot) continue;
        slot = std::make_shared<Job>(std::move(op));
        slot->started = slot->queued = true;
        pool_->queue.push_back(slot);
    }
    startWorkerLocked();
    pool_->work.notify_all();
}

std::shared_ptr<WsmanConnection::Job> WsmanConnection::answered(const Operation& op) {
    if (!pool_) {
        std::shared_ptr<Job> job = op.keep ? jobs_[op.key] : nullptr;
        if (!job) {
            job = std::make_shared<Job>(op);
            Escalation none = Escalation::None;
            run(*job, *session_, false, none);
            job->done = true;
            if (op.keep && !job->failed() && (op.keepEmpty || !job->instances || !(*job->instances)->empty()))
                jobs_[op.key] = job;
            else
                jobs_.erase(op.key);
        }
        return job;
    }
    std::unique_lock<std::mutex> lock(pool_->mutex);
    std::shared_ptr<Job> job;
    if (op.keep) {
        std::shared_ptr<Job>& slot = jobs_[op.key];
        if (!slot) slot = std::make_shared<Job>(op);
        job = slot;
    } else {
        job = std::make_shared<Job>(op);
    }
    if (!job->done) {
        if (pool_->stopping) {
            job->fail(lostError());
        } else if (!job->started || job->queued) {
            // Wanted now: ahead of everything sent ahead.
            if (job->queued) pool_->queue.erase(std::find(pool_->queue.begin(), pool_->queue.end(), job));
            job->started = job->queued = true;
            pool_->queue.push_front(job);
            startWorkerLocked();
            pool_->work.notify_all();
        }
        pool_->answered.wait(lock, [&] { return job->done; });
    }
    const bool keep = op.keep && !job->failed() && (op.keepEmpty || !job->instances || !(*job->instances)->empty());
    if (!keep) {
        auto it = jobs_.find(op.key);
        if (it != jobs_.end() && it->second == job) jobs_.erase(it);
    }
    return job;
}

Result<Instances> WsmanConnection::enumerated(const Operation& op) { return *answered(op)->instances; }

Result<MethodOutput> WsmanConnection::invoked(const Operation& op) { return *answered(op)->output; }

void WsmanConnection::run(Job& job, Session& session, bool pooled, Escalation& escalation) {
    escalation = Escalation::None;
    if (job.op.enumeration) job.instances = enumerate(session, job.op, pooled, escalation);
    else job.output = invoke(session, job.op, pooled, escalation);
}

// Answered, or failed at last: the callers waiting for it go on. A call that reached its limit
// ends the calls of its class still queued (they would wait as long, and the run takes the first
// as the class's answer); a connection lost twice ends every call still queued.
void WsmanConnection::finishLocked(const std::shared_ptr<Job>& job) {
    Pool& p = *pool_;
    job->done = true;
    if (const CallError* e = job->error()) {
        if (e->limitReached || e->connectionLost) {
            const CallError failure = *e;
            for (auto it = p.queue.begin(); it != p.queue.end();) {
                if (failure.connectionLost || (*it)->op.bound == job->op.bound) {
                    (*it)->queued = false;
                    (*it)->fail(failure);
                    it = p.queue.erase(it);
                } else {
                    ++it;
                }
            }
        }
    }
    p.answered.notify_all();
}

void WsmanConnection::work(int index, std::unique_ptr<Session> session) {
    Pool& p = *pool_;
    std::unique_lock<std::mutex> lock(p.mutex);
    for (;;) {
        if (p.stopping || p.live > p.allowed) break;  // closing, or one connection fewer wanted
        auto it = p.queue.begin();
        while (it != p.queue.end() && (*it)->avoid == index && p.live > 1) ++it;
        if (it == p.queue.end()) {
            p.work.wait(lock);
            continue;
        }
        std::shared_ptr<Job> job = *it;
        p.queue.erase(it);
        job->queued = false;
        --p.idle;
        const bool pooled = p.live > 1;
        lock.unlock();
        Escalation escalation = Escalation::None;
        run(*job, *session, pooled, escalation);
        lock.lock();
        ++p.idle;
        if (p.stopping) {
            finishLocked(job);
            break;
        }
        if (escalation == Escalation::Quota || escalation == Escalation::Refused) {
            // The computer takes fewer connections: one fewer, and the request again.
            if (p.live > 1) p.allowed = std::min(p.allowed, p.live - 1);
            job->queued = true;
            p.queue.push_front(job);
            p.work.notify_all();
            if (escalation == Escalation::Refused && p.live > 1 && p.live > p.allowed) break;
            continue;
        }
        if (escalation == Escalation::Lost && !job->retried) {
            // Only this connection's request failed: once more, over another.
            job->retried = true;
            job->avoid = index;
            job->queued = true;
            p.queue.push_front(job);
            p.work.notify_all();
            continue;
        }
        finishLocked(job);
    }
    --p.live;
    --p.idle;
    p.sessions.erase(std::find(p.sessions.begin(), p.sessions.end(), session.get()));
    if (!p.queue.empty()) startWorkerLocked();
    p.work.notify_all();
    lock.unlock();
    session.reset();
}

// ---- The two kinds of request ---------------------------------------------------------------

Result<Instances> WsmanConnection::enumerate(Session& session, const Operation& op, bool pooled,
                                             Escalation& escalation) {
    const std::string& resourceUri = op.resourceUri;
    const std::string& className = op.className;
    Call call(*this, session, limits_.queryMs);
    bool quotaWaited = false, restarted = false;
    for (;;) {
        Instances all;
        Request r;
        r.resourceUri = resourceUri;
        r.action = action::enumerate;
        r.body = enumerateBody(op.wql, kMaxElements);
        bool ok = call.send(r);
        std::string context;
        Batch batch;
        std::string why;
        if (ok) {
            if (!readBatch(call.doc, className, batch, why)) {
                return CallError::of(kErrWsmanProtocol, "WS-Management answer of " + endpoint_.computer +
                                                            " not understood: " + why + " ");
            }
            for (Instance& i : batch.items) all.push_back(std::move(i));
            context = batch.context;
            while (!batch.end) {
                Request pull;
                pull.resourceUri = resourceUri;
                pull.action = action::pull;
                pull.body = pullBody(context, kMaxElements);
                if (!(ok = call.send(pull))) break;
                if (!readBatch(call.doc, className, batch, why)) {
                    ok = false;
                    call.error = CallError::of(kErrWsmanProtocol, "WS-Management answer of " + endpoint_.computer +
                                                                      " not understood: " + why + " ");
                    break;
                }
                for (Instance& i : batch.items) all.push_back(std::move(i));
                if (!batch.context.empty()) context = batch.context;  // always the newest
            }
            if (ok) return all;
            // Left early with the enumeration still open on the server: released, briefly.
            if (!call.lost && !(call.fault && kindOf(*call.fault) == FaultKind::InvalidContext) && !context.empty()) {
                Call release(*this, session, std::min(limits_.queryMs, 2000));
                Request rel;
                rel.resourceUri = resourceUri;
                rel.action = action::release;
                rel.body = releaseBody(context);
                release.send(rel);
            }
        }
        const FaultKind kind = call.fault ? kindOf(*call.fault) : FaultKind::Failed;
        if (pooled && kind == FaultKind::Quota) {
            escalation = Escalation::Quota;
            return *call.error;
        }
        if (pooled && call.lost) {
            escalation = call.refused ? Escalation::Refused : Escalation::Lost;
            return *call.error;
        }
        if (kind == FaultKind::Quota && !quotaWaited) {
            // The user's quota of operations is spent for a moment: waited out, then once more.
            quotaWaited = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(call.budget.left() / 2, 2000)));
            continue;
        }
        if (call.tooBig && envelopeSize_ > kSmallEnvelopeSize) {
            envelopeSize_ = kSmallEnvelopeSize;
            continue;
        }
        if ((call.lost || kind == FaultKind::InvalidContext) && !restarted) {
            // A broken connection or an expired context: the enumeration once more from the start.
            restarted = true;
            continue;
        }
        return *call.error;
    }
}

Result<MethodOutput> WsmanConnection::invoke(Session& session, const Operation& op, bool pooled,
                                             Escalation& escalation) {
    Call call(*this, session, limits_.queryMs);
    Request r;
    r.resourceUri = op.resourceUri;
    r.action = op.resourceUri + "/" + op.method;
    r.body = methodBody(op.resourceUri, op.method, op.parameters);
    r.selectors = op.selectors;
    if (op.registry && op.view != 0) r.options.push_back({"__ProviderArchitecture", "xs:int", std::to_string(op.view)});
    bool ok = call.send(r);
    if (!ok && pooled && (call.lost || (call.fault && kindOf(*call.fault) == FaultKind::Quota))) {
        escalation = call.lost ? (call.refused ? Escalation::Refused : Escalation::Lost) : Escalation::Quota;
        return *call.error;
    }
    if (!ok && call.fault && kindOf(*call.fault) == FaultKind::Quota) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(call.budget.left() / 2, 2000)));
        ok = call.send(r);
    }
    if (!ok) return *call.error;
    MethodOutput out;
    std::string why;
    if (!readMethodOutput(call.doc, op.method, out, why))
        return CallError::of(kErrWsmanProtocol,
                             "WS-Management answer of " + endpoint_.computer + " not understood: " + why + " ");
    return out;
}

// ---- The calls ------------------------------------------------------------------------------

Result<std::int64_t> WsmanConnection::count(const std::string& className) {
    // The count is the number of instances the query of the class gives, and the same
    // enumeration then answers the query.
    Result<Instances> all = instances(className);
    if (!all) return all.error();
    return static_cast<std::int64_t>(all->size());
}

Result<Instances> WsmanConnection::instances(const std::string& className) {
    return enumerated(enumeration("Select * from " + className, className));
}

Result<Instances> WsmanConnection::query(const std::string& wql) {
    std::optional<wql::Query> q = wql::parse(wql);
    if (!q) return CallError::of(kErrInvalidQuery, kErrInvalidQueryText);
    return enumerated(enumeration(wql, q->className));
}

namespace {

std::int64_t returnValueOf(const MethodOutput& out) {
    auto it = out.find("ReturnValue");
    if (it == out.end() || it->second.texts.empty()) return -1;
    try {
        return std::stoll(it->second.texts[0]);
    } catch (...) {
        return -1;
    }
}

const std::vector<std::string>& textsOf(const MethodOutput& out, const char* name) {
    static const std::vector<std::string> none;
    auto it = out.find(name);
    return it == out.end() ? none : it->second.texts;
}

CallError providerRefused(std::int64_t code) {
    // The registry provider's own return value (2: the key or value does not exist).
    return CallError::of(static_cast<std::int32_t>(code), "Registry provider returned " + std::to_string(code) + " ");
}

}  // namespace

Result<std::vector<std::string>> WsmanConnection::subkeys(std::uint32_t hive, const std::string& key) {
    Result<MethodOutput> out = invoked(operationOf(Ask::subkeys(hive, key)));
    if (!out) return out.error();
    if (std::int64_t rv = returnValueOf(*out); rv != 0) return providerRefused(rv);
    return textsOf(*out, "sNames");
}

Result<RegistryValueNames> WsmanConnection::valueNames(std::uint32_t hive, const std::string& key) {
    Result<MethodOutput> out = invoked(operationOf(Ask::valueNames(hive, key)));
    if (!out) return out.error();
    if (std::int64_t rv = returnValueOf(*out); rv != 0) return providerRefused(rv);
    RegistryValueNames names;
    names.names = textsOf(*out, "sNames");
    for (const std::string& t : textsOf(*out, "Types")) {
        try {
            names.types.push_back(std::stoi(t));
        } catch (...) {
            names.types.push_back(0);
        }
    }
    if (names.types.size() != names.names.size()) names.types.resize(names.names.size(), 0);
    return names;
}

Result<std::string> WsmanConnection::stringValue(std::uint32_t hive, const std::string& key, const std::string& valueName) {
    Result<MethodOutput> out = invoked(operationOf(Ask::stringValue(hive, key, valueName)));
    if (!out) return out.error();
    if (std::int64_t rv = returnValueOf(*out); rv != 0) return providerRefused(rv);
    const std::vector<std::string>& v = textsOf(*out, "sValue");
    if (v.empty()) return providerRefused(1);
    return v[0];
}

bool WsmanConnection::selectRegistryView(int bits) {
    if (bits != 0 && bits != 32 && bits != 64) return false;
    registryView_ = bits;
    return true;
}

// A share's method: never kept, and the answers kept of shares' queries go, since the shares
// are no longer what they said.
Result<MethodOutput> WsmanConnection::shareMethod(const std::string& method,
                                                 std::vector<std::pair<std::string, std::string>> parameters,
                                                 std::vector<std::pair<std::string, std::string>> selectors) {
    Operation op;
    op.enumeration = false;
    op.resourceUri = std::string(kCimv2Uri) + "Win32_Share";
    op.method = method;
    op.parameters = std::move(parameters);
    op.selectors = std::move(selectors);
    op.keep = false;
    op.bound = "Win32_Share";
    op.key = "S\n" + std::to_string(++shareCalls_);
    {
        std::unique_lock<std::mutex> lock;
        if (pool_) lock = std::unique_lock<std::mutex>(pool_->mutex);
        for (auto it = jobs_.begin(); it != jobs_.end();) {
            if (it->second->done && text::equalsIgnoringCase(it->second->op.className, "Win32_Share")) it = jobs_.erase(it);
            else ++it;
        }
    }
    return invoked(op);
}

Result<std::int32_t> WsmanConnection::createShare(const std::string& path, const std::string& name, std::int32_t type,
                                                  const std::string& description) {
    Result<MethodOutput> out =
        shareMethod("Create", {{"Path", path}, {"Name", name}, {"Type", std::to_string(type)}, {"Description", description}}, {});
    if (!out) return kShareUnknownFailure;
    std::int64_t rv = returnValueOf(*out);
    return rv < 0 ? kShareUnknownFailure : static_cast<std::int32_t>(rv);
}

Result<Done> WsmanConnection::deleteShare(const Instance& share) {
    const Value& name = share.get("Name");
    if (name.kind != Value::Kind::Text) return CallError::of(static_cast<std::int32_t>(0x80041008u), "Invalid parameter ");
    Result<MethodOutput> out = shareMethod("Delete", {}, {{"Name", name.text}});
    if (!out) return out.error();
    if (std::int64_t rv = returnValueOf(*out); rv != 0)
        return CallError::of(static_cast<std::int32_t>(rv), "Win32_Share.Delete returned " + std::to_string(rv) + " ");
    return Done{};
}

Result<bool> WsmanConnection::fileExists(const std::string& path) {
    Result<Instances> found = enumerated(dataFileQuery(path));
    if (!found) return found.error();
    return !found->empty();
}

Result<FileFacts> WsmanConnection::fileFacts(const std::string& path) {
    Result<Instances> found = enumerated(dataFileQuery(path));
    if (!found) return found.error();
    FileFacts facts;
    if (found->empty()) return facts;
    const Instance& file = found->front();
    if (const Value& v = file.get("Version"); v.kind == Value::Kind::Text) facts.version = v.text;
    if (const Value& c = file.get("CreationDate"); c.kind == Value::Kind::Text && isWmiDatetime(c.text))
        facts.created = dateTimeOf(c.text);
    return facts;
}

}  // namespace qv::management::wsman

// Enumerations, custom actions and files of a Windows computer over WS-Management.
#include "management/wsman/connection.h"

#include <chrono>
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

// One request of a call: sent, its answer parsed, its failure turned into the call's error.
struct WsmanConnection::Call {
    Call(WsmanConnection& connection, int ms) : c(connection), budget(ms) {}
    WsmanConnection& c;
    Budget budget;
    pugi::xml_document doc;
    std::optional<Fault> fault;
    std::optional<CallError> error;
    bool lost = false;   // the connection broke: the caller may start over once
    bool tooBig = false; // the server asked for a smaller envelope

    // True with `doc` holding an answer that is not a fault; otherwise `fault` or `error`.
    bool send(Request r) {
        fault.reset();
        error.reset();
        lost = tooBig = false;
        const int left = budget.left();
        if (left == 0) {
            error = timedOut();
            return false;
        }
        r.to = c.session_->endpoint().url;
        r.maxEnvelopeSize = c.envelopeSize_;
        r.timeoutMs = Budget::operationMs(left);
        Exchange ex = c.session_->send(envelope(r, newMessageId()), left);
        switch (ex.failure) {
            case Failure::None: break;
            case Failure::TimedOut: error = timedOut(); return false;
            case Failure::Lost:
            case Failure::Unreachable:
            case Failure::Handshake:
                lost = true;
                error = c.lostError();
                return false;
            case Failure::Refused: error = CallError::of(kErrAccessDenied, kErrAccessDeniedText); return false;
            default:
                error = CallError::of(kErrWsmanProtocol, "WS-Management answer of " + c.session_->endpoint().computer +
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
            error = CallError::of(kErrWsmanProtocol, "WS-Management answer of " + c.session_->endpoint().computer +
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
                                                         c.session_->endpoint().computer + " ");
            return false;
        }
        return true;
    }
};

WsmanConnection::WsmanConnection(std::unique_ptr<Session> session, const Limits& limits)
    : session_(std::move(session)), limits_(limits) {}

CallError WsmanConnection::lostError() const {
    CallError e = CallError::of(kErrWsmanLost, "Connection to " + session_->endpoint().computer + " lost ");
    e.connectionLost = true;
    return e;
}

Result<Instances> WsmanConnection::enumerate(const std::string& resourceUri, const std::string& wql,
                                             const std::string& className) {
    Call call(*this, limits_.queryMs);
    bool quotaWaited = false, restarted = false;
    for (;;) {
        Instances all;
        Request r;
        r.resourceUri = resourceUri;
        r.action = action::enumerate;
        r.body = enumerateBody(wql, kMaxElements);
        bool ok = call.send(r);
        std::string context;
        Batch batch;
        std::string why;
        if (ok) {
            if (!readBatch(call.doc, className, batch, why)) {
                return CallError::of(kErrWsmanProtocol, "WS-Management answer of " + session_->endpoint().computer +
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
                    call.error = CallError::of(kErrWsmanProtocol, "WS-Management answer of " +
                                                                      session_->endpoint().computer +
                                                                      " not understood: " + why + " ");
                    break;
                }
                for (Instance& i : batch.items) all.push_back(std::move(i));
                if (!batch.context.empty()) context = batch.context;  // always the newest
            }
            if (ok) return all;
            // Left early with the enumeration still open on the server: released, briefly.
            if (!call.lost && !(call.fault && kindOf(*call.fault) == FaultKind::InvalidContext) && !context.empty()) {
                Call release(*this, std::min(limits_.queryMs, 2000));
                Request rel;
                rel.resourceUri = resourceUri;
                rel.action = action::release;
                rel.body = releaseBody(context);
                release.send(rel);
            }
        }
        const FaultKind kind = call.fault ? kindOf(*call.fault) : FaultKind::Failed;
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

Result<std::int64_t> WsmanConnection::count(const std::string& className) {
    Result<Instances> all = instances(className);
    if (!all) return all.error();
    countedClass_ = lower(className);
    counted_ = std::move(*all);
    return static_cast<std::int64_t>(counted_.size());
}

Result<Instances> WsmanConnection::instances(const std::string& className) {
    if (!countedClass_.empty() && countedClass_ == lower(className)) {
        countedClass_.clear();
        return std::move(counted_);
    }
    return enumerate(kCimv2Uri + className, "", className);
}

Result<Instances> WsmanConnection::query(const std::string& wql) {
    std::optional<wql::Query> q = wql::parse(wql);
    if (!q) return CallError::of(kErrInvalidQuery, kErrInvalidQueryText);
    return enumerate(std::string(kCimv2Uri) + "*", wql, q->className);
}

Result<MethodOutput> WsmanConnection::invoke(const std::string& resourceUri, const std::string& method,
                                             const std::vector<std::pair<std::string, std::string>>& parameters,
                                             const std::vector<std::pair<std::string, std::string>>& selectors,
                                             bool registry) {
    Call call(*this, limits_.queryMs);
    Request r;
    r.resourceUri = resourceUri;
    r.action = resourceUri + "/" + method;
    r.body = methodBody(resourceUri, method, parameters);
    r.selectors = selectors;
    if (registry && registryView_ != 0) r.options.push_back({"__ProviderArchitecture", "xs:int", std::to_string(registryView_)});
    bool ok = call.send(r);
    if (!ok && call.fault && kindOf(*call.fault) == FaultKind::Quota) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(call.budget.left() / 2, 2000)));
        ok = call.send(r);
    }
    if (!ok) return *call.error;
    MethodOutput out;
    std::string why;
    if (!readMethodOutput(call.doc, method, out, why))
        return CallError::of(kErrWsmanProtocol,
                             "WS-Management answer of " + session_->endpoint().computer + " not understood: " + why + " ");
    return out;
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
    Result<MethodOutput> out = invoke(kRegistryUri, "EnumKey", {{"hDefKey", std::to_string(hive)}, {"sSubKeyName", key}}, {}, true);
    if (!out) return out.error();
    if (std::int64_t rv = returnValueOf(*out); rv != 0) return providerRefused(rv);
    return textsOf(*out, "sNames");
}

Result<RegistryValueNames> WsmanConnection::valueNames(std::uint32_t hive, const std::string& key) {
    Result<MethodOutput> out =
        invoke(kRegistryUri, "EnumValues", {{"hDefKey", std::to_string(hive)}, {"sSubKeyName", key}}, {}, true);
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
    Result<MethodOutput> out = invoke(
        kRegistryUri, "GetStringValue",
        {{"hDefKey", std::to_string(hive)}, {"sSubKeyName", key}, {"sValueName", valueName}}, {}, true);
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

Result<std::int32_t> WsmanConnection::createShare(const std::string& path, const std::string& name, std::int32_t type,
                                                  const std::string& description) {
    Result<MethodOutput> out = invoke(std::string(kCimv2Uri) + "Win32_Share", "Create",
                                      {{"Path", path}, {"Name", name}, {"Type", std::to_string(type)},
                                       {"Description", description}},
                                      {}, false);
    if (!out) return kShareUnknownFailure;
    std::int64_t rv = returnValueOf(*out);
    return rv < 0 ? kShareUnknownFailure : static_cast<std::int32_t>(rv);
}

Result<Done> WsmanConnection::deleteShare(const Instance& share) {
    const Value& name = share.get("Name");
    if (name.kind != Value::Kind::Text) return CallError::of(static_cast<std::int32_t>(0x80041008u), "Invalid parameter ");
    Result<MethodOutput> out =
        invoke(std::string(kCimv2Uri) + "Win32_Share", "Delete", {}, {{"Name", name.text}}, false);
    if (!out) return out.error();
    if (std::int64_t rv = returnValueOf(*out); rv != 0)
        return CallError::of(static_cast<std::int32_t>(rv), "Win32_Share.Delete returned " + std::to_string(rv) + " ");
    return Done{};
}

Result<Instances> WsmanConnection::dataFile(const std::string& path) {
    return query("SELECT * FROM CIM_DataFile WHERE Name = " + wqlLiteral(path));
}

Result<bool> WsmanConnection::fileExists(const std::string& path) {
    Result<Instances> found = dataFile(path);
    if (!found) return found.error();
    return !found->empty();
}

Result<FileFacts> WsmanConnection::fileFacts(const std::string& path) {
    Result<Instances> found = dataFile(path);
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

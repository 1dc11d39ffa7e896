// qv-wsman-server: a WS-Management server answering from a fixture's computers, as Windows' WinRM
// service answers: Identify, SPNEGO (Kerberos or NTLM) with sealed messages over HTTP, Basic over
// HTTPS, enumerations with Pull and Release, the registry provider's and shares' methods, files
// from CIM_DataFile, faults as WinRM sends them, and hostile answers on request. For the tests and
// the benchmark only.
//
//   qv-wsman-server FIXTURE.json PORTS_FILE [--tls CERT KEY] [--basic USER:PASSWORD] [--batch N]
//                   [--port NAME=PORT]... [--hostile CLASS=MODE]... [--delay MS] [--stats FILE]
//                   [--max-connections N]
//   qv-wsman-server --example NAME...   prints the "wmi" member of example computers of these names
//   qv-wsman-server --realistic NAME... the same of realistic desktops (300 programs per view)
//
// Every reachable computer of the fixture gets a loopback port of its own; PORTS_FILE receives a
// line "NAME PORT" for each once all listen. NTLM users come from gss-ntlmssp's NTLM_USER_FILE,
// the Kerberos key from KRB5_KTNAME. Modes: drop (the connection ends at the first Pull, once),
// expire (the first Pull's context is unknown), quota (the first Enumerate is over the quota),
// encoding (the first Enumerate asks for a smaller envelope), endless, huge (100 MB), malformed,
// laughs (entity expansion), external (an external entity). --delay holds every answer MS ms (a
// network's round trip); --stats rewrites FILE after every answer with the counts so far:
// "requests N" (operations, authentication legs left out), "enumerations N" (Enumerates of classes),
// "files N" (Enumerates of CIM_DataFile), "registry N" (StdRegProv calls), "connections N" (TCP
// connections) and
// "most-at-once N" (the largest number of requests being served at the same time);
// --max-connections N closes at once every connection to a computer beyond N open ones, as a
// server out of connections refuses them.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "management/errors.h"
#include "fixture/computers.h"
#include "management/property_types.h"
#include "management/wql.h"
#include "management/wsman/gss.h"
#include "management/wsman/session.h"
#include "management/wsman/xml.h"
#include "fixture/platform.h"
#include "fixture/state.h"
#include "platform/text.h"
#include "tests/wsman-server/example.h"
#include "tests/wsman-server/http.h"

namespace qvwsman {

namespace ns = qv::management::wsman::ns;
using qv::Instance;
using qv::Instances;
using qv::Value;
using qv::management::CallError;
using qv::management::wsman::SecurityContext;

struct Options {
    std::string fixture, portsFile, cert, key, basic;
    std::size_t batch = 0;  // items per answer at most; 0: as many as the envelope holds
    std::map<std::string, unsigned> ports;  // upper-case name -> a port of its own (WS-Management's, say)
    std::map<std::string, std::string> hostile;  // upper-case class -> mode
    int maxConnections = 0;  // connections open at once per computer beyond it are closed at once; 0: any
    int delayMs = 0;         // every answer held this long
    std::string statsFile;  // the counts, rewritten after every answer
};

// What the server has served, for the tests' checks of the client's overlap and request count.
struct Stats {
    std::mutex mutex;
    long requests = 0, connections = 0;
    std::map<const void*, int> open;  // connections being served, by computer
    long enumerations = 0, files = 0, registry = 0;  // Enumerates of classes and of CIM_DataFile; StdRegProv calls
    int atOnce = 0, mostAtOnce = 0;
};

// An enumeration left open on the server: the items still to be pulled.
struct Open {
    std::vector<std::string> items;
    std::size_t next = 0;
    std::string className;
};

struct Server {
    Options options;
    std::unique_ptr<qv::fixture::FixturePlatform> fixture;
    SSL_CTX* tls = nullptr;
    std::mutex mutex;  // the enumerations and the hostile modes' counters
    std::map<std::string, Open> open;
    std::map<std::string, int> hostileUsed;  // mode+class -> times done
    Stats stats;
    // One request read: counted as being served until done() is called.
    void begin() {
        std::lock_guard<std::mutex> lock(stats.mutex);
        stats.mostAtOnce = std::max(stats.mostAtOnce, ++stats.atOnce);
    }
    void counted(long Stats::*what) {
        std::lock_guard<std::mutex> lock(stats.mutex);
        ++(stats.*what);
    }
    void done(bool operation) {
        std::lock_guard<std::mutex> lock(stats.mutex);
        --stats.atOnce;
        if (operation) ++stats.requests;
        if (options.statsFile.empty()) return;
        const std::string partial = options.statsFile + ".part";
        std::ofstream(partial) << "requests " << stats.requests << "\nenumerations " << stats.enumerations
                               << "\nfiles " << stats.files << "\nregistry " << stats.registry << "\nconnections "
                               << stats.connections << "\nmost-at-once " << stats.mostAtOnce << "\n";
        std::rename(partial.c_str(), options.statsFile.c_str());
    }
    // Takes a hostile mode for a class once: true the first time.
    bool firstTime(const std::string& mode, const std::string& cls) {
        std::lock_guard<std::mutex> lock(mutex);
        return hostileUsed[mode + "/" + cls]++ == 0;
    }
    std::string modeOf(const std::string& cls) {
        auto it = options.hostile.find(qv::text::asciiUpper(cls));
        return it == options.hostile.end() ? std::string() : it->second;
    }
};

std::string uuid() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char text[48];
    std::snprintf(text, sizeof text, "uuid:%016llX-%08X", static_cast<unsigned long long>(random()),
                  static_cast<unsigned>(random()));
    return text;
}

std::string esc(const std::string& s) { return qv::management::wsman::escape(s); }

// ---- The answers' XML ----------------------------------------------------------------------

std::string envelope(const std::string& action, const std::string& relatesTo, const std::string& body) {
    return std::string("<s:Envelope xmlns:s=\"") + ns::soap + "\" xmlns:a=\"" + ns::addressing + "\" xmlns:n=\"" +
           ns::enumeration + "\" xmlns:w=\"" + ns::wsman + "\">" +
           "<s:Header><a:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</a:To><a:Action>" + action +
           "</a:Action><a:MessageID>" + uuid() + "</a:MessageID><a:RelatesTo>" + esc(relatesTo) +
           "</a:RelatesTo></s:Header><s:Body>" + body + "</s:Body></s:Envelope>";
}

std::string identifyResponse() {
    return std::string("<s:Envelope xmlns:s=\"") + ns::soap + "\" xmlns:wsmid=\"" + ns::identity +
           "\"><s:Header/><s:Body><wsmid:IdentifyResponse><wsmid:ProtocolVersion>"
           "http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd</wsmid:ProtocolVersion><wsmid:ProductVendor>Microsoft "
           "Corporation</wsmid:ProductVendor><wsmid:ProductVersion>OS: 10.0.17763 SP: 0.0 Stack: "
           "3.0</wsmid:ProductVersion></wsmid:IdentifyResponse></s:Body></s:Envelope>";
}

// A fault as WinRM sends it: the SOAP code and subcode, the reason, and the WSManFault detail with
// an inner provider fault when the number is the management service's own.
std::string fault(const std::string& relatesTo, const char* code, const char* subcode, std::uint32_t wsmanCode,
                  std::uint32_t innerCode, const std::string& reason) {
    std::string detail = "<f:WSManFault xmlns:f=\"" + std::string(ns::fault) + "\" Code=\"" + std::to_string(wsmanCode) +
                         "\" Machine=\"localhost\"><f:Message>";
    if (innerCode)
        detail += "<f:ProviderFault provider=\"WMI Provider\"><f:WSManFault Code=\"" + std::to_string(innerCode) +
                  "\" Machine=\"localhost\"><f:Message>" + esc(reason) + "</f:Message></f:WSManFault></f:ProviderFault>";
    else
        detail += esc(reason);
    detail += "</f:Message></f:WSManFault>";
    std::string body = std::string("<s:Fault><s:Code><s:Value>s:") + code + "</s:Value><s:Subcode><s:Value>" + subcode +
                       "</s:Value></s:Subcode></s:Code><s:Reason><s:Text xml:lang=\"en-US\">" + esc(reason) +
                       "</s:Text></s:Reason><s:Detail>" + detail + "</s:Detail></s:Fault>";
    return envelope("http://schemas.dmtf.org/wbem/wsman/1/wsman/fault", relatesTo, body);
}

std::string faultOfError(const std::string& relatesTo, const CallError& e) {
    std::string reason = e.error.description;
    while (!reason.empty() && reason.back() == ' ') reason.pop_back();
    const auto number = static_cast<std::uint32_t>(e.error.number);
    if (e.limitReached || e.error.number == qv::management::kErrTimedOut)
        return fault(relatesTo, "Receiver", "w:TimedOut", 2150858793u, 0,
                     "The WS-Management service cannot complete the operation within the time specified in OperationTimeout.");
    if (e.error.number == qv::management::kErrInvalidClass)
        return fault(relatesTo, "Sender", "w:DestinationUnreachable", 2150858752u, 0,
                     "The WS-Management service cannot process the request. The WMI service returned an 'invalid "
                     "class' error.");
    if (number == 0x80070005u)
        return fault(relatesTo, "Sender", "w:AccessDenied", 5u, 0, "Access is denied.");
    return fault(relatesTo, "Receiver", "w:InternalError", 2150859193u, number, reason);
}

// A WMI date-time text as xs:dateTime ("20200102030405.000000+060" -> 2020-01-02T03:04:05.000000+01:00);
// empty for a text that is not one.
std::string xsDateTime(const std::string& w) {
    if (w.size() != 25 || w[14] != '.' || (w[21] != '+' && w[21] != '-')) return {};
    for (std::size_t i = 0; i < 25; ++i)
        if (i != 14 && i != 21 && !std::isdigit(static_cast<unsigned char>(w[i]))) return {};
    int offset = std::stoi(w.substr(22, 3));
    char text[48];
    std::snprintf(text, sizeof text, "%.4s-%.2s-%.2sT%.2s:%.2s:%.2s.%.6s%c%02d:%02d", w.c_str(), w.c_str() + 4,
                  w.c_str() + 6, w.c_str() + 8, w.c_str() + 10, w.c_str() + 12, w.c_str() + 15, w[21], offset / 60,
                  offset % 60);
    return text;
}

// A WMI interval text as xs:duration ("00000001020304.000000:000" -> P1DT2H3M4.000000S).
std::string xsDuration(const std::string& w) {
    if (w.size() != 25 || w[14] != '.' || w.substr(21) != ":000") return {};
    for (std::size_t i = 0; i < 21; ++i)
        if (i != 14 && !std::isdigit(static_cast<unsigned char>(w[i]))) return {};
    return "P" + std::to_string(std::stoll(w.substr(0, 8))) + "DT" + std::to_string(std::stoi(w.substr(8, 2))) + "H" +
           std::to_string(std::stoi(w.substr(10, 2))) + "M" + std::to_string(std::stoi(w.substr(12, 2))) + "." +
           w.substr(15, 6) + "S";
}

std::string scalarText(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Bool: return v.boolean ? "true" : "false";
        case Value::Kind::Int: return std::to_string(v.integer);
        case Value::Kind::Double: {
            char text[40];
            std::snprintf(text, sizeof text, "%.17g", v.real);
            return text;
        }
        case Value::Kind::Text: return v.text;
        default: return {};
    }
}

// One property element; a date-time goes in cim:Datetime (or cim:Interval) as WinRM writes it.
std::string propertyElement(const std::string& cls, const std::string& name, const Value& v) {
    if (v.kind == Value::Kind::Null) return "<p:" + name + " xsi:nil=\"true\"/>";
    if (v.kind == Value::Kind::List) {
        std::string out;
        for (const Value& e : v.list) out += propertyElement(cls, name, e);
        return out;
    }
    std::string text = scalarText(v);
    std::optional<qv::management::PropertyType> type = qv::management::propertyType(cls, name);
    if (type && type->type == qv::management::CimType::Datetime && v.kind == Value::Kind::Text) {
        if (std::string d = xsDateTime(text); !d.empty())
            return "<p:" + name + "><cim:Datetime>" + d + "</cim:Datetime></p:" + name + ">";
        if (std::string d = xsDuration(text); !d.empty())
            return "<p:" + name + "><cim:Interval>" + d + "</cim:Interval></p:" + name + ">";
    }
    return "<p:" + name + ">" + esc(text) + "</p:" + name + ">";
}

std::string itemOf(const std::string& cls, const Instance& i) {
    std::string out = "<p:" + cls + " xmlns:p=\"" + qv::management::wsman::kCimv2Uri + cls + "\" xmlns:cim=\"" + ns::cim +
                      "\" xmlns:xsi=\"" + ns::xsi + "\">";
    for (const auto& [name, value] : i.properties)
        if (value.readable()) out += propertyElement(cls, name, value);
    return out + "</p:" + cls + ">";
}

// ---- One request --------------------------------------------------------------------------

namespace wx = qv::management::wsman;

struct Soap {
    std::string action, resourceUri, messageId, body;  // body: the s:Body's first element, as text
    std::size_t maxEnvelope = 153600;
    int timeoutMs = 60000;
    std::map<std::string, std::string> selectors, options;
    pugi::xml_document doc;
    pugi::xml_node bodyElement;
};

int msOf(const std::string& duration) {  // PT60.000S
    if (duration.rfind("PT", 0) != 0) return 60000;
    return static_cast<int>(std::strtod(duration.c_str() + 2, nullptr) * 1000);
}

bool parseSoap(const std::string& text, Soap& out) {
    if (!out.doc.load_buffer(text.data(), text.size())) return false;
    pugi::xml_node env = out.doc.document_element();
    pugi::xml_node header = wx::childElement(env, ns::soap, "Header");
    pugi::xml_node body = wx::childElement(env, ns::soap, "Body");
    if (!body) return false;
    for (pugi::xml_node h = header.first_child(); h; h = h.next_sibling()) {
        const std::string_view local = wx::localName(h);
        if (local == "Action") out.action = wx::textOf(h);
        else if (local == "ResourceURI") out.resourceUri = wx::textOf(h);
        else if (local == "MessageID") out.messageId = wx::textOf(h);
        else if (local == "MaxEnvelopeSize") out.maxEnvelope = std::strtoull(wx::textOf(h).c_str(), nullptr, 10);
        else if (local == "OperationTimeout") out.timeoutMs = msOf(wx::textOf(h));
        else if (local == "SelectorSet" || local == "OptionSet")
            for (pugi::xml_node s = h.first_child(); s; s = s.next_sibling())
                if (s.type() == pugi::node_element)
                    (local == "SelectorSet" ? out.selectors : out.options)[s.attribute("Name").value()] = wx::textOf(s);
    }
    for (pugi::xml_node c = body.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element) {
            out.bodyElement = c;
            break;
        }
    return true;
}

pugi::xml_node child(pugi::xml_node n, const char* local) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && wx::localName(c) == local) return c;
    return {};
}

// What the answer is: SOAP (200 or 500) or a hostile body sent as it stands.
struct Answer {
    int status = 200;
    std::string soap;
    enum class Raw { None, Drop, Endless, Huge } raw = Raw::None;
};

class Handler {
public:
    Handler(Server& s, qv::fixture::Computer& c) : server_(s), computer_(c) {}

    Answer handle(Soap& r) {
        const std::string& a = r.action;
        if (!r.bodyElement || wx::localName(r.bodyElement) == "Identify") return {200, identifyResponse()};
        if (a == "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Enumerate") return enumerate(r);
        if (a == "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Pull") return pull(r);
        if (a == "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Release") {
            std::lock_guard<std::mutex> lock(server_.mutex);
            server_.open.erase(wx::textOf(child(r.bodyElement, "EnumerationContext")));
            return {200, envelope("http://schemas.xmlsoap.org/ws/2004/09/enumeration/ReleaseResponse", r.messageId, "")};
        }
        if (a.size() > r.resourceUri.size() && a.compare(0, r.resourceUri.size(), r.resourceUri) == 0 &&
            a[r.resourceUri.size()] == '/')
            return method(r, a.substr(r.resourceUri.size() + 1));
        return {500, fault(r.messageId, "Sender", "a:ActionNotSupported", 2150858771u, 0,
                           "The action is not supported by the service.")};
    }

private:
    std::unique_ptr<qv::management::TargetConnection> target(int timeoutMs) {
        return qv::fixture::targetOf(server_.fixture->state(), computer_, server_.fixture->files(), false, timeoutMs);
    }

    // CIM_DataFile by name: the computer's own files, found at once (no share is involved).
    Instances dataFile(const qv::management::wql::Query& q) {
        Instances out;
        std::string path;
        if (q.condition && qv::text::equalsIgnoringCase(q.condition->property, "Name")) path = q.condition->literal.text;
        std::lock_guard<std::mutex> lock(server_.fixture->state().mutex);
        if (qv::fixture::FixtureFile* f = computer_.files.find(path)) {
            Instance i;
            i.set("Name", Value::of(qv::text::asciiLower(path)));
            i.set("Version", f->hasVersion ? Value::of(f->version) : Value::null());
            if (f->hasCreated) {
                char text[32];
                std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d.000000+000", f->created.year,
                              f->created.month, f->created.day, f->created.hour, f->created.minute, f->created.second);
                i.set("CreationDate", Value::of(std::string(text)));
            } else {
                i.set("CreationDate", Value::null());
            }
            out.push_back(std::move(i));
        }
        return out;
    }

    Answer enumerate(Soap& r) {
        std::string cls;
        qv::management::Result<Instances> found = Instances{};
        if (r.resourceUri.size() > 2 && r.resourceUri.compare(r.resourceUri.size() - 2, 2, "/*") == 0) {
            std::string wql = wx::textOf(child(r.bodyElement, "Filter"));
            std::optional<qv::management::wql::Query> q = qv::management::wql::parse(wql);
            if (!q) return {500, fault(r.messageId, "Sender", "w:CannotProcessFilter", 2150858758u, 0,
                                       "The data source could not process the filter.")};
            cls = q->className;
            server_.counted(qv::text::equalsIgnoringCase(cls, "CIM_DataFile") ? &Stats::files : &Stats::enumerations);
            if (std::optional<Answer> h = hostileFirst(r, cls)) return *h;
            found = qv::text::equalsIgnoringCase(cls, "CIM_DataFile") ? dataFile(*q) : target(r.timeoutMs)->query(wql);
        } else {
            const std::string prefix = qv::management::wsman::kCimv2Uri;
            if (r.resourceUri.rfind(prefix, 0) != 0)
                return {500, fault(r.messageId, "Sender", "w:DestinationUnreachable", 2150858752u, 0,
                                   "The WS-Management service cannot process the request.")};
            cls = r.resourceUri.substr(prefix.size());
            server_.counted(&Stats::enumerations);
            if (std::optional<Answer> h = hostileFirst(r, cls)) return *h;
            found = target(r.timeoutMs)->instances(cls);
        }
        if (!found) return {500, faultOfError(r.messageId, found.error())};
        Open o;
        o.className = cls;
        for (const Instance& i : *found) o.items.push_back(itemOf(cls, i));
        return batch(r, std::move(o), true, static_cast<bool>(child(r.bodyElement, "OptimizeEnumeration")));
    }

    // The hostile answers that replace an Enumerate's.
    std::optional<Answer> hostileFirst(Soap& r, const std::string& cls) {
        const std::string mode = server_.modeOf(cls);
        if (mode.empty()) return std::nullopt;
        if (mode == "quota" && server_.firstTime(mode, cls))
            return Answer{500, fault(r.messageId, "Receiver", "w:QuotaLimit", 2150859174u, 0,
                                     "The WS-Management service cannot process the request. This user has exceeded "
                                     "the maximum number of concurrent operations.")};
        if (mode == "encoding" && r.maxEnvelope > 153600)
            return Answer{500, fault(r.messageId, "Receiver", "w:EncodingLimit", 2150858808u, 0,
                                     "The response that the WS-Management service computed exceeds the maximum "
                                     "envelope size in the request.")};
        if (mode == "endless") return Answer{200, "", Answer::Raw::Endless};
        if (mode == "huge") return Answer{200, "", Answer::Raw::Huge};
        if (mode == "malformed") return Answer{200, "<s:Envelope xmlns:s=\"" + std::string(ns::soap) + "\"><s:Body><n:Enum"};
        if (mode == "laughs") {
            std::string dtd = "<!DOCTYPE s:Envelope [<!ENTITY a \"aaaaaaaaaa\">";
            for (char c = 'b'; c <= 'j'; ++c) {
                dtd += std::string("<!ENTITY ") + c + " \"";
                for (int k = 0; k < 10; ++k) dtd += std::string("&") + static_cast<char>(c - 1) + ";";
                dtd += "\">";
            }
            dtd += "]>";
            return Answer{200, dtd + "<s:Envelope xmlns:s=\"" + std::string(ns::soap) + "\"><s:Body>&j;</s:Body></s:Envelope>"};
        }
        if (mode == "external")
            return Answer{200, "<!DOCTYPE s:Envelope [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><s:Envelope xmlns:s=\"" +
                                   std::string(ns::soap) + "\"><s:Body>&x;</s:Body></s:Envelope>"};
        return std::nullopt;
    }

    // As many items as the envelope holds (and the batch setting allows) in this answer; the rest
    // stay open under a new context.
    // An Enumerate without OptimizeEnumeration answers only the context: every item is pulled.
    Answer batch(Soap& r, Open o, bool first, bool items = true) {
        const std::size_t overhead = 1500;
        std::size_t maxItems = items ? 20000 : 0;
        pugi::xml_node m = child(r.bodyElement, "MaxElements");
        if (m && items) maxItems = std::strtoull(wx::textOf(m).c_str(), nullptr, 10);
        if (server_.options.batch) maxItems = std::min(maxItems, server_.options.batch);
        if (!first && !m) maxItems = std::min<std::size_t>(maxItems, 1);  // Pull's default is one item
        std::string list;
        std::size_t taken = 0;
        while (o.next < o.items.size() && taken < maxItems) {
            const std::string& item = o.items[o.next];
            if (overhead + list.size() + item.size() > r.maxEnvelope) break;
            list += item;
            ++o.next, ++taken;
        }
        if (taken == 0 && maxItems > 0 && o.next < o.items.size())
            return {500, fault(r.messageId, "Receiver", "w:EncodingLimit", 2150858808u, 0,
                               "The response that the WS-Management service computed exceeds the maximum envelope "
                               "size in the request.")};
        const bool end = o.next >= o.items.size() && (items || !first);
        std::string context;
        if (!end) {
            context = uuid();
            std::lock_guard<std::mutex> lock(server_.mutex);
            server_.open[context] = std::move(o);
        }
        std::string body;
        const char* itemsNs = first ? "w" : "n";
        if (first) body = "<n:EnumerateResponse>";
        else body = "<n:PullResponse>";
        if (!end) body += "<n:EnumerationContext>" + context + "</n:EnumerationContext>";
        if (items || !first) body += std::string("<") + itemsNs + ":Items>" + list + "</" + itemsNs + ":Items>";
        if (end) body += first ? "<w:EndOfSequence/>" : "<n:EndOfSequence/>";
        body += first ? "</n:EnumerateResponse>" : "</n:PullResponse>";
        return {200, envelope(first ? "http://schemas.xmlsoap.org/ws/2004/09/enumeration/EnumerateResponse"
                                    : "http://schemas.xmlsoap.org/ws/2004/09/enumeration/PullResponse",
                              r.messageId, body)};
    }

    Answer pull(Soap& r) {
        const std::string context = wx::textOf(child(r.bodyElement, "EnumerationContext"));
        Open o;
        {
            std::lock_guard<std::mutex> lock(server_.mutex);
            auto it = server_.open.find(context);
            if (it == server_.open.end())
                return {500, fault(r.messageId, "Sender", "n:InvalidEnumerationContext", 2150858770u, 0,
                                   "The enumeration context supplied in the message is not valid.")};
            o = std::move(it->second);
            server_.open.erase(it);
        }
        const std::string mode = server_.modeOf(o.className);
        if (mode == "drop" && server_.firstTime(mode, o.className)) return {200, "", Answer::Raw::Drop};
        if (mode == "expire" && server_.firstTime(mode, o.className))
            return {500, fault(r.messageId, "Sender", "n:InvalidEnumerationContext", 2150858770u, 0,
                               "The enumeration context supplied in the message is not valid.")};
        return batch(r, std::move(o), false);
    }

    std::string input(Soap& r, const char* name) { return wx::textOf(child(r.bodyElement, name)); }

    Answer method(Soap& r, const std::string& name) {
        auto out = [&](const std::string& params) {
            return Answer{200, envelope(r.action + "Response", r.messageId,
                                        "<p:" + name + "_OUTPUT xmlns:p=\"" + esc(r.resourceUri) + "\">" + params +
                                            "</p:" + name + "_OUTPUT>")};
        };
        auto rv = [](long long v) { return "<p:ReturnValue>" + std::to_string(v) + "</p:ReturnValue>"; };
        auto elements = [](const char* tag, const std::vector<std::string>& texts) {
            std::string s;
            for (const std::string& t : texts) s += std::string("<p:") + tag + ">" + esc(t) + "</p:" + tag + ">";
            return s;
        };
        auto refused = [&](const CallError& e) -> std::optional<Answer> {
            if (e.limitReached) return Answer{500, faultOfError(r.messageId, e)};
            return std::nullopt;
        };
        std::unique_ptr<qv::management::TargetConnection> t = target(r.timeoutMs);
        if (r.resourceUri == wx::kRegistryUri) {
            server_.counted(&Stats::registry);
            auto view = r.options.find("__ProviderArchitecture");
            t->selectRegistryView(view == r.options.end() ? 0 : std::atoi(view->second.c_str()));
            const auto hive = static_cast<std::uint32_t>(std::strtoul(input(r, "hDefKey").c_str(), nullptr, 10));
            const std::string key = input(r, "sSubKeyName");
            if (name == "EnumKey") {
                auto got = t->subkeys(hive, key);
                if (!got) return refused(got.error()).value_or(out(rv(got.error().error.number)));
                return out(elements("sNames", *got) + rv(0));
            }
            if (name == "EnumValues") {
                auto got = t->valueNames(hive, key);
                if (!got) return refused(got.error()).value_or(out(rv(got.error().error.number)));
                std::vector<std::string> types;
                for (std::int32_t ty : got->types) types.push_back(std::to_string(ty));
                return out(elements("sNames", got->names) + elements("Types", types) + rv(0));
            }
            if (name == "GetStringValue") {
                auto got = t->stringValue(hive, key, input(r, "sValueName"));
                if (!got) return refused(got.error()).value_or(out("<p:sValue xsi:nil=\"true\" xmlns:xsi=\"" + std::string(ns::xsi) + "\"/>" + rv(got.error().error.number)));
                return out(elements("sValue", {*got}) + rv(0));
            }
        } else if (r.resourceUri == std::string(wx::kCimv2Uri) + "Win32_Share") {
            if (name == "Create") {
                auto got = t->createShare(input(r, "Path"), input(r, "Name"), std::atoi(input(r, "Type").c_str()),
                                          input(r, "Description"));
                if (!got) return refused(got.error()).value_or(out(rv(8)));
                return out(rv(*got));
            }
            if (name == "Delete") {
                Instance share;
                share.set("Name", Value::of(r.selectors["Name"]));
                auto got = t->deleteShare(share);
                if (!got) return refused(got.error()).value_or(out(rv(got.error().error.number)));
                return out(rv(0));
            }
        }
        return {500, fault(r.messageId, "Sender", "a:ActionNotSupported", 2150858771u, 0,
                           "The action is not supported by the service.")};
    }

    Server& server_;
    qv::fixture::Computer& computer_;
};

// ---- One connection -----------------------------------------------------------------------

const char* const kSoapType = "application/soap+xml;charset=UTF-8";

void serveConnection(Server& server, qv::fixture::Computer& computer, std::unique_ptr<Stream> stream) {
    std::unique_ptr<SecurityContext> context;
    bool authenticated = false;
    std::string buffer;
    Handler handler(server, computer);
    const bool basic = !server.options.basic.empty();
    for (;;) {
        HttpRequest req;
        ReadStatus st = readRequest(*stream, buffer, req, 4 * 1024 * 1024);
        if (st == ReadStatus::TooLarge) {
            stream->writeAll(httpAnswer(413, "Connection: close\r\n", ""));
            return;
        }
        if (st != ReadStatus::Ok) return;
        // Counted from the whole request to its whole answer (or the connection's end).
        server.begin();
        bool operation = false;
        struct Served {
            Server& s;
            bool& operation;
            ~Served() { s.done(operation); }
        } served{server, operation};
        auto send = [&](const std::string& bytes) {
            if (server.options.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(server.options.delayMs));
            return stream->writeAll(bytes);
        };

        // The unauthenticated Identify.
        if (qv::text::equalsIgnoringCase(req.header("wsmanidentify"), "unauthenticated")) {
            if (!send(httpAnswer(200, std::string("Content-Type: ") + kSoapType + "\r\n", identifyResponse()))) return;
            continue;
        }
        const std::string auth = req.header("authorization");
        if (basic) {
            std::string decoded;
            if (auth.rfind("Basic ", 0) != 0 || !qv::management::wsman::unbase64(auth.substr(6), decoded) ||
                decoded != server.options.basic) {
                if (!send(httpAnswer(401, "WWW-Authenticate: Basic realm=\"WSMAN\"\r\n", ""))) return;
                continue;
            }
            authenticated = true;
        } else if (auth.rfind("Negotiate ", 0) == 0 || auth.rfind("Kerberos ", 0) == 0) {
            // A new handshake (a new context replaces an old one on the same connection).
            std::string token, outToken, why;
            qv::management::wsman::unbase64(auth.substr(auth.find(' ') + 1), token);
            if (!context || authenticated) {
                context = SecurityContext::accept();
                authenticated = false;
            }
            SecurityContext::Step step = context->step(token, outToken, why);
            if (step == SecurityContext::Step::Failed) {
                context.reset();
                if (!send(httpAnswer(401, "WWW-Authenticate: Negotiate\r\n", ""))) return;
                continue;
            }
            const std::string header = outToken.empty() ? "" : "WWW-Authenticate: Negotiate " +
                                                                   qv::management::wsman::base64(outToken) + "\r\n";
            if (step == SecurityContext::Step::Continue) {
                if (!send(httpAnswer(401, header, ""))) return;
                continue;
            }
            authenticated = true;
            if (req.body.empty()) {
                if (!send(httpAnswer(200, header, ""))) return;
                continue;
            }
        }
        if (!authenticated) {
            if (!send(httpAnswer(401, "WWW-Authenticate: Negotiate\r\n", ""))) return;
            continue;
        }
        // Over HTTP every message is sealed; an unsealed one is refused, as Windows refuses it.
        const bool sealed = !stream->tls();
        std::string soapText;
        if (sealed) {
            std::string why;
            if (req.header("content-type").rfind("multipart/encrypted", 0) != 0 ||
                !qv::management::wsman::decryptBody(*context, req.body, soapText, why)) {
                if (!send(httpAnswer(401, "", ""))) return;
                continue;
            }
        } else {
            soapText = req.body;
        }
        operation = true;
        Soap soap;
        Answer answer;
        if (!parseSoap(soapText, soap)) {
            answer = {500, fault("", "Sender", "w:SchemaValidationError", 2150858817u, 0, "The SOAP XML in the message is not valid.")};
        } else {
            answer = handler.handle(soap);
        }
        if (answer.raw == Answer::Raw::Drop) {
            stream->drop();
            return;
        }
        if (answer.raw == Answer::Raw::Endless || answer.raw == Answer::Raw::Huge) {
            // A body that never ends (chunked without a last chunk) or one of 100 MB.
            std::string chunk(64 * 1024, 'x');
            if (answer.raw == Answer::Raw::Endless) {
                if (!send("HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml;charset=UTF-8\r\nTransfer-Encoding: chunked\r\n\r\n")) return;
                char size[16];
                std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
                while (send(size + chunk + "\r\n")) {
                }
            } else {
                if (!send("HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml;charset=UTF-8\r\nContent-Length: 104857600\r\n\r\n")) return;
                for (int i = 0; i < 1600 && send(chunk); ++i) {
                }
            }
            return;
        }
        std::string body = answer.soap, type = kSoapType;
        if (sealed) {
            std::string why;
            if (!qv::management::wsman::encryptBody(*context, answer.soap, body, why)) return;
            type = qv::management::wsman::encryptedContentType();
        }
        if (!send(httpAnswer(answer.status, "Content-Type: " + type + "\r\n", body))) return;
    }
}

// ---- Listening ----------------------------------------------------------------------------

int listenOnLoopback(unsigned& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 128) != 0) return -1;
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

int run(int argc, char** argv) {
    Server server;
    Options& o = server.options;
    if (argc >= 2 && (std::string(argv[1]) == "--example" || std::string(argv[1]) == "--realistic")) {
        const bool realistic = std::string(argv[1]) == "--realistic";
        nlohmann::ordered_json wmi = nlohmann::ordered_json::object();
        for (int i = 2; i < argc; ++i) wmi[argv[i]] = realistic ? realisticComputer(i - 2) : exampleComputer(i - 2);
        std::cout << wmi.dump(1) << "\n";
        return 0;
    }
    if (argc < 3) {
        std::cerr << "usage: qv-wsman-server FIXTURE.json PORTS_FILE [--tls CERT KEY] [--basic USER:PASSWORD] "
                     "[--batch N] [--hostile CLASS=MODE]... [--delay MS] [--stats FILE] [--max-connections N]\n";
        return 2;
    }
    o.fixture = argv[1];
    o.portsFile = argv[2];
    for (int i = 3; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--tls" && i + 2 < argc) o.cert = argv[++i], o.key = argv[++i];
        else if (a == "--basic" && i + 1 < argc) o.basic = argv[++i];
        else if (a == "--batch" && i + 1 < argc) o.batch = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--delay" && i + 1 < argc) o.delayMs = std::atoi(argv[++i]);
        else if (a == "--max-connections" && i + 1 < argc) o.maxConnections = std::atoi(argv[++i]);
        else if (a == "--stats" && i + 1 < argc) o.statsFile = argv[++i];
        else if (a == "--port" && i + 1 < argc) {
            std::string p = argv[++i];
            std::size_t eq = p.find('=');
            if (eq == std::string::npos) return 2;
            o.ports[qv::text::asciiUpper(p.substr(0, eq))] = static_cast<unsigned>(std::atoi(p.c_str() + eq + 1));
        }
        else if (a == "--hostile" && i + 1 < argc) {
            std::string h = argv[++i];
            std::size_t eq = h.find('=');
            if (eq == std::string::npos) return 2;
            o.hostile[qv::text::asciiUpper(h.substr(0, eq))] = h.substr(eq + 1);
        } else {
            std::cerr << "qv-wsman-server: unknown option " << a << "\n";
            return 2;
        }
    }
    std::string error;
    server.fixture = qv::fixture::FixturePlatform::load(o.fixture, error);
    if (!server.fixture) {
        std::cerr << "qv-wsman-server: " << error << "\n";
        return 2;
    }
    if (!o.cert.empty()) {
        server.tls = SSL_CTX_new(TLS_server_method());
        if (SSL_CTX_use_certificate_chain_file(server.tls, o.cert.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(server.tls, o.key.c_str(), SSL_FILETYPE_PEM) != 1) {
            std::cerr << "qv-wsman-server: certificate or key not usable\n";
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    std::vector<pollfd> listeners;
    std::vector<qv::fixture::Computer*> served;
    std::string ports;
    for (qv::fixture::Computer& c : server.fixture->state().computers) {
        if (c.unreachable || c.hasConnectError || c.name == ".") continue;
        auto fixed = o.ports.find(qv::text::asciiUpper(c.name));
        unsigned port = fixed == o.ports.end() ? 0 : fixed->second;
        int fd = listenOnLoopback(port);
        if (fd < 0) {
            std::cerr << "qv-wsman-server: cannot listen on loopback\n";
            return 1;
        }
        listeners.push_back({fd, POLLIN, 0});
        served.push_back(&c);
        ports += c.name + " " + std::to_string(port) + "\n";
    }
    {
        const std::string partial = o.portsFile + ".part";
        std::ofstream(partial) << ports;
        std::rename(partial.c_str(), o.portsFile.c_str());  // whole when it appears
    }
    for (;;) {
        if (::poll(listeners.data(), listeners.size(), -1) < 0) continue;
        for (std::size_t i = 0; i < listeners.size(); ++i) {
            if (!(listeners[i].revents & POLLIN)) continue;
            int fd = ::accept(listeners[i].fd, nullptr, nullptr);
            if (fd < 0) continue;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            qv::fixture::Computer* c = served[i];
            {
                // A computer that takes no more connections closes the new one unanswered.
                std::lock_guard<std::mutex> lock(server.stats.mutex);
                if (o.maxConnections > 0 && server.stats.open[c] >= o.maxConnections) {
                    ::close(fd);
                    continue;
                }
                ++server.stats.open[c];
                ++server.stats.connections;
            }
            std::thread([&server, c, fd] {
                SSL* ssl = nullptr;
                if (server.tls) {
                    ssl = SSL_new(server.tls);
                    SSL_set_fd(ssl, fd);
                    if (SSL_accept(ssl) != 1) {
                        SSL_free(ssl);
                        ::close(fd);
                        std::lock_guard<std::mutex> lock(server.stats.mutex);
                        --server.stats.open[c];
                        return;
                    }
                }
                serveConnection(server, *c, std::make_unique<Stream>(fd, ssl));
                std::lock_guard<std::mutex> lock(server.stats.mutex);
                --server.stats.open[c];
            }).detach();
        }
    }
}

}  // namespace qvwsman

int main(int argc, char** argv) { return qvwsman::run(argc, argv); }

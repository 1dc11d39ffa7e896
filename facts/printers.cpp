// Printers: CUPS's queues from printers.conf, with their drivers' descriptions.
#include <arpa/inet.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

#include "facts/classes.h"
#include "facts/network-facts.h"

namespace qv::facts {

namespace {

// A print queue of CUPS's printers.conf.
struct CupsQueue {
    std::string name;
    bool markedDefault = false;
    std::optional<std::string> makeModel, uri, info, location;
};

std::vector<CupsQueue> cupsQueues(const std::string& conf) {
    std::vector<CupsQueue> queues;
    CupsQueue* cur = nullptr;
    for (const auto& raw : splitLines(conf)) {
        std::string line = trim(raw);
        if (startsWith(line, "<Printer ") || startsWith(line, "<DefaultPrinter ")) {
            bool def = startsWith(line, "<DefaultPrinter ");
            std::string name = trim(line.substr(def ? 16 : 9));
            if (!name.empty() && name.back() == '>') name.pop_back();
            queues.push_back({name, def, {}, {}, {}, {}});
            cur = &queues.back();
        } else if (startsWith(line, "</")) {
            cur = nullptr;
        } else if (cur) {
            auto sp = line.find(' ');
            if (sp == std::string::npos) continue;
            std::string key = line.substr(0, sp), value = trim(line.substr(sp + 1));
            if (key == "MakeModel") cur->makeModel = value;
            else if (key == "DeviceURI") cur->uri = value;
            else if (key == "Info") cur->info = value;
            else if (key == "Location") cur->location = value;
        }
    }
    return queues;
}

}  // namespace

// The drivers' descriptions of queues whose configuration names no make and model.
void printersAhead(Source& s, Ahead& ahead) {
    if (const auto& conf = s.file("/etc/cups/printers.conf"))
        for (const auto& q : cupsQueues(*conf))
            if (!q.makeModel) ahead.files.push_back("/etc/cups/ppd/" + q.name + ".ppd");
}

Instances printer(Source& s) {
    Instances out;
    const auto& conf = s.file("/etc/cups/printers.conf");
    if (!conf) return out;
    std::optional<std::string> defaultName;
    for (const char* path : {"/etc/cups/lpoptions"})
        if (const auto& f = s.file(path))
            for (const auto& line : splitLines(*f)) {
                auto w = splitWords(line);
                if (w.size() >= 2 && w[0] == "Default") defaultName = w[1].substr(0, w[1].find('/'));
            }
    if (!defaultName && s.probes().environment)
        for (const char* env : {"LPDEST", "PRINTER"})
            if (auto v = s.probes().environment(env); v && !v->empty()) {
                defaultName = *v;
                break;
            }
    std::vector<CupsQueue> queues = cupsQueues(*conf);
    Ahead ahead;
    printersAhead(s, ahead);
    s.prefetch(ahead);
    for (auto& q : queues) {
        if (!q.makeModel)
            if (const auto& ppd = s.file("/etc/cups/ppd/" + q.name + ".ppd"))
                for (const auto& line : splitLines(*ppd))
                    if (startsWith(line, "*NickName:")) q.makeModel = unquote(trim(line.substr(10)));
        if (q.uri) {
            // Credentials in the URI are not part of the port name.
            auto scheme = q.uri->find("://");
            auto at = q.uri->find('@');
            auto slash = scheme == std::string::npos ? std::string::npos : q.uri->find('/', scheme + 3);
            if (scheme != std::string::npos && at != std::string::npos && (slash == std::string::npos || at < slash))
                q.uri = q.uri->substr(0, scheme + 3) + q.uri->substr(at + 1);
        }
        Instance i;
        i.set("DeviceID", Value::of(q.name));
        i.set("Name", Value::of(q.name));
        i.set("Caption", Value::of(q.name));
        i.set("DriverName", textOrNull(q.makeModel));
        i.set("PortName", textOrNull(q.uri));
        i.set("Comment", textOrNull(q.info));
        i.set("Location", textOrNull(q.location));
        i.set("Default", Value::of(defaultName ? *defaultName == q.name : q.markedDefault));
        out.push_back(std::move(i));
    }
    return out;
}

}  // namespace qv::facts

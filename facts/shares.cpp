// Shares: the Samba configuration's shares and the administrative ones Windows has.
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

Instances share(Source& s) {
    Instances out;
    auto add = [&](const std::string& name, const std::optional<std::string>& path,
                   const std::optional<std::string>& description, std::int64_t type) {
        Instance i;
        i.set("Name", Value::of(name));
        i.set("Caption", Value::of(name));
        i.set("Path", textOrNull(path));
        i.set("Description", textOrNull(description));
        i.set("Type", Value::of(type));
        out.push_back(std::move(i));
    };
    const auto& smb = sambaConfig(s);
    bool any = false;
    for (const auto& sec : smb) {
        if (sec.name.empty() || text::asciiLower(sec.name) == "global") continue;
        auto yes = [](const std::optional<std::string>& v) {
            return v && (text::asciiLower(*v) == "yes" || text::asciiLower(*v) == "true" || *v == "1");
        };
        bool print = text::asciiLower(sec.name) == "printers" || yes(sec.get("printable")) || yes(sec.get("print ok"));
        auto path = sec.get("path");
        if (path && path->empty()) path.reset();
        add(sec.name, path, sec.get("comment"), print ? 1 : 0);
        any = true;
    }
    for (const auto& name : s.list("/var/lib/samba/usershares")) {
        const auto& f = s.file("/var/lib/samba/usershares/" + name);
        if (!f) continue;
        add(name, keyValue(*f, "path"), keyValue(*f, "comment"), 0);
        any = true;
    }
    if (any || !smb.empty()) add("IPC$", std::nullopt, std::string("Remote IPC"), 2147483651LL);
    std::vector<std::string> exports = {"/etc/exports"};
    for (const auto& f : s.list("/etc/exports.d"))
        if (endsWith(f, ".exports")) exports.push_back("/etc/exports.d/" + f);
    for (const auto& path : exports)
        if (const auto& f = s.file(path))
            for (const auto& raw : splitLines(*f)) {
                std::string line = trim(raw);
                if (line.empty() || line[0] == '#') continue;
                std::string dir = line[0] == '"' ? line.substr(1, line.find('"', 1) - 1) : splitWords(line)[0];
                std::string rest = trim(line.substr(std::min(line.size(), dir.size() + (line[0] == '"' ? 2 : 0))));
                add(dir, dir, rest.empty() ? std::nullopt : std::optional(rest), 0);
            }
    return out;
}

}  // namespace qv::facts

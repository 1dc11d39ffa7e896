// The systemd unit resolver: which service units exist, their files and drop-ins, whether
// something wants them, and whether each runs (its cgroup, else a process tied to it).
#include "facts/systemd-units.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>

#include "facts/classes.h"

namespace qv::facts {

namespace {

const char* const kUnitDirs[] = {"/etc/systemd/system", "/run/systemd/system", "/usr/local/lib/systemd/system",
                                 "/usr/lib/systemd/system", "/lib/systemd/system"};
// Where the service manager keeps each started unit's processes (cgroup v2, then v1).
const char* const kCgroupSlices[] = {"/sys/fs/cgroup/system.slice", "/sys/fs/cgroup/systemd/system.slice"};

struct Unit {
    std::string name;
    std::vector<std::string> files;  // the unit file, then its drop-ins in order
    bool masked = false;
};

std::string templateOf(const std::string& name) {
    auto at = name.find('@');
    if (at == std::string::npos) return {};
    return name.substr(0, at + 1) + ".service";
}

// The unit's file: the first directory holding it wins; a link to /dev/null masks it; a link to
// another name makes it an alias of that unit.
std::optional<Unit> findUnit(Source& s, const std::string& name, const std::string& fileName) {
    Unit u{name, {}, false};
    auto listed = [&s](const char* dir, const std::string& entry) {
        const auto& names = s.list(dir);
        return std::binary_search(names.begin(), names.end(), entry);
    };
    for (const char* dir : kUnitDirs) {
        std::string path = std::string(dir) + "/" + fileName;
        if (!listed(dir, fileName)) continue;
        if (auto target = s.link(path)) {
            if (*target == "/dev/null") {
                u.masked = true;
                continue;
            }
            if (baseName(*target) != fileName) return std::nullopt;  // an alias of another unit
        }
        if (s.file(path)) {
            u.files.push_back(path);
            break;
        }
    }
    if (u.files.empty()) return std::nullopt;
    // Drop-ins: same file name in an earlier directory wins; applied in file-name order.
    std::map<std::string, std::string> dropins;
    for (const std::string& d : {name + ".d", templateOf(name).empty() ? std::string() : templateOf(name) + ".d"}) {
        if (d.empty()) continue;
        for (const char* dir : kUnitDirs)
            if (listed(dir, d))
                for (const auto& f : s.list(std::string(dir) + "/" + d))
                if (endsWith(f, ".conf")) dropins.emplace(f, std::string(dir) + "/" + d + "/" + f);
    }
    for (auto& [f, path] : dropins) u.files.push_back(path);
    return u;
}

// The words of a unit's command line as systemd splits them: blanks separate, quotes group,
// backslash escapes; a lone ";" ends the first command.
std::vector<std::string> commandWords(const std::string& cmd) {
    std::vector<std::string> out;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t k = 0; k < cmd.size(); ++k) {
        char c = cmd[k];
        if (c == '\\' && k + 1 < cmd.size()) {
            char e = cmd[++k];
            word += e == 'n' ? '\n' : e == 't' ? '\t' : e;
            inWord = true;
        } else if (quote) {
            if (c == quote) quote = 0;
            else word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) out.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) out.push_back(word);
    auto semi = std::find(out.begin(), out.end(), ";");
    out.erase(semi, out.end());
    return out;
}

// What a unit's files say about the process it runs.
struct ServiceStart {
    std::vector<std::string> exec;  // first ExecStart, prefixes stripped
    bool argv0Given = false;        // "@" prefix: the second word is the process's own name
    std::vector<std::string> environment;  // Environment= assignments, in order
    std::vector<std::string> environmentFiles;
    std::optional<std::string> pidFile, ttyPath;
};

// Expands the unit specifiers that have a fixed meaning for a system unit; absent for others,
// whose value only the service manager knows.
std::optional<std::string> expandSpecifiers(const std::string& word, const std::string& unit) {
    std::string prefix = unit.substr(0, unit.rfind('.'));
    auto at = prefix.find('@');
    std::string instance = at == std::string::npos ? std::string() : prefix.substr(at + 1);
    std::string out;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (word[k] != '%') {
            out += word[k];
            continue;
        }
        if (++k >= word.size()) return std::nullopt;
        switch (word[k]) {
            case '%': out += '%'; break;
            case 'n': out += unit; break;
            case 'N': out += prefix; break;
            case 'p': out += prefix.substr(0, at); break;
            case 'i': case 'I': out += instance; break;
            case 't': out += "/run"; break;
            default: return std::nullopt;
        }
    }
    return out;
}

// The arguments systemd would start: "$VAR" as a word splits into words, "${VAR}" is replaced in
// place; variables from Environment= and EnvironmentFile=, unknown ones empty. Absent when a
// specifier has no fixed value.
std::optional<std::vector<std::string>> expectedArguments(Source& s, const ServiceStart& start, const std::string& unit) {
    std::map<std::string, std::string> env;
    auto assign = [&env](const std::string& a) {
        auto eq = a.find('=');
        if (eq != std::string::npos && eq > 0) env[a.substr(0, eq)] = a.substr(eq + 1);
    };
    for (const auto& line : start.environment)
        for (const auto& a : commandWords(line)) assign(a);
    for (std::string path : start.environmentFiles) {
        if (!path.empty() && path[0] == '-') path.erase(0, 1);
        if (const auto& text = s.file(path))
            for (const auto& [k, v] : keyValues(*text)) env[k] = v;
    }
    auto isName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    std::vector<std::string> out;
    for (std::size_t w = 0; w < start.exec.size(); ++w) {
        auto word = expandSpecifiers(start.exec[w], unit);
        if (!word) return std::nullopt;
        if (w > 0 && word->size() > 1 && (*word)[0] == '$' && (*word)[1] != '{' &&
            std::all_of(word->begin() + 1, word->end(), isName)) {
            for (const auto& part : splitWords(env[word->substr(1)])) out.push_back(part);
            continue;
        }
        std::string expanded;
        for (std::size_t k = 0; k < word->size(); ++k) {
            auto close = word->find('}', k);
            if (word->compare(k, 2, "${") == 0 && close != std::string::npos) {
                expanded += env[word->substr(k + 2, close - k - 2)];
                k = close;
            } else {
                expanded += (*word)[k];
            }
        }
        out.push_back(expanded);
    }
    return out;
}

}  // namespace

// Every process's command line.
void processesAhead(Source& s, Ahead& ahead) {
    for (const auto& pid : s.list("/proc"))
        if (!pid.empty() && std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
            ahead.files.push_back("/proc/" + pid + "/cmdline");
}

namespace {

// Command lines of the running processes, by process id.
const std::map<std::string, std::vector<std::string>>& processCommands(Source& s) {
    return s.memo<std::map<std::string, std::vector<std::string>>>("commands", [&s] {
        std::map<std::string, std::vector<std::string>> out;
        Ahead ahead;
        processesAhead(s, ahead);
        s.prefetch(ahead);
        for (const auto& path : ahead.files) {
            std::string pid = path.substr(6, path.size() - 6 - 8);  // "/proc/" PID "/cmdline"
            const auto& cmd = s.file(path);
            if (!cmd || cmd->empty()) continue;  // kernel threads have none
            std::vector<std::string> argv;
            std::size_t p = 0;
            while (p < cmd->size()) {
                auto end = cmd->find('\0', p);
                if (end == std::string::npos) end = cmd->size();
                argv.push_back(cmd->substr(p, end - p));
                p = end + 1;
            }
            out[pid] = std::move(argv);
        }
        return out;
    });
}

bool samePath(Source& s, const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (a.empty() || b.empty() || a[0] != '/' || b[0] != '/') return false;
    auto ra = s.resolve(a), rb = s.resolve(b);
    return ra && rb && *ra == *rb;
}

// Without a service manager to ask, a unit runs only when a process is tied to it: the live process
// its PID file names, or a process whose whole command line is the unit's. A unit bound to a
// terminal must also have that terminal as input, so that a shell someone else started is not
// taken for the unit's.
bool unitProcessRuns(Source& s, const ServiceStart& start, const std::string& unit) {
    if (start.pidFile)
        if (auto path = expandSpecifiers(*start.pidFile, unit))
            if (auto pid = parseUnsigned(s.attr(startsWith(*path, "/") ? *path : "/run/" + *path).value_or("")); pid && *pid > 0)
                if (s.exists("/proc/" + std::to_string(*pid) + "/cmdline")) return true;
    if (start.exec.empty()) return false;
    auto expected = expectedArguments(s, start, unit);
    if (!expected || expected->empty()) return false;
    std::string program = expected->front();
    if (start.argv0Given) expected->erase(expected->begin());
    if (expected->empty()) return false;
    for (const auto& [pid, argv] : processCommands(s)) {
        if (argv.size() != expected->size()) continue;
        if (!std::equal(argv.begin() + 1, argv.end(), expected->begin() + 1)) continue;
        // With "@" the process names itself: its program is then what it executes.
        bool programMatches = start.argv0Given
                                  ? argv[0] == expected->front() && samePath(s, program, s.link("/proc/" + pid + "/exe").value_or(""))
                                  : samePath(s, argv[0], program);
        if (!programMatches) continue;
        if (start.ttyPath && s.link("/proc/" + pid + "/fd/0").value_or("") != *start.ttyPath) continue;
        return true;
    }
    return false;
}

// Only units the slice lists have a folder there: the others are not read for.
std::string cgroupState(Source& s, const std::string& unit) {
    for (const char* slice : kCgroupSlices) {
        if (!std::binary_search(s.list(slice).begin(), s.list(slice).end(), unit)) continue;
        const auto& procs = s.file(std::string(slice) + "/" + unit + "/cgroup.procs");
        if (procs && !trim(*procs).empty()) return "Running";
    }
    return "Stopped";
}

// Unit files named in the unit folders, templates left out (they run only as instances).
std::set<std::string> unitFileNames(Source& s) {
    std::set<std::string> names;
    for (const char* dir : kUnitDirs)
        for (const auto& f : s.list(dir))
            if (endsWith(f, ".service") && !endsWith(f, "@.service")) names.insert(f);
    return names;
}

// The folders of what units want or require.
std::vector<std::string> wantsFolders(Source& s) {
    std::vector<std::string> wants;
    for (const auto& d : s.list("/etc/systemd/system"))
        if (endsWith(d, ".wants") || endsWith(d, ".requires")) wants.push_back("/etc/systemd/system/" + d);
    return wants;
}

// Where the units' files (each name's own, then its template's) and drop-in folders may be: the
// paths the unit folders list.
std::vector<std::string> unitPaths(Source& s, const std::set<std::string>& names, const std::string& suffix) {
    std::vector<std::string> out;
    for (const auto& name : names)
        for (const std::string& file : {name, templateOf(name)})
            for (const char* dir : kUnitDirs)
                if (!file.empty() && std::binary_search(s.list(dir).begin(), s.list(dir).end(), file + suffix))
                    out.push_back(std::string(dir) + "/" + file + suffix);
    return out;
}

// The services, whether something wants them, and every file their description is read from.
struct UnitPlan {
    std::set<std::string> names, wanted;
    std::vector<std::string> files;  // unit files findUnit can reach, drop-ins, cgroup process lists
};

const UnitPlan& unitPlan(Source& s) {
    return s.memo<UnitPlan>("unit plan", [&s] {
        UnitPlan plan;
        plan.names = unitFileNames(s);
        // Instances of templates exist only where something wants them; so does enablement.
        auto wants = wantsFolders(s);
        s.prefetchListings(wants);
        for (const auto& dir : wants)
            for (const auto& f : s.list(dir))
                if (endsWith(f, ".service")) {
                    plan.wanted.insert(f);
                    if (f.find('@') != std::string::npos && !endsWith(f, "@.service")) plan.names.insert(f);
                }
        // Of the candidate unit files, only those findUnit can reach: a folder's file hides the
        // same name in later ones unless it masks it.
        auto candidates = unitPaths(s, plan.names, "");
        s.prefetchLinks(candidates);
        std::set<std::string> settled;  // file names whose winning file is among those reached
        for (const auto& path : candidates) {
            if (settled.count(baseName(path))) continue;
            plan.files.push_back(path);
            if (s.link(path) != "/dev/null") settled.insert(baseName(path));
        }
        // Drop-in folders of these units, and their files.
        auto dropins = unitPaths(s, plan.names, ".d");
        s.prefetchListings(dropins);
        for (const auto& d : dropins)
            for (const auto& f : s.list(d))
                if (endsWith(f, ".conf")) plan.files.push_back(d + "/" + f);
        // The process lists of the units the service manager has started (cgroup v2, then v1).
        if (s.isDir("/run/systemd/system")) {
            s.prefetchListings(std::vector<std::string>(std::begin(kCgroupSlices), std::end(kCgroupSlices)));
            for (const char* slice : kCgroupSlices)
                for (const auto& name : plan.names)
                    if (std::binary_search(s.list(slice).begin(), s.list(slice).end(), name))
                        plan.files.push_back(std::string(slice) + "/" + name + "/cgroup.procs");
        }
        return plan;
    });
}

}  // namespace

// What the plan is made from, as far as the unit folders tell it.
void servicesAhead(Source& s, Ahead& ahead) {
    auto names = unitFileNames(s);
    auto wants = wantsFolders(s);
    auto dropins = unitPaths(s, names, ".d");
    ahead.folders.insert(ahead.folders.end(), wants.begin(), wants.end());
    ahead.folders.insert(ahead.folders.end(), dropins.begin(), dropins.end());
    auto candidates = unitPaths(s, names, "");
    ahead.links.insert(ahead.links.end(), candidates.begin(), candidates.end());
    ahead.folders.insert(ahead.folders.end(), std::begin(kCgroupSlices), std::end(kCgroupSlices));
}

void serviceFilesAhead(Source& s, Ahead& ahead) {
    const auto& files = unitPlan(s).files;
    ahead.files.insert(ahead.files.end(), files.begin(), files.end());
}

Instances systemdServices(Source& s) {
    const UnitPlan& plan = unitPlan(s);
    s.prefetch(plan.files);
    const auto& names = plan.names;
    const auto& wanted = plan.wanted;
    bool managerRuns = s.isDir("/run/systemd/system");
    Instances out;
    for (const auto& name : names) {
        std::string fileName = name;
        auto unit = findUnit(s, name, fileName);
        if (!unit && !templateOf(name).empty())
            unit = findUnit(s, name, templateOf(name));
        if (!unit) continue;
        std::optional<std::string> description;
        std::vector<std::string> exec;
        ServiceStart start;
        for (const auto& path : unit->files) {
            const auto& text = s.file(path);
            if (!text) continue;
            for (const auto& sec : parseIni(*text, true)) {
                for (const auto& [k, v] : sec.entries) {
                    if (sec.name == "Unit" && k == "Description") description = v.empty() ? std::nullopt : std::optional(v);
                    if (sec.name != "Service") continue;
                    if (k == "ExecStart") {
                        if (v.empty()) exec.clear();
                        else exec.push_back(v);
                    } else if (k == "Environment") {
                        if (v.empty()) start.environment.clear();
                        else start.environment.push_back(v);
                    } else if (k == "EnvironmentFile") {
                        if (v.empty()) start.environmentFiles.clear();
                        else start.environmentFiles.push_back(v);
                    } else if (k == "PIDFile") {
                        start.pidFile = v.empty() ? std::nullopt : std::optional(v);
                    } else if (k == "TTYPath") {
                        start.ttyPath = v.empty() ? std::nullopt : std::optional(v);
                    }
                }
            }
        }
        std::optional<std::string> path;
        if (!exec.empty()) {
            std::string first = trim(exec.front());
            std::size_t k = 0;
            while (k < first.size() && std::strchr("-@:+!", first[k])) ++k;
            start.argv0Given = first.substr(0, k).find('@') != std::string::npos;
            path = trim(first.substr(k));
            start.exec = commandWords(*path);
        }
        std::string state;
        if (unit->masked) state = "Stopped";
        else if (managerRuns) state = cgroupState(s, name);
        else state = unitProcessRuns(s, start, name) ? "Running" : "Stopped";
        std::string startMode = unit->masked ? "Disabled" : wanted.count(name) ? "Auto" : "Manual";
        out.push_back(serviceInstance(name, description, path, state, startMode));
    }
    return out;
}

}  // namespace qv::facts

// Services (systemd units, else System V scripts) and kernel modules as drivers.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "platform/posix/provider/classes.h"
#include "platform/posix/provider/modinfo.h"

namespace qv::posix::provider {

namespace {

const char* const kUnitDirs[] = {"/etc/systemd/system", "/run/systemd/system", "/usr/local/lib/systemd/system",
                                 "/usr/lib/systemd/system", "/lib/systemd/system"};

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

std::string stripExecPrefixes(std::string cmd) {
    std::size_t i = 0;
    while (i < cmd.size() && std::strchr("-@:+!", cmd[i])) ++i;
    return trim(cmd.substr(i));
}

std::string firstWord(const std::string& cmd) {
    if (!cmd.empty() && cmd[0] == '"') {
        auto close = cmd.find('"', 1);
        return cmd.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return cmd.substr(0, cmd.find_first_of(" \t"));
}

// Program paths of the daemons that run: processes whose parent is PID 1 (started by init or
// detached from their starter), as no service manager answers for them.
const std::set<std::string>& runningPrograms(Source& s) {
    return s.memo<std::set<std::string>>("programs", [&s] {
        std::set<std::string> out;
        for (const auto& pid : s.list("/proc")) {
            if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
            const auto& stat = s.file("/proc/" + pid + "/stat");
            if (!stat) continue;
            auto close = stat->rfind(')');
            auto fields = splitWords(close == std::string::npos ? std::string() : stat->substr(close + 1));
            if (fields.size() < 2 || fields[1] != "1") continue;  // state, then the parent's pid
            if (auto exe = s.link("/proc/" + pid + "/exe")) {
                std::string e = *exe;
                if (endsWith(e, " (deleted)")) e.resize(e.size() - 10);
                out.insert(e);
            }
            if (const auto& cmd = s.file("/proc/" + pid + "/cmdline"))
                if (!cmd->empty() && (*cmd)[0] == '/') out.insert(std::string(cmd->c_str()));
        }
        return out;
    });
}

bool programRuns(Source& s, const std::string& program) {
    if (program.empty() || program[0] != '/') return false;
    const auto& running = runningPrograms(s);
    if (running.count(program)) return true;
    auto real = s.resolve(program);
    return real && running.count(*real);
}

std::string cgroupState(Source& s, const std::string& unit) {
    for (const char* base : {"/sys/fs/cgroup/system.slice/", "/sys/fs/cgroup/systemd/system.slice/"}) {
        const auto& procs = s.file(std::string(base) + unit + "/cgroup.procs");
        if (procs && !trim(*procs).empty()) return "Running";
    }
    return "Stopped";
}

Instance serviceInstance(const std::string& name, const std::optional<std::string>& description,
                         const std::optional<std::string>& path, const std::string& state, const std::string& startMode) {
    Instance i;
    std::string display = description.value_or(name);
    i.set("Name", Value::of(name));
    i.set("DisplayName", Value::of(display));
    i.set("Caption", Value::of(display));
    i.set("Description", textOrNull(description));
    i.set("State", Value::of(state));
    i.set("Started", Value::of(state == "Running"));
    i.set("StartMode", Value::of(startMode));
    i.set("ServiceType", Value::of("Own Process"));
    i.set("PathName", textOrNull(path));
    return i;
}

Instances systemdServices(Source& s) {
    std::set<std::string> names;
    for (const char* dir : kUnitDirs)
        for (const auto& f : s.list(dir))
            if (endsWith(f, ".service") && !endsWith(f, "@.service")) names.insert(f);
    // Instances of templates exist only where something wants them; so does enablement.
    std::set<std::string> wanted;
    for (const auto& d : s.list("/etc/systemd/system"))
        if (endsWith(d, ".wants") || endsWith(d, ".requires"))
            for (const auto& f : s.list("/etc/systemd/system/" + d))
                if (endsWith(f, ".service")) {
                    wanted.insert(f);
                    if (f.find('@') != std::string::npos && !endsWith(f, "@.service")) names.insert(f);
                }
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
        for (const auto& path : unit->files) {
            const auto& text = s.file(path);
            if (!text) continue;
            for (const auto& sec : parseIni(*text, true)) {
                for (const auto& [k, v] : sec.entries) {
                    if (sec.name == "Unit" && k == "Description") description = v.empty() ? std::nullopt : std::optional(v);
                    if (sec.name == "Service" && k == "ExecStart") {
                        if (v.empty()) exec.clear();
                        else exec.push_back(stripExecPrefixes(v));
                    }
                }
            }
        }
        std::optional<std::string> path = exec.empty() ? std::nullopt : std::optional(exec.front());
        std::string state;
        if (unit->masked) state = "Stopped";
        else if (managerRuns) state = cgroupState(s, name);
        else state = path && programRuns(s, firstWord(*path)) ? "Running" : "Stopped";
        std::string startMode = unit->masked ? "Disabled" : wanted.count(name) ? "Auto" : "Manual";
        out.push_back(serviceInstance(name, description, path, state, startMode));
    }
    return out;
}

Instances sysvServices(Source& s) {
    Instances out;
    for (const auto& name : s.list("/etc/init.d")) {
        if (name == "README" || name == "skeleton" || startsWith(name, "rc") || startsWith(name, ".")) continue;
        std::string path = "/etc/init.d/" + name;
        const auto& text = s.file(path);
        if (!text) continue;
        std::optional<std::string> shortDesc, longDesc;
        for (const auto& line : splitLines(*text)) {
            if (startsWith(line, "# Short-Description:")) shortDesc = trim(line.substr(20));
            else if (startsWith(line, "# Description:")) longDesc = trim(line.substr(14));
        }
        bool running = false;
        if (auto pid = s.attr("/run/" + name + ".pid"))
            if (auto n = parseUnsigned(*pid); n && *n > 0) running = s.isDir("/proc/" + std::to_string(*n));
        auto inst = serviceInstance(name, shortDesc, path, running ? "Running" : "Stopped", "Auto");
        inst.set("Description", textOrNull(longDesc ? longDesc : shortDesc));
        out.push_back(std::move(inst));
    }
    return out;
}

struct ModuleFacts {
    std::string name;
    std::string state;
    std::optional<std::string> path;  // absolute .ko path
    std::optional<std::string> description;
    bool fileSystem = false;
};

std::string moduleKey(std::string name) {
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

std::string moduleNameOfPath(const std::string& rel) {
    std::string b = baseName(rel);
    auto ko = b.find(".ko");
    return moduleKey(ko == std::string::npos ? b : b.substr(0, ko));
}

}  // namespace

std::optional<std::string> modulesDir(Source& s) {
    auto rel = kernelRelease(s);
    if (!rel) return std::nullopt;
    for (const char* base : {"/lib/modules/", "/usr/lib/modules/"})
        if (s.isDir(base + *rel)) return base + *rel;
    return std::nullopt;
}

Instances baseService(Source& s) {
    Instances out = systemdServices(s);
    if (out.empty()) out = sysvServices(s);

    std::map<std::string, ModuleFacts> modules;
    if (const auto& pm = s.file("/proc/modules")) {
        for (const auto& line : splitLines(*pm)) {
            auto w = splitWords(line);
            if (w.empty()) continue;
            ModuleFacts m{w[0], "Running", std::nullopt, std::nullopt, false};
            if (w.size() > 4) {
                if (w[4] == "Loading") m.state = "Start Pending";
                else if (w[4] == "Unloading") m.state = "Stop Pending";
            }
            modules[w[0]] = m;
        }
    }
    auto dir = modulesDir(s);
    std::set<std::string> builtins;
    if (dir)
        if (const auto& b = s.file(*dir + "/modules.builtin"))
            for (const auto& line : splitLines(*b))
                if (!trim(line).empty()) builtins.insert(moduleNameOfPath(trim(line)));
    if (builtins.empty() && !s.file("/proc/modules"))
        for (const auto& m : s.list("/sys/module"))
            if (!s.exists("/sys/module/" + m + "/initstate")) builtins.insert(m);
    for (const auto& b : builtins)
        if (!modules.count(b)) modules[b] = ModuleFacts{b, "Running", std::nullopt, std::nullopt, false};

    std::set<std::string> filesystems;
    if (const auto& fs = s.file("/proc/filesystems"))
        for (const auto& line : splitLines(*fs)) {
            auto w = splitWords(line);
            if (!w.empty()) filesystems.insert(w.back());
        }
    if (dir) {
        if (const auto& dep = s.file(*dir + "/modules.dep", true)) {
            for (const auto& line : splitLines(*dep)) {
                auto colon = line.find(':');
                if (colon == std::string::npos) continue;
                std::string rel = line.substr(0, colon);
                auto it = modules.find(moduleNameOfPath(rel));
                if (it == modules.end()) continue;
                it->second.path = *dir + "/" + rel;
                if (startsWith(rel, "kernel/fs/") && !startsWith(rel, "kernel/fs/nls/")) it->second.fileSystem = true;
            }
        }
        // Built-in modules keep their descriptions in one file.
        if (const auto& bm = s.file(*dir + "/modules.builtin.modinfo", true)) {
            std::string_view all(*bm);
            std::size_t p = 0;
            while (p < all.size()) {
                auto end = all.find('\0', p);
                if (end == std::string_view::npos) end = all.size();
                std::string_view entry = all.substr(p, end - p);
                p = end + 1;
                auto dot = entry.find('.');
                if (dot == std::string_view::npos || entry.substr(dot + 1, 12) != "description=") continue;
                auto it = modules.find(std::string(entry.substr(0, dot)));
                if (it != modules.end() && !it->second.description)
                    it->second.description = std::string(entry.substr(dot + 13));
            }
        }
    }
    for (auto& [name, m] : modules) {
        if (filesystems.count(name)) m.fileSystem = true;
        if (m.path && !m.description) m.description = moduleInfo(s.hostPath(*m.path), "description");
        Instance i;
        std::string display = m.description.value_or(name);
        i.set("Name", Value::of(name));
        i.set("DisplayName", Value::of(display));
        i.set("Caption", Value::of(display));
        i.set("Description", textOrNull(m.description));
        i.set("State", Value::of(m.state));
        i.set("Started", Value::of(m.state == "Running"));
        i.set("StartMode", Value::of(m.path ? "Manual" : "Boot"));
        i.set("ServiceType", Value::of(m.fileSystem ? "File System Driver" : "Kernel Driver"));
        i.set("PathName", textOrNull(m.path));
        out.push_back(std::move(i));
    }
    return out;
}

}  // namespace qv::posix::provider

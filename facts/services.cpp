// Services (systemd units, else System V scripts) and kernel modules as drivers.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>

#include "facts/classes.h"
#include "facts/modinfo.h"
#include "facts/systemd-units.h"

namespace qv::facts {

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

namespace {

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

void modulesAhead(Source& s, Ahead& ahead) {
    auto rel = kernelRelease(s);
    if (!rel) return;
    for (const char* base : {"/lib/modules/", "/usr/lib/modules/"})
        for (const char* file : {"", "/modules.dep", "/modules.builtin", "/modules.builtin.modinfo"})
            ahead.statuses.push_back(base + *rel + file);
}

void moduleFilesAhead(Source& s, Ahead& ahead) {
    if (auto dir = modulesDir(s)) {
        ahead.largeFiles.push_back(*dir + "/modules.dep");
        ahead.files.push_back(*dir + "/modules.builtin");
    }
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
    // /sys/module also lists parameter groups of code that is no module at all (printk, rcupdate):
    // without modules.builtin there is no telling them from built-in drivers, so none are listed.
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
        if (const auto& bm = s.packagedFile(*dir + "/modules.builtin.modinfo")) {
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
    // The other modules' descriptions are in their files, all read together.
    std::vector<std::string> paths;
    std::vector<ModuleFacts*> described;
    for (auto& [name, m] : modules)
        if (m.path && !m.description) paths.push_back(*m.path), described.push_back(&m);
    auto descriptions = moduleInfos(s.files(), paths, "description");
    for (std::size_t k = 0; k < described.size() && k < descriptions.size(); ++k) described[k]->description = descriptions[k];
    for (auto& [name, m] : modules) {
        if (filesystems.count(name)) m.fileSystem = true;
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

}  // namespace qv::facts

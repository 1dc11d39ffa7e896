// Fuzz harness: the Linux provider over a system whose files the input gives (os-release, the
// dpkg status file, /proc and /sys texts, SMBIOS tables, EDID, kernel modules...): every class,
// the uninstall entries and file facts are read as an inventory reads them.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "facts/classes.h"
#include "facts/files.h"
#include "management/local/provider.h"
#include "tests/fuzz/fuzz_input.h"

using namespace qv::facts;

namespace {

// A file system held in memory: each piece of the input is one file, its first line the path.
// Folders are those the paths imply; there are no links.
class MemoryFiles : public FileAccess {
public:
    void add(const std::string& path, std::string content) {
        if (path.empty() || path[0] != '/' || path.back() == '/') return;
        files_[path] = std::move(content);
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            folders_.insert(path.substr(0, slash));
        folders_.insert("/");
    }
    std::optional<std::string> read(const std::string& path, std::size_t limit) override {
        auto it = files_.find(path);
        if (it == files_.end()) return std::nullopt;
        return it->second.substr(0, limit);
    }
    std::optional<std::string> readAt(const std::string& path, std::uint64_t offset, std::size_t size) override {
        auto it = files_.find(path);
        if (it == files_.end() || offset > it->second.size() || it->second.size() - offset < size) return std::nullopt;
        return it->second.substr(static_cast<std::size_t>(offset), size);
    }
    std::vector<std::string> list(const std::string& dir) override {
        std::set<std::string> names;
        const std::string prefix = dir == "/" ? "/" : dir + "/";
        auto collect = [&](const std::string& path) {
            if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return;
            const std::string rest = path.substr(prefix.size());
            names.insert(rest.substr(0, rest.find('/')));
        };
        for (const auto& [path, content] : files_) collect(path);
        for (const std::string& folder : folders_) collect(folder);
        return {names.begin(), names.end()};
    }
    std::map<std::string, std::time_t> modificationTimes(const std::string& dir, const std::string& suffix) override {
        std::map<std::string, std::time_t> out;
        for (const std::string& name : list(dir))
            if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
                name[0] != '.')
                out[name] = 1700000000;
        return out;
    }
    std::optional<std::string> readLink(const std::string&) override { return std::nullopt; }
    std::optional<std::string> resolve(const std::string& path) override {
        if (exists(path)) return path;
        return std::nullopt;
    }
    std::optional<struct stat> status(const std::string& path) override {
        struct stat st {};
        if (auto it = files_.find(path); it != files_.end()) {
            st.st_mode = S_IFREG | 0644;
            st.st_size = static_cast<off_t>(it->second.size());
        } else if (folders_.count(path)) {
            st.st_mode = S_IFDIR | 0755;
        } else {
            return std::nullopt;
        }
        st.st_mtime = 1700000000;
        return st;
    }
    bool exists(const std::string& path) override { return files_.count(path) || folders_.count(path); }
    std::optional<FsSpace> space(const std::string& path) override {
        if (!exists(path)) return std::nullopt;
        return FsSpace{1u << 30, 1u << 29};
    }
    std::optional<std::string> localPath(const std::string&) override { return std::nullopt; }

private:
    std::map<std::string, std::string> files_;
    std::set<std::string> folders_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto files = std::make_shared<MemoryFiles>();
    for (const std::string& piece : qvfuzz::pieces(data, size, 64)) {
        const std::size_t eol = piece.find('\n');
        if (eol != std::string::npos) files->add(piece.substr(0, eol), piece.substr(eol + 1));
    }
    Options options;
    options.probes = {};  // nothing of this computer: every fact comes from the files
    options.probes.now = [] { return std::time_t{1765000000}; };
    options.files = files;
    options.maxFileBytes = 1u << 20;
    options.maxDatabaseBytes = 1u << 20;
    auto provider = qv::management::local::makeLocalProvider(std::move(options));
    for (const ClassDef& c : classTable()) {
        auto got = provider->instances(c.name);
        (void)got;
    }
    const std::uint32_t machine = 0x80000002u;
    const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    if (auto keys = provider->subkeys(machine, uninstall)) {
        std::size_t n = 0;
        for (const std::string& key : *keys) {
            if (++n > 8) break;
            (void)provider->valueNames(machine, uninstall + "\\" + key);
            (void)provider->stringValue(machine, uninstall + "\\" + key, "DisplayName");
        }
    }
    for (const char* path : {"C:\\Windows\\System32\\drivers\\e1000.sys", "/usr/bin/ls", "/lib/modules/6.1.0/kernel/e1000.ko"})
        (void)provider->fileFacts(path);
    (void)provider->query("SELECT * FROM Win32_Service WHERE Name = 'ssh'");
    return 0;
}

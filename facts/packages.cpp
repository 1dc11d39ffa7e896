// Installed packages as uninstall entries: the dpkg status file and the rpm database (SQLite form).
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "facts/classes.h"

namespace qv::facts {

namespace {

std::string localDate(std::time_t t) {
    std::tm tm {};
    if (!::localtime_r(&t, &tm)) return {};
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return buf;
}

// "Name <mail>" → "Name".
std::string personName(const std::string& who) {
    auto lt = who.find('<');
    return trim(lt == std::string::npos ? who : who.substr(0, lt));
}

struct DpkgStanza {
    std::string package, status, version, maintainer, arch, multiArch;
};

// The status file's stanzas, parsed once per connection.
const std::vector<DpkgStanza>& dpkgStanzas(Source& s) {
    return s.memo<std::vector<DpkgStanza>>("dpkg stanzas", [&s] {
        std::vector<DpkgStanza> stanzas;
        const auto& status = s.file("/var/lib/dpkg/status", true);
        if (!status) return stanzas;
        DpkgStanza cur;
        auto flush = [&] {
            if (!cur.package.empty()) stanzas.push_back(cur);
            cur = {};
        };
        std::string_view text(*status);
        std::size_t p = 0;
        while (p <= text.size()) {
            auto nl = text.find('\n', p);
            std::string_view line = text.substr(p, nl == std::string_view::npos ? std::string_view::npos : nl - p);
            if (line.empty()) flush();
            else if (line[0] != ' ' && line[0] != '\t') {
                auto colon = line.find(':');
                if (colon != std::string_view::npos) {
                    std::string_view key = line.substr(0, colon);
                    std::string value = trim(line.substr(colon + 1));
                    if (key == "Package") cur.package = value;
                    else if (key == "Status") cur.status = value;
                    else if (key == "Version") cur.version = value;
                    else if (key == "Maintainer") cur.maintainer = value;
                    else if (key == "Architecture") cur.arch = value;
                    else if (key == "Multi-Arch") cur.multiArch = value;
                }
            }
            if (nl == std::string_view::npos) break;
            p = nl + 1;
        }
        flush();
        return stanzas;
    });
}

const char kListFolder[] = "/var/lib/dpkg/info/";

// The file list (<name>.list in the dpkg database's info folder) of each package that has one:
// the name dpkg gives it ("package:arch" for Multi-Arch: same packages, "package" otherwise)
// first, the other name second. Packages removed but for their configuration files have none.
std::vector<std::pair<std::string, std::string>> listNames(Source& s) {
    std::vector<std::pair<std::string, std::string>> names;
    for (const auto& st : dpkgStanzas(s)) {
        auto w = splitWords(st.status);
        if (w.size() != 3 || w[2] == "not-installed" || w[2] == "config-files") continue;
        std::string plain = st.package + ".list", qualified = st.package + ":" + st.arch + ".list";
        if (st.arch.empty()) names.emplace_back(plain, "");
        else if (st.multiArch == "same") names.emplace_back(qualified, plain);
        else names.emplace_back(plain, qualified);
    }
    return names;
}

// The modification times of the packages' file lists, by list name. Each list's status is asked
// for rather than the folder listed: the folder holds several files per package, thousands in
// all, and a server describes every entry of a listing (a status and a formatted line each).
const std::map<std::string, std::time_t>& listTimes(Source& s) {
    return s.memo<std::map<std::string, std::time_t>>("dpkg list times", [&s] {
        std::map<std::string, std::time_t> times;
        auto ask = [&](const std::vector<std::string>& names) {
            std::vector<std::string> paths;
            for (const auto& name : names) paths.push_back(kListFolder + name);
            s.files().prefetchStatuses(paths);
            for (std::size_t k = 0; k < paths.size(); ++k)
                if (auto st = s.status(paths[k]); st && S_ISREG(st->st_mode)) times.emplace(names[k], st->st_mtime);
        };
        auto names = listNames(s);
        std::vector<std::string> first, second;
        for (const auto& [expected, other] : names) first.push_back(expected);
        ask(first);
        for (const auto& [expected, other] : names)
            if (!other.empty() && !times.count(expected)) second.push_back(other);
        ask(second);
        return times;
    });
}

std::vector<Package> dpkgPackages(Source& s) {
    std::vector<Package> out;
    const auto& stanzas = dpkgStanzas(s);
    std::map<std::string, int> names;
    for (const auto& st : stanzas) {
        auto w = splitWords(st.status);
        if (w.size() == 3 && w[2] == "installed") ++names[st.package];
    }
    for (const auto& st : stanzas) {
        auto w = splitWords(st.status);
        if (w.size() != 3 || w[2] != "installed") continue;
        Package pkg;
        bool qualified = names[st.package] > 1 && !st.arch.empty();
        pkg.name = qualified ? st.package + ":" + st.arch : st.package;
        pkg.key = pkg.name;
        pkg.version = st.version;
        pkg.publisher = personName(st.maintainer);
        // The package's file list is rewritten at each install or upgrade.
        const auto& times = listTimes(s);
        for (const std::string& list : {st.package + ":" + st.arch + ".list", st.package + ".list"}) {
            if (auto t = times.find(list); t != times.end()) {
                pkg.installDate = localDate(t->second);
                break;
            }
        }
        out.push_back(std::move(pkg));
    }
    return out;
}

// One rpm header blob: index entries then the data store, all big-endian.
struct RpmHeader {
    std::string_view blob;
    std::uint32_t count = 0, dataLength = 0;
    static std::uint32_t be32(std::string_view b, std::size_t off) {
        return (static_cast<std::uint32_t>(static_cast<unsigned char>(b[off])) << 24) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(b[off + 1])) << 16) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(b[off + 2])) << 8) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(b[off + 3]));
    }
    bool valid() const {
        return blob.size() >= 8 && count < 100000 && 8 + std::size_t{count} * 16 + dataLength <= blob.size();
    }
    // The entry of a tag: its type and the offset of its data.
    std::optional<std::pair<std::uint32_t, std::size_t>> entry(std::uint32_t tag) const {
        std::size_t dataStart = 8 + std::size_t{count} * 16;
        for (std::uint32_t k = 0; k < count; ++k) {
            std::size_t e = 8 + std::size_t{k} * 16;
            if (be32(blob, e) != tag) continue;
            std::size_t off = be32(blob, e + 8);
            if (off >= dataLength) return std::nullopt;
            return std::make_pair(be32(blob, e + 4), dataStart + off);
        }
        return std::nullopt;
    }
    std::optional<std::string> string(std::uint32_t tag) const {
        auto e = entry(tag);
        if (!e || (e->first != 6 && e->first != 8 && e->first != 9)) return std::nullopt;
        std::size_t end = 8 + std::size_t{count} * 16 + dataLength;
        std::string_view rest = blob.substr(e->second, end - e->second);
        auto nul = rest.find('\0');
        if (nul == std::string_view::npos) return std::nullopt;
        return std::string(rest.substr(0, nul));
    }
    std::optional<std::uint32_t> int32(std::uint32_t tag) const {
        auto e = entry(tag);
        std::size_t end = 8 + std::size_t{count} * 16 + dataLength;
        if (!e || e->first != 4 || e->second + 4 > end) return std::nullopt;
        return be32(blob, e->second);
    }
};

std::vector<Package> rpmPackages(Source& s) {
    std::vector<Package> out;
    std::string path;
    for (const char* p : {"/var/lib/rpm/rpmdb.sqlite", "/usr/lib/sysimage/rpm/rpmdb.sqlite"})
        if (s.exists(p)) {
            path = p;
            break;
        }
    if (path.empty()) return out;
    sqlite3* db = nullptr;
    if (auto local = s.files().localPath(path)) {
        // Immutable: the database is only looked at, never locked or recovered.
        std::string uri = "file:" + *local + "?immutable=1";
        if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return out;
        }
    } else {
        // Another computer's database is read whole (bounded) and opened in memory.
        const auto& image = s.file(path, true);
        if (!image || image->empty() ||
            sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
            sqlite3_deserialize(db, "main", reinterpret_cast<unsigned char*>(const_cast<char*>(image->data())),
                                static_cast<sqlite3_int64>(image->size()), static_cast<sqlite3_int64>(image->size()),
                                SQLITE_DESERIALIZE_READONLY) != SQLITE_OK) {
            sqlite3_close(db);
            return out;
        }
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT blob FROM Packages", -1, &st, nullptr) == SQLITE_OK) {
        std::map<std::string, int> seen;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const void* data = sqlite3_column_blob(st, 0);
            int size = sqlite3_column_bytes(st, 0);
            if (!data || size < 8) continue;
            RpmHeader h;
            h.blob = std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(size));
            h.count = RpmHeader::be32(h.blob, 0);
            h.dataLength = RpmHeader::be32(h.blob, 4);
            if (!h.valid()) continue;
            auto name = h.string(1000);
            if (!name || *name == "gpg-pubkey") continue;
            Package pkg;
            pkg.name = *name;
            std::string version = h.string(1001).value_or("");
            if (auto rel = h.string(1002)) version += "-" + *rel;
            if (auto epoch = h.int32(1003)) version = std::to_string(*epoch) + ":" + version;
            pkg.version = version;
            pkg.publisher = h.string(1011).value_or(h.string(1015).value_or(""));
            if (auto t = h.int32(1008)) pkg.installDate = localDate(static_cast<std::time_t>(*t));
            int n = ++seen[pkg.name];
            pkg.key = n == 1 ? pkg.name : pkg.name + ":" + h.string(1022).value_or(std::to_string(n));
            out.push_back(std::move(pkg));
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

}  // namespace

const std::vector<Package>& installedPackages(Source& s) {
    return s.memo<std::vector<Package>>("packages", [&s] {
        std::vector<Package> all = dpkgPackages(s);
        std::map<std::string, int> keys;
        for (const auto& p : all) keys[p.key]++;
        for (auto& p : rpmPackages(s)) {
            if (keys[p.key]++) p.key += " (rpm)";
            all.push_back(std::move(p));
        }
        return all;
    });
}

void packageListsAhead(Source& s, Ahead& ahead) {
    for (const auto& [expected, other] : listNames(s)) ahead.statuses.push_back(kListFolder + expected);
}

std::optional<std::time_t> oldestPackageTime(Source& s) {
    std::optional<std::time_t> oldest;
    for (const auto& [name, mtime] : listTimes(s))
        if (mtime > 0 && (!oldest || mtime < *oldest)) oldest = mtime;
    return oldest;
}

}  // namespace qv::facts

// Computer system, product, operating system and environment variables of a Linux system.
#include <utmp.h>

#include <cstring>
#include <map>

#include "facts/classes.h"
#include "facts/smbios.h"

namespace qv::facts {

namespace {

// LANG language_territory → Windows locale id; territory → international dialling code.
struct LocaleRow {
    const char* name;
    int lcid;
};
const LocaleRow kLocales[] = {
    {"en_US", 1033}, {"en_GB", 2057}, {"en_CA", 4105}, {"en_AU", 3081}, {"en_IE", 6153}, {"en_NZ", 5129},
    {"de_DE", 1031}, {"de_AT", 3079}, {"de_CH", 2055}, {"fr_FR", 1036}, {"fr_CA", 3084}, {"fr_BE", 2060},
    {"fr_CH", 4108}, {"es_ES", 3082}, {"es_MX", 2058}, {"it_IT", 1040}, {"ja_JP", 1041}, {"ko_KR", 1042},
    {"pt_BR", 1046}, {"pt_PT", 2070}, {"ru_RU", 1049}, {"zh_CN", 2052}, {"zh_TW", 1028}, {"nl_NL", 1043},
    {"nl_BE", 2067}, {"sv_SE", 1053}, {"da_DK", 1030}, {"fi_FI", 1035}, {"nb_NO", 1044}, {"pl_PL", 1045},
    {"cs_CZ", 1029}, {"hu_HU", 1038}, {"tr_TR", 1055}, {"el_GR", 1032},
};
struct CountryRow {
    const char* territory;
    const char* code;
};
const CountryRow kCountries[] = {
    {"US", "1"},  {"CA", "1"},  {"GB", "44"}, {"IE", "353"}, {"AU", "61"}, {"NZ", "64"}, {"DE", "49"},
    {"AT", "43"}, {"CH", "41"}, {"FR", "33"}, {"BE", "32"}, {"ES", "34"}, {"MX", "52"}, {"IT", "39"},
    {"JP", "81"}, {"KR", "82"}, {"BR", "55"}, {"PT", "351"}, {"RU", "7"}, {"CN", "86"}, {"TW", "886"},
    {"NL", "31"}, {"SE", "46"}, {"DK", "45"}, {"FI", "358"}, {"NO", "47"}, {"PL", "48"}, {"CZ", "420"},
    {"HU", "36"}, {"TR", "90"}, {"GR", "30"},
};
struct CodeSetRow {
    const char* charset;  // upper case, without '-' and '_'
    const char* codePage;
};
const CodeSetRow kCodeSets[] = {
    {"UTF8", "65001"}, {"ISO88591", "28591"}, {"ISO885915", "28605"}, {"ISO88592", "28592"},
    {"ANSIX3.41968", "20127"}, {"ASCII", "20127"}, {"CP1252", "1252"}, {"KOI8R", "20866"},
    {"EUCJP", "20932"}, {"SHIFTJIS", "932"}, {"SJIS", "932"}, {"GB2312", "936"}, {"GBK", "936"}, {"BIG5", "950"},
};

// The system's LANG: the locale files, else the process environment.
std::optional<std::string> systemLang(Source& s) {
    for (const char* path : {"/etc/default/locale", "/etc/locale.conf"}) {
        if (const auto& f = s.file(path)) {
            if (auto v = keyValue(*f, "LANG")) return v;
        }
    }
    for (const char* name : {"LC_ALL", "LANG"})
        if (auto v = s.probes().environment ? s.probes().environment(name) : std::nullopt; v && !v->empty()) return v;
    return std::nullopt;
}

std::optional<int> lcidOf(const std::string& lang) {
    std::string base = lang.substr(0, lang.find_first_of(".@"));
    for (const auto& row : kLocales)
        if (base == row.name) return row.lcid;
    return std::nullopt;
}

std::optional<std::string> countryOf(const std::string& lang) {
    std::string base = lang.substr(0, lang.find_first_of(".@"));
    auto us = base.find('_');
    if (us == std::string::npos) return std::nullopt;
    std::string territory = base.substr(us + 1);
    for (const auto& row : kCountries)
        if (territory == row.territory) return std::string(row.code);
    return std::nullopt;
}

std::optional<std::string> codeSetOf(const std::string& lang) {
    auto dot = lang.find('.');
    if (dot == std::string::npos) return std::nullopt;
    std::string cs;
    for (char c : text::asciiUpper(lang.substr(dot + 1, lang.find('@', dot) - dot - 1)))
        if (c != '-' && c != '_') cs += c;
    for (const auto& row : kCodeSets)
        if (cs == row.charset) return std::string(row.codePage);
    return std::nullopt;
}

std::optional<std::string> osRelease(Source& s, const std::string& key) {
    const auto& f = s.file("/etc/os-release");
    const auto& g = f ? f : s.file("/usr/lib/os-release");
    if (!g) return std::nullopt;
    auto v = keyValue(*g, key);
    if (v && v->empty()) return std::nullopt;
    return v;
}

// The user at the console: the active session of seat0, else a terminal login in utmp.
std::optional<std::string> consoleUser(Source& s) {
    if (const auto& seat = s.file("/run/systemd/seats/seat0")) {
        if (auto session = keyValue(*seat, "ACTIVE"); session && !session->empty() &&
                                                      session->find('/') == std::string::npos) {
            if (const auto& sf = s.file("/run/systemd/sessions/" + *session))
                if (auto user = keyValue(*sf, "USER"); user && !user->empty()) return user;
        }
    }
    const auto& ut = s.file("/run/utmp");
    if (!ut) return std::nullopt;
    std::optional<std::string> found;
    for (std::size_t off = 0; off + sizeof(struct utmp) <= ut->size(); off += sizeof(struct utmp)) {
        struct utmp rec;
        std::memcpy(&rec, ut->data() + off, sizeof rec);
        if (rec.ut_type != USER_PROCESS) continue;
        std::string line(rec.ut_line, strnlen(rec.ut_line, sizeof rec.ut_line));
        bool console = (startsWith(line, "tty") && line.size() > 3 && std::isdigit(static_cast<unsigned char>(line[3]))) ||
                       startsWith(line, ":0");
        if (!console) continue;
        std::string user(rec.ut_user, strnlen(rec.ut_user, sizeof rec.ut_user));
        if (!user.empty()) found = user;
    }
    return found;
}

struct Membership {
    std::optional<std::string> domain;
    bool joined = false;
    std::optional<std::string> realm;
};

Membership membership(Source& s) {
    Membership m;
    auto security = sambaGlobal(s, "security");
    if (security && (text::asciiLower(*security) == "ads" || text::asciiLower(*security) == "domain")) m.joined = true;
    std::optional<std::string> sssdDomain;
    if (const auto& f = s.file("/etc/sssd/sssd.conf")) {
        for (const auto& sec : parseIni(*f)) {
            if (!startsWith(sec.name, "domain/")) continue;
            auto provider = sec.get("id_provider");
            if (provider && (*provider == "ad" || *provider == "ipa")) {
                m.joined = true;
                sssdDomain = sec.get("ad_domain").value_or(sec.name.substr(7));
            }
        }
    }
    if (s.exists("/etc/krb5.keytab")) m.joined = true;
    if (const auto& f = s.file("/etc/krb5.conf"))
        for (const auto& sec : parseIni(*f))
            if (sec.name == "libdefaults")
                if (auto r = sec.get("default_realm"); r && !r->empty()) m.realm = *r;
    if (m.joined) {
        if (m.realm) m.domain = text::asciiLower(*m.realm);
        else if (auto r = sambaGlobal(s, "realm"); r && !r->empty()) m.domain = text::asciiLower(*r);
        else if (sssdDomain) m.domain = text::asciiLower(*sssdDomain);
    }
    if (!m.domain) {
        auto wg = sambaGlobal(s, "workgroup");
        if (wg && !wg->empty()) m.domain = text::asciiUpper(*wg);
        else if (!sambaConfig(s).empty()) m.domain = std::string("WORKGROUP");  // Samba's default
    }
    return m;
}

int domainRole(Source& s, bool joined) {
    if (auto role = sambaGlobal(s, "server role")) {
        std::string r = text::asciiLower(*role);
        if (r == "active directory domain controller" || r == "classic primary domain controller" ||
            r == "domain controller" || r == "dc")
            return 5;
        if (r == "classic backup domain controller") return 4;
    }
    bool workstation;
    auto chassis = chassisType(s);
    auto inList = [](int v, std::initializer_list<int> l) {
        for (int x : l)
            if (x == v) return true;
        return false;
    };
    if (chassis && (inList(*chassis, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 30, 31, 32})))
        workstation = true;
    else if (chassis && inList(*chassis, {17, 23, 25, 28, 29}))
        workstation = false;
    else
        workstation = s.exists("/etc/systemd/system/display-manager.service");
    if (workstation) return joined ? 1 : 0;
    return joined ? 3 : 2;
}

std::optional<std::string> rootDevice(Source& s) {
    std::optional<std::string> dev;
    for (const auto& m : mounts(s))
        if (m.mountPoint == "/") dev = m.source;
    return dev;
}

std::optional<std::string> pointRelease(Source& s) {
    if (osRelease(s, "ID").value_or("") == "debian")
        if (auto v = s.attr("/etc/debian_version")) return v;
    for (const char* path : {"/etc/redhat-release", "/etc/rocky-release"}) {
        if (auto line = s.attr(path)) {
            for (const auto& w : splitWords(*line))
                if (!w.empty() && std::isdigit(static_cast<unsigned char>(w[0]))) return w;
        }
    }
    return osRelease(s, "VERSION");
}

std::optional<std::time_t> installTime(Source& s) {
    if (s.probes().birthTime)
        if (auto t = s.probes().birthTime(s.hostPath("/"))) return t;
    for (const char* path : {"/var/log/installer", "/root/anaconda-ks.cfg", "/var/log/anaconda"})
        if (auto st = s.status(path); st && st->st_mtime > 0) return st->st_mtime;
    return oldestPackageTime(s);
}

// Variables of one owner in file order; a later definition replaces an earlier one in place.
struct VariableSet {
    std::string owner;
    std::vector<std::pair<std::string, std::string>> vars;
    void put(const std::string& name, const std::string& value) {
        for (auto& [n, v] : vars)
            if (n == name) {
                v = value;
                return;
            }
        vars.emplace_back(name, value);
    }
    void putAll(std::string_view text) {
        for (auto& [k, v] : keyValues(text)) put(k, v);
    }
};

void readEnvironmentDir(Source& s, const std::string& dir, VariableSet& set) {
    for (const auto& name : s.list(dir))
        if (endsWith(name, ".conf"))
            if (const auto& f = s.file(dir + "/" + name)) set.putAll(*f);
}

// pam_env.conf: VAR [DEFAULT=value] [OVERRIDE=value]; OVERRIDE wins.
void readPamEnv(std::string_view text, VariableSet& set) {
    for (const auto& raw : splitLines(text)) {
        std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        auto words = splitWords(line);
        if (words.empty()) continue;
        std::optional<std::string> def, over;
        for (std::size_t i = 1; i < words.size(); ++i) {
            if (startsWith(words[i], "DEFAULT=")) def = unquote(words[i].substr(8));
            else if (startsWith(words[i], "OVERRIDE=")) over = unquote(words[i].substr(9));
        }
        if (over && !over->empty()) set.put(words[0], *over);
        else if (def) set.put(words[0], *def);
    }
}

}  // namespace

std::string hostName(Source& s) {
    auto h = s.attr("/proc/sys/kernel/hostname");
    if (!h) h = s.attr("/etc/hostname");
    std::string name = h.value_or("localhost");
    return text::asciiUpper(name.substr(0, name.find('.')));
}

std::optional<std::string> kernelRelease(Source& s) { return s.attr("/proc/sys/kernel/osrelease"); }

const std::vector<IniSection>& sambaConfig(Source& s) {
    return s.memo<std::vector<IniSection>>("smb.conf", [&s] {
        std::vector<IniSection> sections;
        const auto& f = s.file("/etc/samba/smb.conf");
        if (!f) return sections;
        sections = parseIni(*f, true);
        // Follow "include =" one level deep (the usual registry-less layouts).
        std::vector<IniSection> included;
        for (const auto& sec : sections)
            if (auto inc = sec.get("include"); inc && !inc->empty() && inc->find('%') == std::string::npos)
                if (const auto& g = s.file(*inc))
                    for (auto& extra : parseIni(*g, true))
                        if (!extra.name.empty() || !extra.entries.empty()) included.push_back(std::move(extra));
        sections.insert(sections.end(), included.begin(), included.end());
        return sections;
    });
}

std::optional<std::string> sambaGlobal(Source& s, const std::string& key) {
    std::optional<std::string> found;
    for (const auto& sec : sambaConfig(s))
        if (text::asciiLower(sec.name) == "global")
            if (auto v = sec.get(key)) found = v;
    return found;
}

std::optional<int> chassisType(Source& s) {
    const auto& sm = systemSmbios(s);
    auto t3 = sm.ofType(3);
    if (!t3.empty())
        if (auto b = t3[0]->byte(0x05)) return *b & 0x7F;
    if (auto v = dmiId(s, "chassis_type"))
        if (auto n = parseUnsigned(*v)) return static_cast<int>(*n);
    return std::nullopt;
}

const std::vector<Mount>& mounts(Source& s) {
    return s.memo<std::vector<Mount>>("mounts", [&s] {
        std::vector<Mount> out;
        const auto& f = s.file("/proc/self/mountinfo");
        if (!f) return out;
        // Mountinfo escapes blanks and backslashes in paths as octal.
        auto unescape = [](const std::string& in) {
            std::string r;
            for (std::size_t i = 0; i < in.size(); ++i) {
                if (in[i] == '\\' && i + 3 < in.size()) {
                    if (auto v = parseUnsigned(in.substr(i + 1, 3), 8); v && *v < 256) {
                        r += static_cast<char>(*v);
                        i += 3;
                        continue;
                    }
                }
                r += in[i];
            }
            return r;
        };
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            std::size_t dash = 0;
            for (std::size_t i = 6; i < w.size(); ++i)
                if (w[i] == "-") {
                    dash = i;
                    break;
                }
            if (dash == 0 || dash + 2 >= w.size()) continue;
            out.push_back({w[2], unescape(w[3]), unescape(w[4]), w[dash + 1], unescape(w[dash + 2])});
        }
        return out;
    });
}

Instances computerSystem(Source& s) {
    Instance i;
    Membership m = membership(s);
    std::string host = hostName(s);
    i.set("Name", Value::of(host));
    i.set("Caption", Value::of(host));
    i.set("Domain", textOrNull(m.domain));
    i.set("PartOfDomain", Value::of(m.joined));
    i.set("DomainRole", Value::of(domainRole(s, m.joined)));
    i.set("PrimaryOwnerName", Value::null());
    i.set("PrimaryOwnerContact", Value::null());
    if (auto user = consoleUser(s)) {
        std::string qualified = host + "\\" + *user;
        if (auto at = user->find('@'); at != std::string::npos) {
            std::string dom = user->substr(at + 1);
            qualified = text::asciiUpper(dom.substr(0, dom.find('.'))) + "\\" + user->substr(0, at);
        }
        i.set("UserName", Value::of(qualified));
    } else {
        i.set("UserName", Value::null());
    }
    const auto& sm = systemSmbios(s);
    auto t1 = sm.ofType(1);
    const SmbiosStructure* sys = t1.empty() ? nullptr : t1[0];
    i.set("Manufacturer", textOrNull(sys ? sys->string(0x04) : dmiId(s, "sys_vendor")));
    auto model = sys ? sys->string(0x05) : dmiId(s, "product_name");
    if (!model) model = s.attr("/proc/device-tree/model");
    if (model) model->erase(std::find(model->begin(), model->end(), '\0'), model->end());
    i.set("Model", textOrNull(model));
    std::optional<std::uint64_t> memKb;
    if (const auto& mi = s.file("/proc/meminfo"))
        for (const auto& line : splitLines(*mi))
            if (startsWith(line, "MemTotal:")) {
                auto w = splitWords(line.substr(9));
                if (!w.empty()) memKb = parseUnsigned(w[0]);
            }
    i.set("TotalPhysicalMemory", memKb ? uint64Text(*memKb * 1024) : Value::null());
    std::string machine = s.attr("/proc/sys/kernel/arch").value_or(s.probes().machine ? s.probes().machine() : "");
    std::string type = "Unknown";
    if (machine == "x86_64") type = "x64-based PC";
    else if (machine.size() == 4 && machine[0] == 'i' && endsWith(machine, "86")) type = "X86-based PC";
    else if (machine == "aarch64" || machine == "arm64") type = "ARM64-based PC";
    i.set("SystemType", Value::of(type));
    return {i};
}

Instances computerSystemProduct(Source& s) {
    Instance i;
    const auto& sm = systemSmbios(s);
    auto t1 = sm.ofType(1);
    const SmbiosStructure* sys = t1.empty() ? nullptr : t1[0];
    i.set("Name", textOrNull(sys ? sys->string(0x05) : dmiId(s, "product_name")));
    i.set("Vendor", textOrNull(sys ? sys->string(0x04) : dmiId(s, "sys_vendor")));
    i.set("Version", textOrNull(sys ? sys->string(0x06) : dmiId(s, "product_version")));
    i.set("IdentifyingNumber", textOrNull(sys ? sys->string(0x07) : dmiId(s, "product_serial")));
    std::optional<std::string> uuid;
    if (sys && sys->formatted.size() >= 0x18) {
        const auto* b = reinterpret_cast<const unsigned char*>(sys->formatted.data() + 0x08);
        bool allZero = true, allOnes = true;
        for (int k = 0; k < 16; ++k) {
            allZero = allZero && b[k] == 0;
            allOnes = allOnes && b[k] == 0xFF;
        }
        if (!allZero && !allOnes) {
            // From SMBIOS 2.6 the first three fields are little-endian.
            bool swap = sm.major && (*sm.major > 2 || (*sm.major == 2 && sm.minor.value_or(0) >= 6));
            int order[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
            if (swap) {
                int sw[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
                std::copy(sw, sw + 16, order);
            }
            char buf[40];
            std::string t;
            for (int k = 0; k < 16; ++k) {
                std::snprintf(buf, sizeof buf, "%02X", b[order[k]]);
                t += buf;
                if (k == 3 || k == 5 || k == 7 || k == 9) t += '-';
            }
            uuid = t;
        }
    } else if (auto u = dmiId(s, "product_uuid")) {
        uuid = text::asciiUpper(*u);
    }
    i.set("UUID", textOrNull(uuid));
    return {i};
}

Instances operatingSystem(Source& s) {
    Instance i;
    std::string caption = osRelease(s, "PRETTY_NAME").value_or("");
    if (caption.empty()) {
        auto name = osRelease(s, "NAME");
        auto version = osRelease(s, "VERSION");
        caption = name ? *name + (version ? " " + *version : "") : "Linux";
    }
    i.set("Caption", Value::of(caption));
    i.set("Name", Value::of(caption + "|/|" + rootDevice(s).value_or("")));
    i.set("Version", textOrNull(kernelRelease(s)));
    i.set("CSDVersion", textOrNull(pointRelease(s)));
    auto id = s.attr("/etc/machine-id");
    if (!id) id = s.attr("/var/lib/dbus/machine-id");
    i.set("SerialNumber", textOrNull(id));
    auto installed = installTime(s);
    i.set("InstallDate", installed ? Value::of(cimDateTime(*installed)) : Value::null());
    i.set("Organization", Value::null());
    i.set("RegisteredUser", Value::null());
    i.set("NumberOfLicensedUsers", Value::null());
    i.set("OSProductSuite", Value::null());
    i.set("OSType", Value::of(36));  // LINUX in the operating-system type enumeration
    auto lang = systemLang(s);
    const int lcid = lang ? lcidOf(*lang).value_or(0) : 0;  // 0: no Windows locale answers to it
    i.set("OSLanguage", lcid ? Value::of(lcid) : Value::null());
    i.set("CodeSet", textOrNull(lang ? codeSetOf(*lang) : std::nullopt));
    i.set("CountryCode", textOrNull(lang ? countryOf(*lang) : std::nullopt));
    if (lcid) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(lcid));
        i.set("Locale", Value::of(buf));
    } else {
        i.set("Locale", Value::null());
    }
    i.set("LocalDateTime", Value::of(cimDateTime(s.probes().now ? s.probes().now() : std::time(nullptr))));
    i.set("WindowsDirectory", Value::of("/"));
    auto bin = s.link("/bin");
    i.set("SystemDirectory", Value::of(bin ? "/usr/bin" : "/bin"));
    i.set("Manufacturer", textOrNull(osRelease(s, "VENDOR_NAME")));
    std::optional<std::string> description;
    if (const auto& mi = s.file("/etc/machine-info")) description = keyValue(*mi, "PRETTY_HOSTNAME");
    if (!description || description->empty()) description = sambaGlobal(s, "server string");
    i.set("Description", textOrNull(description && !description->empty() ? description : std::nullopt));
    i.set("CSName", Value::of(hostName(s)));
    return {i};
}

namespace {

// The people with persistent settings of their own: accounts with a login shell and uid >= 1000,
// and root; each one's name and home folder.
std::vector<std::pair<std::string, std::string>> people(Source& s) {
    std::vector<std::pair<std::string, std::string>> out;
    const auto& pw = s.file("/etc/passwd");
    if (!pw) return out;
    for (const auto& line : splitLines(*pw)) {
        std::vector<std::string> f;
        std::size_t start = 0;
        for (;;) {
            auto c = line.find(':', start);
            f.push_back(line.substr(start, c == std::string::npos ? std::string::npos : c - start));
            if (c == std::string::npos) break;
            start = c + 1;
        }
        if (f.size() < 7 || f[5].empty() || f[5] == "/") continue;
        auto uid = parseUnsigned(f[2]);
        if (!uid || (*uid != 0 && (*uid < 1000 || *uid >= 65534))) continue;
        out.emplace_back(f[0], f[5]);
    }
    return out;
}

}  // namespace

void environmentAhead(Source& s, Ahead& ahead) {
    for (const auto& name : s.list("/etc/environment.d"))
        if (endsWith(name, ".conf")) ahead.files.push_back("/etc/environment.d/" + name);
    for (const auto& [name, home] : people(s)) {
        ahead.folders.push_back(home + "/.config/environment.d");
        ahead.files.push_back(home + "/.pam_environment");
    }
}

Instances environment(Source& s) {
    std::vector<VariableSet> sets;
    VariableSet system{"<SYSTEM>", {}};
    if (const auto& f = s.file("/etc/environment")) system.putAll(*f);
    readEnvironmentDir(s, "/etc/environment.d", system);
    if (const auto& f = s.file("/etc/security/pam_env.conf")) readPamEnv(*f, system);
    if (const auto& f = s.file("/etc/default/locale")) system.putAll(*f);
    sets.push_back(std::move(system));
    std::string host = hostName(s);
    for (const auto& [name, home] : people(s)) {
        VariableSet user{host + "\\" + name, {}};
        readEnvironmentDir(s, home + "/.config/environment.d", user);
        if (const auto& pe = s.file(home + "/.pam_environment")) readPamEnv(*pe, user);
        if (!user.vars.empty()) sets.push_back(std::move(user));
    }
    Instances out;
    for (const auto& set : sets)
        for (const auto& [name, value] : set.vars) {
            Instance i;
            i.set("Name", Value::of(name));
            i.set("UserName", Value::of(set.owner));
            i.set("VariableValue", Value::of(value));
            i.set("SystemVariable", Value::of(set.owner == "<SYSTEM>"));
            i.set("Caption", Value::of(set.owner + "\\" + name));
            out.push_back(std::move(i));
        }
    return out;
}

}  // namespace qv::facts

// Firmware, processors, memory modules, enclosure, board and port connectors: SMBIOS first,
// then the kernel's own decode and the processor files.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "facts/classes.h"
#include "facts/smbios.h"

namespace qv::facts {

namespace {

const SmbiosStructure* first(const Smbios& sm, std::uint8_t type) {
    auto all = sm.ofType(type);
    return all.empty() ? nullptr : all[0];
}

// MM/DD/YYYY or MM/DD/YY as the firmware gives it.
std::optional<std::string> biosDate(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    unsigned m = 0, d = 0, y = 0;
    char tail = 0;
    if (std::sscanf(text->c_str(), "%u/%u/%u%c", &m, &d, &y, &tail) != 3 || m < 1 || m > 12 || d < 1 || d > 31)
        return std::nullopt;
    if (y < 100) y += y < 80 ? 2000 : 1900;
    if (y > 9999) return std::nullopt;
    return cimDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
}

// One logical processor of /proc/cpuinfo.
struct CpuInfo {
    int processor = -1;
    std::map<std::string, std::string> fields;
    std::string get(const std::string& k) const {
        auto it = fields.find(k);
        return it == fields.end() ? std::string() : it->second;
    }
};

std::vector<CpuInfo> parseCpuInfo(Source& s) {
    std::vector<CpuInfo> out;
    const auto& f = s.file("/proc/cpuinfo");
    if (!f) return out;
    CpuInfo cur;
    bool any = false;
    for (const auto& line : splitLines(*f)) {
        if (trim(line).empty()) {
            if (any) out.push_back(cur);
            cur = {};
            any = false;
            continue;
        }
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = trim(line.substr(0, colon)), value = trim(line.substr(colon + 1));
        if (key == "processor") {
            if (any && cur.processor >= 0) {
                out.push_back(cur);
                cur = {};
            }
            cur.processor = static_cast<int>(parseUnsigned(value).value_or(0));
        }
        cur.fields[key] = value;
        any = true;
    }
    if (any) out.push_back(cur);
    // Lines before the first "processor" (ARM's shared header) belong to every processor.
    return out;
}

// Parsed once per connection: several classes and the warm-up ask.
const std::vector<CpuInfo>& cpuInfo(Source& s) {
    return s.memo<std::vector<CpuInfo>>("cpuinfo", [&s] { return parseCpuInfo(s); });
}

}  // namespace

// Every processor's package, clocks and cache folder.
void processorsAhead(Source& s, Ahead& ahead) {
    for (const auto& c : cpuInfo(s)) {
        if (c.processor < 0) continue;
        std::string dir = "/sys/devices/system/cpu/cpu" + std::to_string(c.processor);
        for (const char* attr : {"/topology/physical_package_id", "/cpufreq/base_frequency", "/cpufreq/cpuinfo_max_freq",
                                 "/cpufreq/scaling_cur_freq"})
            ahead.files.push_back(dir + attr);
        ahead.folders.push_back(dir + "/cache");
    }
}

namespace {

struct CpuPackage {
    std::vector<CpuInfo> cpus;
};

std::vector<CpuPackage> packages(Source& s) {
    Ahead ahead;
    processorsAhead(s, ahead);
    s.prefetch(ahead);
    // Then the caches the folders hold.
    std::vector<std::string> attrs;
    for (const auto& dir : ahead.folders)
        for (const auto& idx : s.list(dir))
            for (const char* attr : {"/level", "/type", "/shared_cpu_list", "/size"}) attrs.push_back(dir + "/" + idx + attr);
    s.prefetch(attrs);
    std::map<long, CpuPackage> byId;
    for (const auto& c : cpuInfo(s)) {
        long id = -1;
        if (c.processor >= 0)
            if (auto v = s.attr("/sys/devices/system/cpu/cpu" + std::to_string(c.processor) +
                                "/topology/physical_package_id"))
                if (auto n = parseUnsigned(*v)) id = static_cast<long>(*n);
        if (id < 0) id = static_cast<long>(parseUnsigned(c.get("physical id")).value_or(0));
        byId[id].cpus.push_back(c);
    }
    std::vector<CpuPackage> out;
    for (auto& [id, p] : byId) out.push_back(std::move(p));
    return out;
}

std::optional<std::uint64_t> cacheKb(const std::string& size) {
    std::string t = trim(size);
    if (t.empty()) return std::nullopt;
    std::uint64_t mult = 1;
    char unit = t.back();
    if (unit == 'K') t.pop_back();
    else if (unit == 'M') { t.pop_back(); mult = 1024; }
    else if (unit == 'G') { t.pop_back(); mult = 1024 * 1024; }
    auto n = parseUnsigned(t);
    if (!n) return std::nullopt;
    return *n * mult;
}

// Total size of the package's caches of one level: each cache once, however many processors
// share it.
std::optional<std::uint64_t> sysfsCacheKb(Source& s, const CpuPackage& p, const std::string& level) {
    std::set<std::string> seen;
    std::uint64_t total = 0;
    bool any = false;
    for (const auto& c : p.cpus) {
        std::string base = "/sys/devices/system/cpu/cpu" + std::to_string(c.processor) + "/cache";
        for (const auto& idx : s.list(base)) {
            if (!startsWith(idx, "index")) continue;
            if (s.attr(base + "/" + idx + "/level").value_or("") != level) continue;
            if (s.attr(base + "/" + idx + "/type").value_or("Unified") == "Instruction") continue;
            std::string key = s.attr(base + "/" + idx + "/shared_cpu_list").value_or(idx + std::to_string(c.processor));
            if (!seen.insert(level + ":" + key).second) continue;
            if (auto kb = cacheKb(s.attr(base + "/" + idx + "/size").value_or(""))) {
                total += *kb;
                any = true;
            }
        }
    }
    if (!any) return std::nullopt;
    return total;
}

// Without the sysfs cache folders (some hypervisors hide them): on AMD and Hygon processors the
// kernel's "cache size" is the L2 cache of one core. On Intel it is the last level, L2 or L3 as the
// model has, so it says nothing certain about either.
std::optional<std::uint64_t> cpuinfoL2Kb(const CpuPackage& p) {
    const CpuInfo& c = p.cpus.front();
    std::string vendor = c.get("vendor_id");
    if (vendor != "AuthenticAMD" && vendor != "HygonGenuine") return std::nullopt;
    std::string size = c.get("cache size");
    auto blank = size.find(' ');
    if (blank == std::string::npos || trim(size.substr(blank)) != "KB") return std::nullopt;
    auto kb = parseUnsigned(size.substr(0, blank));
    if (!kb || *kb == 0) return std::nullopt;
    std::set<std::string> cores;
    for (const auto& cpu : p.cpus)
        if (!cpu.get("core id").empty()) cores.insert(cpu.get("core id"));
    std::uint64_t n = cores.size();
    if (n == 0) n = parseUnsigned(c.get("cpu cores")).value_or(1);
    return *kb * std::max<std::uint64_t>(n, 1);
}

std::optional<std::int64_t> kHzFile(Source& s, const std::string& path) {
    if (auto v = s.attr(path))
        if (auto n = parseUnsigned(*v); n && *n > 0) return static_cast<std::int64_t>(*n / 1000);
    return std::nullopt;
}

std::optional<std::int64_t> cpuMhz(const CpuPackage& p) {
    if (p.cpus.empty()) return std::nullopt;
    std::string v = p.cpus[0].get("cpu MHz");
    if (v.empty()) return std::nullopt;
    char* end = nullptr;
    double d = std::strtod(v.c_str(), &end);
    if (end == v.c_str() || !(d > 0) || d > 1e6) return std::nullopt;
    return static_cast<std::int64_t>(std::lround(d));
}

// Without the tables: the family from the brand, as the processor-family enumeration numbers them.
int familyFromBrand(const CpuInfo& c, const std::string& machine) {
    std::string vendor = c.get("vendor_id"), name = c.get("model name");
    auto has = [&](const char* w) { return name.find(w) != std::string::npos; };
    if (vendor == "AuthenticAMD") {
        auto fam = parseUnsigned(c.get("cpu family")).value_or(0);
        if (fam >= 23) return 107;  // Zen
        if (has("Opteron")) return 132;
        if (has("Athlon")) return 28;
        return 2;
    }
    if (vendor == "GenuineIntel") {
        if (has("Xeon")) return 179;
        if (has("Core(TM) i3")) return 206;
        if (has("Core(TM) i5")) return 205;
        if (has("Core(TM) i7")) return 198;
        if (has("Core(TM) i9")) return 207;
        if (has("Atom")) return 43;
        if (has("Celeron")) return 15;
        if (has("Pentium")) return 11;
        return 2;
    }
    if (machine == "aarch64") return 257;  // ARMv8
    return 2;
}

std::string description(const CpuInfo& c, const std::string& machine) {
    std::string vendor = c.get("vendor_id");
    if (c.get("cpu family").empty()) return {};
    std::string arch = machine == "x86_64" ? (vendor == "AuthenticAMD" ? "AMD64" : "Intel64") : "x86";
    return arch + " Family " + c.get("cpu family") + " Model " + c.get("model") + " Stepping " + c.get("stepping");
}

std::optional<std::string> memorySizeBytes(const SmbiosStructure& t17) {
    auto size = t17.word(0x0C);
    if (!size || *size == 0xFFFF) return std::nullopt;
    std::uint64_t bytes;
    if (*size == 0x7FFF && t17.formatted.size() >= 0x20) {
        bytes = static_cast<std::uint64_t>(t17.dword(0x1C).value_or(0) & 0x7FFFFFFFu) << 20;
    } else if (*size & 0x8000) {
        bytes = static_cast<std::uint64_t>(*size & 0x7FFF) << 10;
    } else {
        bytes = static_cast<std::uint64_t>(*size) << 20;
    }
    return std::to_string(bytes);
}

// SMBIOS port types 0x00-0x1F keep their number; 0xA0/0xA1 are the 8251 types; others have no code.
Value portType(std::optional<std::uint8_t> raw) {
    if (!raw) return Value::null();
    if (*raw <= 0x1F) return Value::of(static_cast<int>(*raw));
    if (*raw == 0xA0) return Value::of(32);
    if (*raw == 0xA1) return Value::of(33);
    return Value::null();
}

}  // namespace

Instances bios(Source& s) {
    const auto& sm = systemSmbios(s);
    const SmbiosStructure* t0 = first(sm, 0);
    const SmbiosStructure* t1 = first(sm, 1);
    auto vendor = t0 ? t0->string(0x04) : dmiId(s, "bios_vendor");
    auto version = t0 ? t0->string(0x05) : dmiId(s, "bios_version");
    auto date = t0 ? t0->string(0x08) : dmiId(s, "bios_date");
    if (!t0 && !vendor && !version && !date) return {};
    Instance i;
    i.set("Name", textOrNull(version));
    i.set("Caption", textOrNull(version));
    i.set("Description", textOrNull(version));
    i.set("Manufacturer", textOrNull(vendor));
    i.set("SMBIOSBIOSVersion", textOrNull(version));
    i.set("SMBIOSMajorVersion", sm.major ? Value::of(*sm.major) : Value::null());
    i.set("SMBIOSMinorVersion", sm.minor ? Value::of(*sm.minor) : Value::null());
    i.set("SMBIOSPresent", Value::of(true));
    i.set("ReleaseDate", textOrNull(biosDate(date)));
    const SmbiosStructure* t13 = first(sm, 13);
    i.set("CurrentLanguage", textOrNull(t13 ? t13->string(0x15) : std::nullopt));
    i.set("SerialNumber", textOrNull(t1 ? t1->string(0x07) : dmiId(s, "product_serial")));
    return {i};
}

// CPUID leaf 1 (EDX then EAX) rebuilt from /proc/cpuinfo, for when the instruction cannot be run
// (another computer): the first 32 flags are EDX's bits in order, EAX the signature.
std::optional<std::string> cpuinfoProcessorId(const CpuInfo& c) {
    static const char* const kEdx[32] = {"fpu", "vme",  "de",   "pse",  "tsc",   "msr",  "pae", "mce",
                                         "cx8", "apic", "",     "sep",  "mtrr",  "pge",  "mca", "cmov",
                                         "pat", "pse36", "pn",  "clflush", "",   "dts",  "acpi", "mmx",
                                         "fxsr", "sse", "sse2", "ss",   "ht",    "tm",   "ia64", "pbe"};
    auto family = parseUnsigned(c.get("cpu family")), model = parseUnsigned(c.get("model")),
         stepping = parseUnsigned(c.get("stepping"));
    if (c.get("vendor_id").empty() || !family || !model || !stepping) return std::nullopt;
    std::uint32_t edx = 0;
    for (const auto& flag : splitWords(c.get("flags")))
        for (unsigned bit = 0; bit < 32; ++bit)
            if (flag == kEdx[bit]) edx |= 1u << bit;
    std::uint64_t baseFamily = *family >= 15 ? 15 : *family, extFamily = *family >= 15 ? *family - 15 : 0;
    bool extended = baseFamily == 6 || baseFamily == 15;
    std::uint64_t baseModel = extended ? (*model & 0xF) : *model, extModel = extended ? (*model >> 4) : 0;
    std::uint64_t eax = (*stepping & 0xF) | (baseModel & 0xF) << 4 | baseFamily << 8 | (extModel & 0xF) << 16 |
                        (extFamily & 0xFF) << 20;
    char buf[17];
    std::snprintf(buf, sizeof buf, "%08X%08X", edx, static_cast<unsigned>(eax));
    return std::string(buf);
}

Instances processor(Source& s) {
    const auto& sm = systemSmbios(s);
    std::string machine = s.attr("/proc/sys/kernel/arch").value_or(s.probes().machine ? s.probes().machine() : "");
    auto pkgs = packages(s);
    std::optional<std::string> cpuid;
    bool cpuidAsked = false;
    auto liveId = [&]() {
        if (!cpuidAsked)
            cpuid = s.probes().processorId ? s.probes().processorId()
                    : pkgs.empty()          ? std::nullopt
                                            : cpuinfoProcessorId(pkgs.front().cpus.front());
        cpuidAsked = true;
        return cpuid;
    };
    auto fromPackage = [&](Instance& i, const CpuPackage& p) {
        const CpuInfo& c = p.cpus.front();
        std::string name = c.get("model name");
        i.set("Name", name.empty() ? Value::null() : Value::of(name));
        std::string vendor = c.get("vendor_id");
        if (vendor.empty()) vendor = c.get("CPU implementer");
        i.set("Manufacturer", vendor.empty() ? Value::null() : Value::of(vendor));
        std::string d = description(c, machine);
        i.set("Description", d.empty() ? Value::null() : Value::of(d));
        i.set("Caption", d.empty() ? Value::null() : Value::of(d));
        std::string cpuDir = "/sys/devices/system/cpu/cpu" + std::to_string(c.processor) + "/cpufreq/";
        auto max = kHzFile(s, cpuDir + "base_frequency");
        if (!max) max = kHzFile(s, cpuDir + "cpuinfo_max_freq");
        if (!max) max = cpuMhz(p);
        auto cur = kHzFile(s, cpuDir + "scaling_cur_freq");
        if (!cur) cur = cpuMhz(p);
        i.set("MaxClockSpeed", intOrNull(max));
        i.set("CurrentClockSpeed", intOrNull(cur));
        auto l2 = sysfsCacheKb(s, p, "2");
        if (!l2) l2 = cpuinfoL2Kb(p);
        auto l3 = sysfsCacheKb(s, p, "3");
        i.set("L2CacheSize", l2 ? Value::of(static_cast<std::int64_t>(*l2)) : Value::null());
        i.set("L3CacheSize", l3 ? Value::of(static_cast<std::int64_t>(*l3)) : Value::null());
        i.set("NumberOfLogicalProcessors", Value::of(static_cast<std::int64_t>(p.cpus.size())));
    };
    Instances out;
    auto t4 = sm.ofType(4);
    if (!t4.empty()) {
        std::size_t next = 0;
        for (std::size_t k = 0; k < t4.size(); ++k) {
            const SmbiosStructure& st = *t4[k];
            Instance i;
            i.set("DeviceID", Value::of("CPU" + std::to_string(k)));
            i.set("SocketDesignation", textOrNull(st.string(0x04)));
            bool populated = (st.byte(0x18).value_or(0) & 0x40) != 0;
            auto family = st.byte(0x06);
            std::optional<std::int64_t> fam = family ? std::optional<std::int64_t>(*family) : std::nullopt;
            if (family && *family == 0xFE)
                if (auto f2 = st.word(0x28)) fam = *f2;
            auto rawId = st.qword(0x08);
            char idText[17];
            std::snprintf(idText, sizeof idText, "%016llX", static_cast<unsigned long long>(rawId.value_or(0)));
            if (populated && next < pkgs.size()) {
                fromPackage(i, pkgs[next]);
                if (!fam || *fam == 2) fam = familyFromBrand(pkgs[next].cpus.front(), machine);
                ++next;
            } else {
                i.set("Name", textOrNull(st.string(0x10)));
                i.set("Manufacturer", textOrNull(st.string(0x07)));
                i.set("Description", Value::null());
                i.set("Caption", Value::null());
                auto max = st.word(0x14), cur = st.word(0x16);
                i.set("MaxClockSpeed", max ? Value::of(static_cast<int>(*max)) : Value::null());
                i.set("CurrentClockSpeed", cur ? Value::of(static_cast<int>(*cur)) : Value::null());
                i.set("L2CacheSize", Value::null());
                i.set("L3CacheSize", Value::null());
            }
            i.set("Family", intOrNull(fam));
            if (populated && rawId.value_or(0) == 0) {
                i.set("ProcessorId", textOrNull(liveId()));
            } else {
                i.set("ProcessorId", rawId ? Value::of(std::string(idText)) : Value::null());
            }
            i.set("CpuStatus", Value::of(static_cast<int>(st.byte(0x18).value_or(0) & 0x07)));
            out.push_back(std::move(i));
        }
        return out;
    }
    for (std::size_t k = 0; k < pkgs.size(); ++k) {
        Instance i;
        i.set("DeviceID", Value::of("CPU" + std::to_string(k)));
        fromPackage(i, pkgs[k]);
        i.set("Family", Value::of(familyFromBrand(pkgs[k].cpus.front(), machine)));
        auto id = liveId();
        if (!id && machine == "aarch64")
            id = s.attr("/sys/devices/system/cpu/cpu" + std::to_string(pkgs[k].cpus.front().processor) +
                        "/regs/identification/midr_el1");
        i.set("ProcessorId", textOrNull(id));
        out.push_back(std::move(i));
    }
    return out;
}

Instances physicalMemory(Source& s) {
    Instances out;
    const auto& sm = systemSmbios(s);
    int n = 0;
    for (const auto* st : sm.ofType(17)) {
        auto size = st->word(0x0C);
        if (!size || *size == 0) continue;  // an empty slot
        Instance i;
        i.set("Tag", Value::of("Physical Memory " + std::to_string(n++)));
        i.set("Name", Value::of("Physical Memory"));
        i.set("Caption", Value::of("Physical Memory"));
        i.set("Description", Value::of("Physical Memory"));
        i.set("BankLabel", textOrNull(st->string(0x11)));
        i.set("DeviceLocator", textOrNull(st->string(0x10)));
        i.set("Capacity", textOrNull(memorySizeBytes(*st)));
        auto speed = st->word(0x15);
        i.set("Speed", speed && *speed ? Value::of(static_cast<int>(*speed)) : Value::null());
        i.set("Manufacturer", textOrNull(st->string(0x17)));
        i.set("SerialNumber", textOrNull(st->string(0x18)));
        i.set("PartNumber", textOrNull(st->string(0x1A)));
        auto type = st->byte(0x12);
        i.set("SMBIOSMemoryType", type ? Value::of(static_cast<int>(*type)) : Value::null());
        out.push_back(std::move(i));
    }
    if (!sm.ofType(17).empty()) return out;
    // Without the tables, servers with an EDAC driver still name their modules.
    for (const auto& mc : s.list("/sys/devices/system/edac/mc")) {
        std::string base = "/sys/devices/system/edac/mc/" + mc;
        for (const auto& dimm : s.list(base)) {
            if (!startsWith(dimm, "dimm") && !startsWith(dimm, "rank")) continue;
            auto mb = parseUnsigned(s.attr(base + "/" + dimm + "/size").value_or(""));
            if (!mb || *mb == 0) continue;
            Instance i;
            i.set("Tag", Value::of("Physical Memory " + std::to_string(n++)));
            i.set("Name", Value::of("Physical Memory"));
            i.set("Caption", Value::of("Physical Memory"));
            i.set("Description", Value::of("Physical Memory"));
            i.set("BankLabel", textOrNull(s.attr(base + "/" + dimm + "/dimm_label")));
            i.set("DeviceLocator", textOrNull(s.attr(base + "/" + dimm + "/dimm_location")));
            i.set("Capacity", uint64Text(*mb << 20));
            out.push_back(std::move(i));
        }
    }
    return out;
}

Instances systemEnclosure(Source& s) {
    const auto& sm = systemSmbios(s);
    const SmbiosStructure* t3 = first(sm, 3);
    auto vendor = t3 ? t3->string(0x04) : dmiId(s, "chassis_vendor");
    auto type = chassisType(s);
    if (!t3 && !vendor && !type) return {};
    Instance i;
    i.set("Tag", Value::of("System Enclosure 0"));
    i.set("Name", Value::of("System Enclosure"));
    i.set("Caption", Value::of("System Enclosure"));
    i.set("Description", Value::of("System Enclosure"));
    i.set("Manufacturer", textOrNull(vendor));
    i.set("Version", textOrNull(t3 ? t3->string(0x06) : dmiId(s, "chassis_version")));
    i.set("SerialNumber", textOrNull(t3 ? t3->string(0x07) : dmiId(s, "chassis_serial")));
    i.set("SMBIOSAssetTag", textOrNull(t3 ? t3->string(0x08) : dmiId(s, "chassis_asset_tag")));
    i.set("ChassisTypes", Value::ofList({Value::of(type.value_or(2))}));
    return {i};
}

Instances baseBoard(Source& s) {
    const auto& sm = systemSmbios(s);
    const SmbiosStructure* t2 = first(sm, 2);
    auto vendor = t2 ? t2->string(0x04) : dmiId(s, "board_vendor");
    auto product = t2 ? t2->string(0x05) : dmiId(s, "board_name");
    if (!t2 && !vendor && !product) return {};
    Instance i;
    i.set("Tag", Value::of("Base Board"));
    i.set("Name", Value::of("Base Board"));
    i.set("Caption", Value::of("Base Board"));
    i.set("Description", Value::of("Base Board"));
    i.set("Manufacturer", textOrNull(vendor));
    i.set("Product", textOrNull(product));
    i.set("Version", textOrNull(t2 ? t2->string(0x06) : dmiId(s, "board_version")));
    i.set("SerialNumber", textOrNull(t2 ? t2->string(0x07) : dmiId(s, "board_serial")));
    return {i};
}

Instances portConnector(Source& s) {
    Instances out;
    int n = 0;
    for (const auto* st : systemSmbios(s).ofType(8)) {
        Instance i;
        i.set("Tag", Value::of("Port Connector " + std::to_string(n++)));
        i.set("InternalReferenceDesignator", textOrNull(st->string(0x04)));
        i.set("ExternalReferenceDesignator", textOrNull(st->string(0x06)));
        i.set("PortType", portType(st->byte(0x08)));
        out.push_back(std::move(i));
    }
    return out;
}

}  // namespace qv::facts

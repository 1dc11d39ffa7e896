// The report site, written computer by computer; the overview's figures are gathered on the way.
#include "qvdb/report/site.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <unordered_map>

#include "qvdb/export/glpi.h"
#include "qvdb/inventory_data.h"
#include "qvdb/machine_identity.h"
#include "qvdb/report/assets.h"
#include "qvdb/report/charts.h"
#include "qvdb/report/computer_page.h"
#include "qvdb/report/html.h"

#include <nlohmann/json.hpp>

namespace qv::qvdb::report {

namespace {

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long daysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

// A counter of labels, most frequent first when listed.
struct Tally {
    std::unordered_map<std::string, long> counts;
    void add(const std::string& label) { ++counts[label.empty() ? "(not reported)" : label]; }
    std::vector<Bar> bars() const {
        std::vector<Bar> b;
        for (const auto& [label, n] : counts) b.push_back({label, static_cast<double>(n), "", ""});
        std::sort(b.begin(), b.end(), [](const Bar& x, const Bar& y) {
            return x.value != y.value ? x.value > y.value : x.label < y.label;
        });
        return b;
    }
};

// Bins over a measure: bin i holds values from edges[i-1] (inclusive) to edges[i].
struct Bins {
    std::vector<double> edges;       // upper bounds, ascending; the last bin is open
    std::vector<std::string> labels; // one more than edges
    std::vector<std::string> hints;
    std::vector<long> counts;
    void add(double v) {
        if (counts.empty()) counts.assign(labels.size(), 0);
        std::size_t i = 0;
        while (i < edges.size() && v >= edges[i]) ++i;
        ++counts[i];
    }
    std::vector<Bar> bars() const {
        std::vector<Bar> b;
        for (std::size_t i = 0; i < labels.size(); ++i)
            b.push_back({labels[i], counts.empty() ? 0.0 : static_cast<double>(counts[i]), "",
                         hints[i] + ": " + grouped(counts.empty() ? 0 : counts[i])});
        return b;
    }
};

Bins clockBins() {
    return {{500, 1000, 1500, 2000, 2500, 3000, 3500, 4000},
            {"<0.5", "0.5-1", "1-1.5", "1.5-2", "2-2.5", "2.5-3", "3-3.5", "3.5-4", "4+"},
            {"under 0.5 GHz", "0.5 to 1 GHz", "1 to 1.5 GHz", "1.5 to 2 GHz", "2 to 2.5 GHz", "2.5 to 3 GHz",
             "3 to 3.5 GHz", "3.5 to 4 GHz", "4 GHz or more"},
            {}};
}

Bins freeBins() {
    Bins b;
    for (int i = 1; i < 10; ++i) b.edges.push_back(i * 10.0);
    for (int i = 0; i < 10; ++i) {
        b.labels.push_back(std::to_string(i * 10) + "-" + std::to_string(i * 10 + 10));
        b.hints.push_back(std::to_string(i * 10) + " to " + std::to_string(i * 10 + 10) + " % free");
    }
    return b;
}

struct ComputerLine {
    std::vector<std::string> names;  // every name the machine was inventoried under, latest first
    std::string name, domain, file, os, maker, model, cpu, when, serial, uuid, user;
    std::vector<std::string> ips, macs;
    double ram = -1;
    double leastFree = -1;  // the fullest logical disk's free share, %
    std::size_t inventories = 0;
    double daysSince = -1;
    bool stale = false;
};

struct DiskLine {
    std::size_t computer;
    std::string drive, fileSystem;
    double size, free;
};

struct Install {
    std::size_t computer;
    std::string version, since;  // since: the first inventory of an unbroken run with this version
};

struct Package {
    std::set<std::string> versions;
    std::vector<Install> installs;
};

// One change of one machine, for the fleet's page of changes.
struct FleetChange {
    std::string when;
    std::size_t computer;
    Change change;
};

// A tag of a change's topic: "Network adapter" -> "network-adapter".
std::string topicTag(const std::string& topic) {
    std::string t;
    for (char c : topic) t += c == ' ' || c == '/' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t;
}

std::string computerLink(const ComputerLine& c, const std::string& root) {
    return "<a href=\"" + root + "c/" + esc(c.file) + "\">" + esc(c.name) + "</a>";
}

// The computer's names: its latest one linked, the others it was inventoried under after it.
std::string computerCell(const ComputerLine& c, const std::string& root) {
    std::string s = computerLink(c, root);
    if (c.names.size() > 1) {
        std::string others;
        for (std::size_t i = 1; i < c.names.size(); ++i) others += (i > 1 ? ", " : "") + c.names[i];
        s += "<br><span class=\"note aka\">also " + esc(others) + "</span>";
    }
    return s;
}

std::string staleMark(const ComputerLine& c) {
    return c.stale ? " <span class=\"stale\" title=\"not inventoried for " +
                         std::to_string(static_cast<long>(c.daysSince)) + " days\">stale</span>"
                   : std::string();
}

// A row's tags, matched by is:TAG in a filter ("is:stale").
std::string rowTags(const std::vector<std::string>& tags) {
    std::string t;
    for (const auto& x : tags) t += (t.empty() ? "" : " ") + x;
    return t.empty() ? "<tr>" : "<tr data-tags=\"" + t + "\">";
}

std::string filterBox(const std::string& tableId, std::size_t rows) {
    return "<input class=\"filter\" type=\"search\" placeholder=\"Filter\" aria-label=\"Filter the table\" "
           "data-filter-for=\"" + tableId + "\"> <span class=\"note\" data-count-for=\"" + tableId + "\">" +
           grouped(static_cast<long long>(rows)) + " rows</span>\n";
}

// A table in a box of its own width that scrolls sideways on a narrow screen.
std::string tableStart(const std::string& id) {
    return "<div class=\"scroll\"><table class=\"sortable\" id=\"" + id + "\">";
}
const char* kTableEnd = "</tbody></table></div>\n";

// A header cell with the key a URL's sort=KEY names.
std::string th(const char* key, const char* label) {
    return std::string("<th data-key=\"") + key + "\">" + label + "</th>";
}

std::string numCell(double v, const std::string& shown) {
    return "<td class=\"num\" data-v=\"" + numberText(v, 3) + "\">" + esc(shown) + "</td>";
}

std::string joined(const std::vector<std::string>& v, const char* sep) {
    std::string s;
    for (const auto& x : v) s += (s.empty() ? "" : sep) + x;
    return s;
}

std::string diskRows(const std::vector<DiskLine>& disks, const std::vector<ComputerLine>& computers,
                     const std::string& root, std::size_t limit) {
    std::string s;
    for (std::size_t i = 0; i < disks.size() && i < limit; ++i) {
        const DiskLine& d = disks[i];
        const ComputerLine& c = computers[d.computer];
        const double pct = d.size > 0 ? 100.0 * d.free / d.size : 0;
        std::vector<std::string> tags;
        if (pct < 10) tags.push_back("low");
        if (c.stale) tags.push_back("stale");
        s += rowTags(tags) + "<td>" + computerLink(c, root) + "</td><td>" + esc(d.drive) + "</td><td>" +
             esc(d.fileSystem) + "</td>" + numCell(d.size, bytesText(d.size)) + numCell(d.free, bytesText(d.free)) +
             numCell(pct, numberText(pct, 1) + " %") + "<td>" + esc(c.when) + staleMark(c) + "</td></tr>\n";
    }
    return s;
}

std::string diskHead() {
    return std::string("<thead><tr>") + th("computer", "Computer") + th("drive", "Drive") +
           th("fs", "File system") + th("size", "Size") + th("free", "Free") + th("pct", "Free %") +
           th("latest", "Latest inventory") + "</tr></thead>";
}

// Memory bins by powers of two over the fleet's own range, so that no open end bin holds most of it.
Bins memoryBins(const std::vector<double>& values) {
    const double mb = 1024.0 * 1024;
    double lo = 0, hi = 0;
    for (double v : values) {
        lo = lo == 0 ? v : std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (values.empty()) lo = hi = 1024 * mb;
    // Whole powers of two in MB around the extremes (memory sizes are reported a little under one).
    int from = static_cast<int>(std::floor(std::log2(lo / mb * 1.1)));
    int to = static_cast<int>(std::floor(std::log2(hi / mb * 1.1))) + 1;
    from = std::max(from, 0), to = std::max(to, from + 1);
    while (to - from > 12) ++from;  // at most 12 bins: the lowest collects the rest
    auto sizeText = [&](int p) { return p >= 10 ? numberText(std::ldexp(1.0, p - 10), 1) + " GB" : std::to_string(1 << p) + " MB"; };
    auto shortText = [&](int p) { return numberText(std::ldexp(1.0, p - 10), 2); };
    Bins b;
    for (int p = from; p < to; ++p) {
        if (p > from) b.edges.push_back(std::ldexp(1.0, p) * mb / 1.1);
        b.labels.push_back(shortText(p) + "-" + shortText(p + 1));
        b.hints.push_back((p == from ? "up to " : sizeText(p) + " to ") + sizeText(p + 1));
    }
    return b;
}

}  // namespace

bool daysBefore(const std::string& when, std::time_t now, double& days) {
    int y, mo, d, h, mi, s;
    if (std::sscanf(when.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6) return false;
    std::tm local{};
    localtime_r(&now, &local);
    const double then = daysFromCivil(y, mo, d) * 86400.0 + h * 3600 + mi * 60 + s;
    const double at = daysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) * 86400.0 +
                      local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    days = (at - then) / 86400.0;
    return true;
}

bool writeSite(InventorySource& source, StagedFolder& folder, const SiteOptions& options, std::ostream& progress,
               std::string& error) {
    // The computers, and the machines they are: one machine inventoried under several names is
    // one line and one page.
    Fleet fleet;
    if (!readFleetInOneView(source, fleet, error)) return false;
    const std::vector<InventoryKey>& keys = fleet.inventories;
    std::map<std::string, int> namesSeen;
    for (const auto& c : fleet.computers) ++namesSeen[keys[c.first].name];

    const std::size_t machineCount = fleet.machines.size();
    std::vector<ComputerLine> computers;
    computers.reserve(machineCount);
    FileNames pageFiles;  // the computers' pages
    std::vector<DiskLine> disks;
    std::map<std::string, Package> packages;
    Tally byOs, byModel, byCpu, byCpuCount;
    Bins clocks = clockBins(), freeSpace = freeBins();
    std::vector<double> memoryValues;
    long stale = 0, inventoriesCount = static_cast<long>(keys.size());
    nlohmann::json searchComputers = nlohmann::json::array();
    std::vector<FleetChange> changes;

    // Each package's page, by name: known only once every computer is read, so the links are
    // made from the name by the same rule the page is later written under.
    auto packageFile = [](const std::string& name) {
        // The cleaned name keeps the file readable, a 64-bit FNV-1a hash of the whole name keeps
        // names apart that clean to the same text or differ only in case.
        std::uint64_t h = 1469598103934665603ull;
        for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
        char buf[24];
        std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
        return exporting::safeFileName(name.substr(0, 40)) + "-" + buf + ".html";
    };

    progress << "Writing " << machineCount << " computers (" << keys.size() << " inventories)\n" << std::flush;
    const std::size_t step = std::max<std::size_t>(1, machineCount / 50);
    for (std::size_t ci = 0; ci < machineCount; ++ci) {
        // Short views: another program's inventories can be committed between batches.
        if (ci % 100 == 0) {
            source.endView();
            if (!source.beginView(error)) return false;
        }
        const std::vector<std::size_t> order = inventoriesOfMachine(fleet, ci);
        std::vector<HistoryEntry> history;
        Inventory previous, current;
        std::map<std::string, std::pair<std::string, std::string>> softwareSince;  // name -> version, since
        for (std::size_t n = 0; n < order.size(); ++n) {
            const InventoryKey& k = keys[order[n]];
            const bool latest = n + 1 == order.size();
            if (!readInventory(source, k, latest ? std::vector<const char*>{} : historyTables(), current, error))
                return false;
            HistoryEntry entry{k.when, n == 0, {}};
            if (n != 0) entry.changes = changesBetween(previous, current);
            if (n != 0 && !sameComputer(k, keys[order[n - 1]]))
                entry.changes.insert(entry.changes.begin(),
                                     {"Name", Change::Changed, "", exporting::glpiDeviceId(keys[order[n - 1]]),
                                      exporting::glpiDeviceId(k)});
            history.push_back(std::move(entry));
            std::map<std::string, std::pair<std::string, std::string>> now;
            for (const RowView& p : current.of("RegSoftwarePackages")) {
                const std::string name = p.text("Name"), version = p.text("Version");
                if (name.empty()) continue;
                auto was = softwareSince.find(name);
                now[name] = {version, was != softwareSince.end() && was->second.first == version ? was->second.second : k.when};
            }
            softwareSince = std::move(now);
            if (!latest) std::swap(previous, current);
        }
        const Inventory& inv = current;
        const InventoryKey& key = keys[order.back()];
        for (const HistoryEntry& e : history)
            for (const Change& c : e.changes) changes.push_back({e.when, ci, c});

        ComputerLine line;
        line.name = key.name;
        line.domain = key.domain ? *key.domain : std::string();
        line.when = key.when;
        line.inventories = order.size();
        line.names.push_back(exporting::glpiDeviceId(key));
        for (auto it = fleet.machines[ci].rbegin(); it != fleet.machines[ci].rend(); ++it) {
            const std::string other = exporting::glpiDeviceId(keys[fleet.computers[*it].first]);
            if (std::find(line.names.begin(), line.names.end(), other) == line.names.end()) line.names.push_back(other);
        }
        std::string base = key.name;
        if (namesSeen[key.name] > 1) base += "." + line.domain;
        line.file = uniqueFileName(pageFiles, base, ".html");

        if (auto os = inv.first("OSData")) line.os = trimmed(os->text("OSName") + " " + os->text("Version"));
        byOs.add(line.os);
        if (auto d = inv.first("DeviceID")) {
            line.maker = d->text("Manufacturer");
            line.model = d->text("Model");
            line.serial = d->text("IdentifyingNumber");
            line.uuid = d->text("UUID");
            line.user = d->text("CurrentUser");
            if (auto r = d->number("TotalRAM(Bytes)"); r && *r > 0) {
                line.ram = *r;
                memoryValues.push_back(*r);
            }
        }
        byModel.add(trimmed(line.maker + " " + line.model));
        long cpuCount = 0;
        for (const RowView& cpu : inv.of("CPU")) {
            if (emptyRow(*cpu.row)) continue;
            if (cpuCount++ == 0) {
                line.cpu = cpu.text("CPUName");
                if (auto mhz = cpu.number("MaxClockSpeed"); mhz && *mhz > 0) clocks.add(*mhz);
            }
        }
        byCpu.add(line.cpu);
        byCpuCount.add(cpuCount == 1 ? "1 processor" : std::to_string(cpuCount) + " processors");
        for (const RowView& a : inv.of("TCP_IP")) {
            const std::string ip = a.text("IPAddress");
            if (!ip.empty() && ip != "0.0.0.0" && std::find(line.ips.begin(), line.ips.end(), ip) == line.ips.end())
                line.ips.push_back(ip);
        }
        for (const char* table : {"NetworkAdapters", "TCP_IP"})
            for (const RowView& a : inv.of(table)) {
                const std::string mac = a.text("MACAddress");
                if (usableMac(mac) && std::find(line.macs.begin(), line.macs.end(), mac) == line.macs.end())
                    line.macs.push_back(mac);
            }
        double days;
        if (daysBefore(key.when, options.now, days)) {
            line.daysSince = days;
            line.stale = days >= options.staleDays;
            stale += line.stale;
        }
        for (const RowView& d : inv.of("LogicalDrives")) {
            auto size = d.number("MaxSpace"), free = d.number("FreeSpace");
            if (!size || *size <= 0 || !free) continue;
            disks.push_back({ci, d.text("Name"), d.text("FileSystem"), *size, *free});
            const double pct = 100.0 * *free / *size;
            freeSpace.add(pct);
            if (line.leastFree < 0 || pct < line.leastFree) line.leastFree = pct;
        }
        for (const RowView& p : inv.of("RegSoftwarePackages")) {
            const std::string name = p.text("Name");
            if (name.empty()) continue;
            Package& pkg = packages[name];
            pkg.versions.insert(p.text("Version"));
            auto since = softwareSince.find(name);
            pkg.installs.push_back({ci, p.text("Version"), since != softwareSince.end() ? since->second.second : key.when});
        }
        searchComputers.push_back({line.file, line.name, joined(line.names, " "), line.domain, joined(line.ips, " "),
                                   joined(line.macs, " "), line.serial, line.uuid, line.user});
        computers.push_back(line);

        const std::string page = computerPage(inv, history, "../", [&](const std::string& name) {
            return "../software/" + packageFile(name);
        }, line.names);
        if (!folder.writeFile("c/" + line.file, page, error)) return false;
        if (ci + 1 == machineCount || (options.progressIsTerminal && (ci + 1) % step == 0))
            progress << "  computer pages: " << (ci + 1) << " of " << machineCount << (options.progressIsTerminal ? "\r" : "")
                     << std::flush;
    }
    source.endView();
    progress << "\n  overview, computer list, software and disk pages\n" << std::flush;

    // Overview.
    char asOf[32];
    {
        std::tm local{};
        localtime_r(&options.now, &local);
        std::strftime(asOf, sizeof asOf, "%Y-%m-%d %H:%M:%S", &local);
    }
    std::sort(disks.begin(), disks.end(), [](const DiskLine& a, const DiskLine& b) {
        const double pa = a.free / a.size, pb = b.free / b.size;
        return pa != pb ? pa < pb : a.computer < b.computer;
    });
    std::size_t lowDisks = 0;
    while (lowDisks < disks.size() && disks[lowDisks].free < 0.1 * disks[lowDisks].size) ++lowDisks;
    Bins memory = memoryBins(memoryValues);
    for (double v : memoryValues) memory.add(v);

    auto card = [](const char* id, long long n, const std::string& what, const std::string& link) {
        return "<a class=\"card\" href=\"" + esc(link) + "\"><span class=\"n\" id=\"" + id + "\">" + grouped(n) +
               "</span>" + what + "</a>";
    };
    std::string s = pageStart("Inventory overview", "");
    s += "<p class=\"note\">Made from " + esc(source.where()) + " on <span id=\"as-of\">" + asOf +
         "</span>. Each computer is counted once, at its latest inventory; inventories of one machine under "
         "several names count as one computer.</p>\n";
    s += "<div class=\"cards\">" +
         card("n-computers", static_cast<long long>(computers.size()), "computers", "computers.html") +
         card("n-inventories", inventoriesCount, "inventories", "computers.html?sort=inventories&dir=desc") +
         card("n-packages", static_cast<long long>(packages.size()), "software packages",
              "software.html?sort=computers&dir=desc") +
         card("n-low-disks", static_cast<long long>(lowDisks), "logical disks under 10 % free",
              "disks.html?q=is%3Alow&sort=pct") +
         card("n-stale", stale, "not inventoried for " + std::to_string(options.staleDays) + " days",
              "computers.html?q=is%3Astale&sort=latest") +
         "</div>\n";
    s += "<h2>Operating systems</h2><div class=\"charts\">" +
         barChart("chart-os", "Computers by operating system and version", "Computers", byOs.bars()) + "</div>\n";
    s += "<h2>Hardware</h2><div class=\"charts\">" +
         barChart("chart-model", "Computers by manufacturer and model", "Computers", byModel.bars()) +
         histogram("chart-memory", "Memory", "Installed memory (GB)", "Computers", memory.bars()) +
         barChart("chart-cpu", "Computers by processor", "Computers", byCpu.bars(), 12) +
         histogram("chart-clock", "Processor speed", "Maximum clock speed (GHz)", "Computers", clocks.bars()) +
         barChart("chart-cpu-count", "Computers by number of processors", "Computers", byCpuCount.bars(), 8) +
         "</div>\n";
    s += "<h2>Logical disks</h2><div class=\"charts\">" +
         histogram("chart-free", "Logical disks by free space", "Free space (% of size)", "Logical disks",
                   freeSpace.bars()) +
         "</div>\n";
    const std::size_t diskLimit = 500;
    s += "<h3>Fullest logical disks (under 10 % free first)</h3>\n" + filterBox("disks-low", std::min(disks.size(), diskLimit)) +
         tableStart("disks-low") + diskHead() + "<tbody>\n" + diskRows(disks, computers, "", diskLimit) + kTableEnd;
    if (disks.size() > diskLimit)
        s += "<p class=\"note\">The " + grouped(static_cast<long long>(diskLimit)) + " fullest of " +
             grouped(static_cast<long long>(disks.size())) + "; every disk is on <a href=\"disks.html\">Logical disks</a>.</p>\n";
    s += "<h2>Computers not inventoried for " + std::to_string(options.staleDays) + " days</h2>\n";
    std::string staleRows;
    std::vector<const ComputerLine*> staleList;
    for (const auto& c : computers)
        if (c.stale) staleList.push_back(&c);
    std::sort(staleList.begin(), staleList.end(),
              [](const ComputerLine* a, const ComputerLine* b) { return a->daysSince > b->daysSince; });
    for (const ComputerLine* c : staleList)
        staleRows += "<tr><td>" + computerCell(*c, "") + "</td><td>" + esc(c->domain) + "</td><td>" + esc(c->when) +
                     "</td>" + numCell(c->daysSince, std::to_string(static_cast<long>(c->daysSince))) + "</tr>\n";
    if (staleList.empty())
        s += "<p class=\"note\">None.</p>\n";
    else
        s += filterBox("stale", staleList.size()) + tableStart("stale") + "<thead><tr>" + th("computer", "Computer") +
             th("domain", "Domain or workgroup") + th("latest", "Latest inventory") + th("days", "Days since") +
             "</tr></thead><tbody>\n" + staleRows + kTableEnd;
    s += pageEnd();
    if (!folder.writeFile("index.html", s, error)) return false;

    // Every computer: what an administrator looks a machine up by.
    s = pageStart("Computers", "") + filterBox("computers", computers.size()) + tableStart("computers") +
        "<thead><tr>" + th("computer", "Computer") + th("domain", "Domain or workgroup") + th("os", "Operating system") +
        th("addresses", "Addresses") + th("serial", "Serial number") + th("model", "Model") + th("memory", "Memory") +
        th("free", "Least free disk") + th("latest", "Latest inventory") + th("inventories", "Inventories") +
        "</tr></thead><tbody>\n";
    for (const auto& c : computers) {
        std::vector<std::string> tags;
        if (c.stale) tags.push_back("stale");
        if (c.leastFree >= 0 && c.leastFree < 10) tags.push_back("low");
        if (c.names.size() > 1) tags.push_back("alias");
        s += rowTags(tags) + "<td>" + computerCell(c, "") + "</td><td>" + esc(c.domain) + "</td><td>" + esc(c.os) +
             "</td><td>" + esc(joined(c.ips, " ")) + (c.macs.empty() ? "" : "<br><span class=\"note\">" + esc(joined(c.macs, " ")) + "</span>") +
             "</td><td>" + esc(c.serial) + "</td><td>" + esc(trimmed(c.maker + " " + c.model)) + "</td>" +
             (c.ram >= 0 ? numCell(c.ram, bytesText(c.ram)) : std::string("<td></td>")) +
             (c.leastFree >= 0 ? numCell(c.leastFree, numberText(c.leastFree, 1) + " %") : std::string("<td></td>")) +
             "<td data-v=\"" + esc(c.when) + "\">" + esc(c.when) + staleMark(c) + "</td>" +
             numCell(static_cast<double>(c.inventories), grouped(static_cast<long long>(c.inventories))) + "</tr>\n";
    }
    s += kTableEnd + pageEnd();
    if (!folder.writeFile("computers.html", s, error)) return false;

    // Software: every package with its versions, then a page per package.
    s = pageStart("Software", "") + filterBox("software", packages.size()) + tableStart("software") + "<thead><tr>" +
        th("package", "Package") + th("computers", "Computers") + th("versions", "Versions") + "</tr></thead><tbody>\n";
    nlohmann::json searchSoftware = nlohmann::json::array();
    for (const auto& [name, pkg] : packages) {
        std::set<std::size_t> on;
        std::map<std::string, long> perVersion;
        for (const Install& i : pkg.installs) on.insert(i.computer), ++perVersion[i.version];
        std::string versions;
        for (const auto& [v, n] : perVersion)
            versions += (versions.empty() ? "" : ", ") + (v.empty() ? std::string("(no version)") : v) + " (" + grouped(n) + ")";
        s += "<tr><td><a href=\"software/" + esc(packageFile(name)) + "\">" + esc(name) + "</a></td>" +
             numCell(static_cast<double>(on.size()), grouped(static_cast<long long>(on.size()))) + "<td data-v=\"" +
             std::to_string(pkg.versions.size()) + "\">" + esc(versions) + "</td></tr>\n";
        searchSoftware.push_back({packageFile(name), name, static_cast<long long>(on.size())});
    }
    s += kTableEnd + pageEnd();
    if (!folder.writeFile("software.html", s, error)) return false;
    for (const auto& [name, pkg] : packages) {
        std::string p = pageStart(name, "../");
        std::map<std::string, long> perVersion;
        for (const Install& i : pkg.installs) ++perVersion[i.version];
        std::vector<Bar> bars;
        for (const auto& [v, n] : perVersion) bars.push_back({v.empty() ? "(no version)" : v, double(n), "", ""});
        std::sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.value > b.value; });
        p += "<div class=\"charts\">" + barChart("chart-versions", "Installations by version", "Installations", bars) +
             "</div>\n" + filterBox("installs", pkg.installs.size()) + tableStart("installs") + "<thead><tr>" +
             th("computer", "Computer") + th("domain", "Domain or workgroup") + th("version", "Version") +
             th("since", "Since") + th("latest", "Latest inventory") + "</tr></thead><tbody>\n";
        for (const Install& i : pkg.installs) {
            const ComputerLine& c = computers[i.computer];
            p += rowTags(c.stale ? std::vector<std::string>{"stale"} : std::vector<std::string>{}) + "<td>" +
                 computerLink(c, "../") + "</td><td>" + esc(c.domain) + "</td><td>" + esc(i.version) + "</td><td>" +
                 esc(i.since) + "</td><td>" + esc(c.when) + staleMark(c) + "</td></tr>\n";
        }
        p += kTableEnd + pageEnd();
        if (!folder.writeFile("software/" + packageFile(name), p, error)) return false;
    }

    // Every logical disk, fullest first.
    s = pageStart("Logical disks", "") + filterBox("disks", disks.size()) + tableStart("disks") + diskHead() +
        "<tbody>\n" + diskRows(disks, computers, "", disks.size()) + kTableEnd + pageEnd();
    if (!folder.writeFile("disks.html", s, error)) return false;

    // The fleet's changes, newest first: what each inventory found different from the one before.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const FleetChange& a, const FleetChange& b) { return a.when > b.when; });
    const std::size_t changeLimit = 20000;
    s = pageStart("Changes", "");
    s += "<p class=\"note\">What each inventory found changed since the computer's inventory before, newest first. "
         "Filter by computer or by words; <code>is:added</code>, <code>is:removed</code>, <code>is:changed</code> "
         "and topics such as <code>is:software</code>, <code>is:memory</code>, <code>is:operating-system</code>, "
         "<code>is:logical-disk</code>, <code>is:address</code> pick kinds: "
         "<a href=\"changes.html?q=is%3Asoftware+is%3Aadded\">software added</a>, "
         "<a href=\"changes.html?q=is%3Asoftware+is%3Aremoved\">software removed</a>, "
         "<a href=\"changes.html?q=is%3Aoperating-system\">operating systems</a>, "
         "<a href=\"changes.html?q=is%3Amemory\">memory</a>.</p>\n";
    if (changes.size() > changeLimit)
        s += "<p class=\"note\">The newest " + grouped(static_cast<long long>(changeLimit)) + " of " +
             grouped(static_cast<long long>(changes.size())) + " changes; each computer's page has its whole history.</p>\n";
    s += filterBox("changes", std::min(changes.size(), changeLimit)) + tableStart("changes") + "<thead><tr>" +
         th("when", "Inventory") + th("computer", "Computer") + th("topic", "Topic") + th("kind", "Change") +
         th("what", "What") + "</tr></thead><tbody>\n";
    for (std::size_t i = 0; i < changes.size() && i < changeLimit; ++i) {
        const FleetChange& f = changes[i];
        const Change& c = f.change;
        const char* kind = c.kind == Change::Added ? "added" : c.kind == Change::Removed ? "removed" : "changed";
        const std::string what =
            c.kind == Change::Changed ? (c.what.empty() ? "" : c.what + ": ") + c.before + " \xE2\x86\x92 " + c.after : c.what;
        s += rowTags({kind, topicTag(c.topic)}) + "<td>" + esc(f.when) + "</td><td>" + computerLink(computers[f.computer], "") +
             "</td><td>" + esc(c.topic) + "</td><td class=\"" + kind + "\">" + kind + "</td><td>" + esc(what) + "</td></tr>\n";
    }
    s += kTableEnd + pageEnd();
    if (!folder.writeFile("changes.html", s, error)) return false;

    // The search index: loaded by the first search of a visit, then searched in the page.
    const nlohmann::json index = {{"c", searchComputers}, {"s", searchSoftware}};
    const std::string indexText =
        "window.qvSearchIndex = " + index.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + ";\n";
    return folder.writeFile("search-index.js", indexText, error) && folder.writeFile("qv.css", kStyleSheet, error) &&
           folder.writeFile("qv.js", kScript, error);
}

}  // namespace qv::qvdb::report

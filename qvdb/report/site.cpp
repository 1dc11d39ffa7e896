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
#include "qvdb/report/assets.h"
#include "qvdb/report/charts.h"
#include "qvdb/report/computer_page.h"
#include "qvdb/report/html.h"

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

Bins memoryBins() {
    const double g = 1024.0 * 1024 * 1024;
    return {{0.5 * g, 1 * g, 2 * g, 4 * g, 8 * g, 16 * g, 32 * g},
            {"<0.5", "0.5-1", "1-2", "2-4", "4-8", "8-16", "16-32", "32+"},
            {"under 512 MB", "512 MB to 1 GB", "1 to 2 GB", "2 to 4 GB", "4 to 8 GB", "8 to 16 GB", "16 to 32 GB",
             "32 GB or more"},
            {}};
}

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
    std::string name, domain, file, os, maker, model, cpu, when;
    double ram = -1;
    std::size_t inventories = 0;
    double daysSince = -1;
};

struct DiskLine {
    std::size_t computer;
    std::string drive, fileSystem;
    double size, free;
};

struct Package {
    std::set<std::string> versions;
    std::vector<std::pair<std::size_t, std::string>> installs;  // computer, version
};

std::string computerLink(const ComputerLine& c, const std::string& root) {
    return "<a href=\"" + root + "c/" + esc(c.file) + "\">" + esc(c.name) + "</a>";
}

std::string filterBox(const std::string& tableId, std::size_t rows) {
    return "<input class=\"filter\" type=\"search\" placeholder=\"Filter\" data-filter-for=\"" + tableId +
           "\"> <span class=\"note\" data-count-for=\"" + tableId + "\">" + grouped(static_cast<long long>(rows)) +
           " rows</span>\n";
}

std::string numCell(double v, const std::string& shown) {
    return "<td class=\"num\" data-v=\"" + numberText(v, 3) + "\">" + esc(shown) + "</td>";
}

std::string diskRows(const std::vector<DiskLine>& disks, const std::vector<ComputerLine>& computers,
                     const std::string& root, std::size_t limit) {
    std::string s;
    for (std::size_t i = 0; i < disks.size() && i < limit; ++i) {
        const DiskLine& d = disks[i];
        const double pct = d.size > 0 ? 100.0 * d.free / d.size : 0;
        s += "<tr><td>" + computerLink(computers[d.computer], root) + "</td><td>" + esc(d.drive) + "</td><td>" +
             esc(d.fileSystem) + "</td>" + numCell(d.size, bytesText(d.size)) + numCell(d.free, bytesText(d.free)) +
             numCell(pct, numberText(pct, 1) + " %") + "</tr>\n";
    }
    return s;
}

const char* kDiskHead =
    "<thead><tr><th>Computer</th><th>Drive</th><th>File system</th><th>Size</th><th>Free</th><th>Free %</th></tr></thead>";

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
    std::vector<InventoryKey> keys;
    if (!source.inventories(keys, error)) return false;

    // The computers: runs of inventories of one name and domain.
    std::vector<std::pair<std::size_t, std::size_t>> runs;  // first, end
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (i == 0 || !sameComputer(keys[i], keys[i - 1])) runs.push_back({i, i + 1});
        else runs.back().second = i + 1;
    std::map<std::string, int> namesSeen;
    for (const auto& r : runs) ++namesSeen[keys[r.first].name];

    std::vector<ComputerLine> computers;
    computers.reserve(runs.size());
    FileNames pageFiles;  // the computers' pages
    std::vector<DiskLine> disks;
    std::map<std::string, Package> packages;
    Tally byOs, byModel, byCpu, byCpuCount;
    Bins memory = memoryBins(), clocks = clockBins(), freeSpace = freeBins();
    long stale = 0, inventoriesCount = static_cast<long>(keys.size());

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

    progress << "Writing " << runs.size() << " computers (" << keys.size() << " inventories)\n" << std::flush;
    const std::size_t step = std::max<std::size_t>(1, runs.size() / 50);
    for (std::size_t ci = 0; ci < runs.size(); ++ci) {
        // Short views: another program's inventories can be committed between batches.
        if (ci % 100 == 0) {
            source.endView();
            if (!source.beginView(error)) return false;
        }
        const auto [first, end] = runs[ci];
        std::vector<HistoryEntry> history;
        Inventory previous, current;
        for (std::size_t k = first; k < end; ++k) {
            const bool latest = k + 1 == end;
            if (!readInventory(source, keys[k], latest ? std::vector<const char*>{} : historyTables(), current, error))
                return false;
            HistoryEntry entry{keys[k].when, k == first, {}};
            if (k != first) entry.changes = changesBetween(previous, current);
            history.push_back(std::move(entry));
            if (!latest) std::swap(previous, current);
        }
        const Inventory& inv = current;
        const InventoryKey& key = keys[end - 1];

        ComputerLine line;
        line.name = key.name;
        line.domain = key.domain ? *key.domain : std::string();
        line.when = key.when;
        line.inventories = end - first;
        std::string base = key.name;
        if (namesSeen[key.name] > 1) base += "." + line.domain;
        line.file = uniqueFileName(pageFiles, base, ".html");

        if (auto os = inv.first("OSData")) line.os = trimmed(os->text("OSName") + " " + os->text("Version"));
        byOs.add(line.os);
        if (auto d = inv.first("DeviceID")) {
            line.maker = d->text("Manufacturer");
            line.model = d->text("Model");
            if (auto r = d->number("TotalRAM(Bytes)"); r && *r > 0) {
                line.ram = *r;
                memory.add(*r);
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
        for (const RowView& d : inv.of("LogicalDrives")) {
            auto size = d.number("MaxSpace"), free = d.number("FreeSpace");
            if (!size || *size <= 0 || !free) continue;
            disks.push_back({ci, d.text("Name"), d.text("FileSystem"), *size, *free});
            freeSpace.add(100.0 * *free / *size);
        }
        for (const RowView& p : inv.of("RegSoftwarePackages")) {
            const std::string name = p.text("Name");
            if (name.empty()) continue;
            Package& pkg = packages[name];
            pkg.versions.insert(p.text("Version"));
            pkg.installs.push_back({ci, p.text("Version")});
        }
        double days;
        if (daysBefore(key.when, options.now, days)) {
            line.daysSince = days;
            if (days >= options.staleDays) ++stale;
        }
        computers.push_back(line);

        const std::string page = computerPage(inv, history, "../", [&](const std::string& name) {
            return "../software/" + packageFile(name);
        });
        if (!folder.writeFile("c/" + line.file, page, error)) return false;
        if (ci + 1 == runs.size() || (options.progressIsTerminal && (ci + 1) % step == 0))
            progress << "  computer pages: " << (ci + 1) << " of " << runs.size() << (options.progressIsTerminal ? "\r" : "")
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

    std::string s = pageStart("Inventory overview", "");
    s += "<p class=\"note\">Made from " + esc(source.where()) + " on <span id=\"as-of\">" + asOf +
         "</span>. Each computer is counted once, at its latest inventory.</p>\n";
    s += "<div class=\"cards\"><div class=\"card\"><span class=\"n\" id=\"n-computers\">" +
         grouped(static_cast<long long>(computers.size())) +
         "</span>computers</div><div class=\"card\"><span class=\"n\" id=\"n-inventories\">" + grouped(inventoriesCount) +
         "</span>inventories</div><div class=\"card\"><span class=\"n\" id=\"n-packages\">" +
         grouped(static_cast<long long>(packages.size())) +
         "</span>software packages</div><div class=\"card\"><span class=\"n\" id=\"n-low-disks\">" +
         grouped(static_cast<long long>(lowDisks)) +
         "</span>logical disks under 10 % free</div><div class=\"card\"><span class=\"n\" id=\"n-stale\">" +
         grouped(stale) + "</span>not inventoried for " + std::to_string(options.staleDays) + " days</div></div>\n";
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
         "<table class=\"sortable\" id=\"disks-low\">" + kDiskHead + "<tbody>\n" + diskRows(disks, computers, "", diskLimit) +
         "</tbody></table>\n";
    if (disks.size() > diskLimit)
        s += "<p class=\"note\">The " + grouped(static_cast<long long>(diskLimit)) + " fullest of " +
             grouped(static_cast<long long>(disks.size())) + "; every disk is on <a href=\"disks.html\">Logical disks</a>.</p>\n";
    s += "<h2>Computers not inventoried for " + std::to_string(options.staleDays) + " days</h2>\n";
    std::string staleRows;
    std::vector<const ComputerLine*> staleList;
    for (const auto& c : computers)
        if (c.daysSince >= options.staleDays) staleList.push_back(&c);
    std::sort(staleList.begin(), staleList.end(),
              [](const ComputerLine* a, const ComputerLine* b) { return a->daysSince > b->daysSince; });
    for (const ComputerLine* c : staleList)
        staleRows += "<tr><td>" + computerLink(*c, "") + "</td><td>" + esc(c->domain) + "</td><td>" + esc(c->when) +
                     "</td>" + numCell(c->daysSince, std::to_string(static_cast<long>(c->daysSince))) + "</tr>\n";
    if (staleList.empty())
        s += "<p class=\"note\">None.</p>\n";
    else
        s += filterBox("stale", staleList.size()) +
             "<table class=\"sortable\" id=\"stale\"><thead><tr><th>Computer</th><th>Domain or workgroup</th><th>Latest "
             "inventory</th><th>Days since</th></tr></thead><tbody>\n" +
             staleRows + "</tbody></table>\n";
    s += pageEnd();
    if (!folder.writeFile("index.html", s, error)) return false;

    // Every computer.
    s = pageStart("Computers", "") + filterBox("computers", computers.size()) +
        "<table class=\"sortable\" id=\"computers\"><thead><tr><th>Computer</th><th>Domain or workgroup</th>"
        "<th>Operating system</th><th>Manufacturer</th><th>Model</th><th>Memory</th><th>Processor</th>"
        "<th>Latest inventory</th><th>Inventories</th></tr></thead><tbody>\n";
    for (const auto& c : computers) {
        s += "<tr><td>" + computerLink(c, "") + "</td><td>" + esc(c.domain) + "</td><td>" + esc(c.os) + "</td><td>" +
             esc(c.maker) + "</td><td>" + esc(c.model) + "</td>" +
             (c.ram >= 0 ? numCell(c.ram, bytesText(c.ram)) : std::string("<td></td>")) + "<td>" + esc(c.cpu) +
             "</td><td>" + esc(c.when) + "</td>" +
             numCell(static_cast<double>(c.inventories), grouped(static_cast<long long>(c.inventories))) + "</tr>\n";
    }
    s += "</tbody></table>\n" + pageEnd();
    if (!folder.writeFile("computers.html", s, error)) return false;

    // Software: every package, then a page per package.
    s = pageStart("Software", "") + filterBox("software", packages.size()) +
        "<table class=\"sortable\" id=\"software\"><thead><tr><th>Package</th><th>Computers</th><th>Versions</th></tr>"
        "</thead><tbody>\n";
    for (const auto& [name, pkg] : packages) {
        std::set<std::size_t> on;
        for (const auto& [c, v] : pkg.installs) on.insert(c);
        s += "<tr><td><a href=\"software/" + esc(packageFile(name)) + "\">" + esc(name) + "</a></td>" +
             numCell(static_cast<double>(on.size()), grouped(static_cast<long long>(on.size()))) +
             numCell(static_cast<double>(pkg.versions.size()), grouped(static_cast<long long>(pkg.versions.size()))) +
             "</tr>\n";
    }
    s += "</tbody></table>\n" + pageEnd();
    if (!folder.writeFile("software.html", s, error)) return false;
    for (const auto& [name, pkg] : packages) {
        std::string p = pageStart(name, "../");
        std::map<std::string, long> perVersion;
        for (const auto& [c, v] : pkg.installs) ++perVersion[v];
        std::vector<Bar> bars;
        for (const auto& [v, n] : perVersion) bars.push_back({v.empty() ? "(no version)" : v, double(n), "", ""});
        std::sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.value > b.value; });
        p += "<div class=\"charts\">" + barChart("chart-versions", "Installations by version", "Installations", bars) +
             "</div>\n" + filterBox("installs", pkg.installs.size()) +
             "<table class=\"sortable\" id=\"installs\"><thead><tr><th>Computer</th><th>Domain or workgroup</th>"
             "<th>Version</th><th>Latest inventory</th></tr></thead><tbody>\n";
        for (const auto& [c, v] : pkg.installs)
            p += "<tr><td>" + computerLink(computers[c], "../") + "</td><td>" + esc(computers[c].domain) + "</td><td>" +
                 esc(v) + "</td><td>" + esc(computers[c].when) + "</td></tr>\n";
        p += "</tbody></table>\n" + pageEnd();
        if (!folder.writeFile("software/" + packageFile(name), p, error)) return false;
    }

    // Every logical disk, fullest first.
    s = pageStart("Logical disks", "") + filterBox("disks", disks.size()) + "<table class=\"sortable\" id=\"disks\">" +
        kDiskHead + "<tbody>\n" + diskRows(disks, computers, "", disks.size()) + "</tbody></table>\n" + pageEnd();
    if (!folder.writeFile("disks.html", s, error)) return false;

    return folder.writeFile("qv.css", kStyleSheet, error) && folder.writeFile("qv.js", kScript, error);
}

}  // namespace qv::qvdb::report

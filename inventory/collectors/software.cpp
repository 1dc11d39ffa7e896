// The software collector: system drivers, installed packages and registered applications.
#include <algorithm>
#include <array>
#include <unordered_map>
#include <unordered_set>

#include "database/records.h"
#include "files/run_log.h"
#include "files/text_files.h"
#include "inventory/rows.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/target_files.h"
#include "inventory/report.h"
#include "inventory/values.h"
#include "platform/text.h"
#include "core/sort.h"

namespace qv::inventory {

namespace {

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The values of an uninstall entry that make a package, with their report labels and columns.
struct PackageField {
    const char* valueName;  // compared exactly
    const char* label;
    const char* column;
};
constexpr std::size_t kPackageFieldCount = 5;
const std::array<PackageField, kPackageFieldCount> kPackageFields = {{
    {"DisplayName", "               Name: ", "Name"},
    {"DisplayVersion", "            Version: ", "Version"},
    {"ProductID", "            Serial#: ", "Serial#"},
    {"Publisher", "          Publisher: ", "Publisher"},
    {"InstallDate", "       Install Date: ", "InstallDate"},
}};
using Package = std::array<std::string, kPackageFieldCount>;  // in the order of kPackageFields

// Registered-application labels are 20 characters wide.
constexpr std::size_t kApplicationLabelWidth = 20;
constexpr int kFileChecks = 6;
constexpr int kCheckPauseMs = 10;

// The computer's registry provider, in its own view, as each reading of the registry starts.
management::TargetConnection* bindRegistryProvider(TargetContext& ctx) {
    if (ctx.targetServices) ctx.targetServices->selectRegistryView(0);
    return ctx.targetServices;
}

// The registry views to read: the 64-bit and the 32-bit one (where every 32-bit program
// registers) on a 64-bit Windows, which has Software\Wow6432Node; else the provider's own.
// The first view is left selected.
std::vector<int> registryViews(management::TargetConnection& registry) {
    if (management::Result<std::vector<std::string>> names = registry.subkeys(kHiveLocalMachine, "Software"))
        for (const std::string& name : *names)
            if (text::equalsIgnoringCase(name, "Wow6432Node") && registry.selectRegistryView(64)) return {64, 32};
    return {0};
}

// A registry value's text, or empty when it cannot be read.
std::string textOf(management::Result<std::string> value) { return value ? std::move(*value) : std::string(); }

bool isUserHive(const std::string& user) {
    return !text::equalsIgnoringCase(user, ".DEFAULT") && !text::asciiUpper(user).ends_with("_CLASSES");
}

bool listsDisplayName(const std::vector<std::string>& names) {
    return std::find(names.begin(), names.end(), kPackageFields[0].valueName) != names.end();
}

// Sends ahead every registry call readPackages makes, wave by wave where the connection can
// overlap them: each wave is known from the answers of the one before, which this walk reads
// (the connection keeps them, so the reading that follows takes them without asking again).
void prefetchPackages(management::TargetConnection& registry, const std::vector<int>& views) {
    using management::Ask;
    struct Key {
        int view;
        std::uint32_t hive;
        std::string key;
    };
    std::vector<Key> bases;
    std::vector<Ask> asks;
    for (int view : views) {
        bases.push_back({view, kHiveLocalMachine, kUninstallKey});
        asks.push_back(Ask::subkeys(kHiveLocalMachine, kUninstallKey, view));
    }
    asks.push_back(Ask::subkeys(kHiveUsers, "", views.front()));
    registry.prefetch(asks);
    registry.selectRegistryView(views.front());
    if (management::Result<std::vector<std::string>> users = registry.subkeys(kHiveUsers, "")) {
        asks.clear();
        for (const std::string& user : *users) {
            if (!isUserHive(user)) continue;
            bases.push_back({views.front(), kHiveUsers, user + "\\" + kUninstallKey});
            asks.push_back(Ask::subkeys(kHiveUsers, bases.back().key, views.front()));
        }
        registry.prefetch(asks);
    }
    std::vector<Key> entries;
    for (const Key& base : bases) {
        registry.selectRegistryView(base.view);
        management::Result<std::vector<std::string>> subkeys = registry.subkeys(base.hive, base.key);
        if (!subkeys) continue;
        asks.clear();
        for (const std::string& subkey : *subkeys) {
            entries.push_back({base.view, base.hive, base.key + "\\" + subkey});
            asks.push_back(Ask::valueNames(base.hive, entries.back().key, base.view));
        }
        registry.prefetch(asks);
    }
    for (const Key& entry : entries) {
        registry.selectRegistryView(entry.view);
        management::Result<management::RegistryValueNames> values = registry.valueNames(entry.hive, entry.key);
        if (!values || !listsDisplayName(values->names)) continue;
        asks.clear();
        for (const std::string& name : values->names)
            for (const PackageField& field : kPackageFields)
                if (name == field.valueName) asks.push_back(Ask::stringValue(entry.hive, entry.key, name, entry.view));
        registry.prefetch(asks);
    }
    registry.selectRegistryView(views.front());
}

// The entries under one uninstall key that have a display name, in the provider's order.
void readUninstallEntries(TargetContext& ctx, management::TargetConnection& registry, std::uint32_t hive, const std::string& base,
                          std::vector<Package>& packages) {
    management::Result<std::vector<std::string>> subkeys = registry.subkeys(hive, base);
    if (!subkeys) return;
    for (const std::string& subkey : *subkeys) {
        guarded(ctx, [&] {
            const std::string key = base + "\\" + subkey;
            Package package;
            // An entry without a display name is no package: none of its values is read.
            management::Result<management::RegistryValueNames> values = registry.valueNames(hive, key);
            if (!values || !listsDisplayName(values->names)) return;
            for (const std::string& name : values->names)
                for (std::size_t f = 0; f < kPackageFieldCount; ++f) {
                    if (name != kPackageFields[f].valueName) continue;
                    if (management::Result<std::string> text = registry.stringValue(hive, key, name))
                        package[f] = std::move(*text);
                }
            if (!package[0].empty()) packages.push_back(std::move(package));
        });
    }
}

// The machine's uninstall entries in every registry view, then each loaded user's (under
// HKEY_USERS\<SID>; the "_Classes" hives hold no software, ".DEFAULT" is the system account's,
// listed under its SID). A user's software key is the same in both views, so it is read once.
std::vector<Package> readPackages(TargetContext& ctx) {
    std::vector<Package> packages;
    management::TargetConnection* registry = bindRegistryProvider(ctx);
    if (!registry) return packages;
    const std::vector<int> views = registryViews(*registry);
    if (registry->sendsAhead()) prefetchPackages(*registry, views);
    for (int view : views)
        if (registry->selectRegistryView(view)) readUninstallEntries(ctx, *registry, kHiveLocalMachine, kUninstallKey, packages);
    registry->selectRegistryView(views.front());
    management::Result<std::vector<std::string>> users = registry->subkeys(kHiveUsers, "");
    if (!users) return packages;
    for (const std::string& user : *users) {
        if (!isUserHive(user)) continue;
        readUninstallEntries(ctx, *registry, kHiveUsers, user + "\\" + kUninstallKey, packages);
    }
    return packages;
}

// Orders the packages by name with the general text sort. Packages whose names are the very same
// text are interchangeable for the sort; they keep the order they were read in.
void sortByName(std::vector<Package>& packages) {
    if (packages.size() < 2) return;
    std::vector<std::string> names;
    names.reserve(packages.size());
    std::unordered_map<std::string, std::vector<std::size_t>> byName;
    for (std::size_t i = 0; i < packages.size(); ++i) {
        names.push_back(packages[i][0]);
        byName[packages[i][0]].push_back(i);
    }
    quickSortText(names, 0, static_cast<long>(names.size()) - 1);
    std::unordered_map<std::string, std::size_t> taken;
    std::vector<Package> sorted;
    sorted.reserve(packages.size());
    for (const std::string& name : names) sorted.push_back(std::move(packages[byName[name][taken[name]++]]));
    packages = std::move(sorted);
}

void collectPackages(TargetContext& ctx) {
    std::vector<Package> packages;
    guarded(ctx, [&] { packages = readPackages(ctx); });
    sortByName(packages);
    report::writeLine(ctx, "\r\n**Registered Software Packages**");
    for (const Package& package : packages) {
        guarded(ctx, [&] {
            for (std::size_t f = 0; f < kPackageFieldCount; ++f)
                report::writeLine(ctx, kPackageFields[f].label + package[f] + (f + 1 == kPackageFieldCount ? "\r\n" : ""));
            database::Fields row;
            for (std::size_t f = 0; f < kPackageFieldCount; ++f) row.emplace_back(kPackageFields[f].column, package[f]);
            appendRow(ctx, "RegSoftwarePackages", row);
        });
    }
}

struct Application {
    std::string progId, path;
};

// The program path of a LocalServer32 value: upper case, double quotes removed, blanks trimmed,
// cut right after the first ".EXE". Empty when the value names no ".EXE".
std::string programPath(const std::string& server) {
    std::string u = text::asciiUpper(server);
    if (u.find(".EXE") == std::string::npos) return {};
    std::string unquoted;
    unquoted.reserve(u.size());
    for (char c : u)
        if (c != '"') unquoted += c;
    unquoted = trimBlanks(unquoted);
    return unquoted.substr(0, unquoted.find(".EXE") + 4);
}

const char* const kLocalServer = "LocalServer32";

bool hasSubkey(const std::vector<std::string>& subkeys, const char* name) {
    for (const std::string& subkey : subkeys)
        if (text::equalsIgnoringCase(subkey, name)) return true;
    return false;
}

// Sends ahead the registry calls readApplications makes in each view, wave by wave as
// prefetchPackages does.
void prefetchApplications(management::TargetConnection& registry, const std::vector<int>& views) {
    using management::Ask;
    std::vector<Ask> asks;
    for (int view : views) asks.push_back(Ask::subkeys(kHiveClassesRoot, "", view));
    registry.prefetch(asks);
    struct Named {
        int view;
        std::string name;
    };
    std::vector<Named> classes;
    asks.clear();
    for (int view : views) {
        if (!registry.selectRegistryView(view)) continue;
        management::Result<std::vector<std::string>> names = registry.subkeys(kHiveClassesRoot, "");
        if (!names) continue;
        for (const std::string& name : *names) {
            if (name.find("Application") == std::string::npos) continue;
            classes.push_back({view, name});
            asks.push_back(Ask::stringValue(kHiveClassesRoot, name + "\\CLSID", "", view));
        }
    }
    registry.prefetch(asks);
    std::vector<Named> classKeys;
    asks.clear();
    for (const Named& c : classes) {
        registry.selectRegistryView(c.view);
        const std::string clsid = textOf(registry.stringValue(kHiveClassesRoot, c.name + "\\CLSID", ""));
        if (clsid.empty()) continue;
        classKeys.push_back({c.view, "CLSID\\" + clsid});
        asks.push_back(Ask::subkeys(kHiveClassesRoot, classKeys.back().name, c.view));
    }
    registry.prefetch(asks);
    asks.clear();
    for (const Named& k : classKeys) {
        registry.selectRegistryView(k.view);
        management::Result<std::vector<std::string>> subkeys = registry.subkeys(kHiveClassesRoot, k.name);
        if (!subkeys || !hasSubkey(*subkeys, kLocalServer)) continue;
        asks.push_back(Ask::stringValue(kHiveClassesRoot, k.name + "\\" + kLocalServer, "", k.view));
        for (const std::string& subkey : *subkeys)
            if (subkey == "ProgID") asks.push_back(Ask::stringValue(kHiveClassesRoot, k.name + "\\" + subkey, "", k.view));
    }
    registry.prefetch(asks);
}

// The classes whose names contain "Application" in the selected registry view, as ProgID + "|" + path texts in registry order,
// each text with the pair it was made of.
void readApplications(TargetContext& ctx, management::TargetConnection* registry, std::vector<std::string>& texts,
                      std::unordered_map<std::string, Application>& pairs) {
    management::Result<std::vector<std::string>> classes = registry->subkeys(kHiveClassesRoot, "");
    if (!classes) return;
    for (const std::string& className : *classes) {
        if (className.find("Application") == std::string::npos) continue;
        guarded(ctx, [&] {
            // Without a class id there is no class key to look in.
            const std::string clsid = textOf(registry->stringValue(kHiveClassesRoot, className + "\\CLSID", ""));
            if (clsid.empty()) return;
            const std::string classKey = "CLSID\\" + clsid;
            management::Result<std::vector<std::string>> subkeys = registry->subkeys(kHiveClassesRoot, classKey);
            // Without a local server there is no program path: nothing is listed, nothing read.
            if (!subkeys || !hasSubkey(*subkeys, kLocalServer)) return;
            for (const std::string& subkey : *subkeys) {
                if (subkey != "ProgID") continue;
                const std::string server = textOf(registry->stringValue(kHiveClassesRoot, classKey + "\\" + kLocalServer, ""));
                std::string path = programPath(server);
                if (path.empty()) continue;
                const std::string progId = textOf(registry->stringValue(kHiveClassesRoot, classKey + "\\" + subkey, ""));
                std::string text = progId + "|" + path;
                pairs.try_emplace(text, Application{progId, path});
                texts.push_back(std::move(text));
            }
        });
        ctx.platform.system.yieldEvents();
    }
}

// Checks for the file up to six times, 10 ms apart; the number of failed checks, or -1 when
// the file never answered.
int checkForFile(TargetContext& ctx, TargetFiles& files, const std::string& accessPath) {
    for (int failed = 0; failed < kFileChecks;) {
        if (files.exists(accessPath)) return failed;
        ++failed;
        ctx.platform.system.sleepMs(kCheckPauseMs);
    }
    return -1;
}

void listApplication(TargetContext& ctx, TargetFiles& files, const Application& app) {
    int accessCount = 0;
    FileFacts facts;
    std::string accessPath = app.path;
    bool reachable = true;
    {
        std::optional<std::string> shared = files.accessPath(app.path);
        if (shared) {
            accessPath = *shared;
        } else {
            files::logLine(ctx, "  Error: Unable to create share for file: " + text::shownSafely(app.path) +
                                    "\r\n         File skipped for data collection");
            reachable = false;
        }
    }
    if (reachable) {
        accessCount = checkForFile(ctx, files, accessPath);
        if (accessCount < 0) {
            accessCount = kFileChecks;
            files::logLine(ctx, " Error: Unable to get Application File: " + text::shownSafely(app.path));
        } else {
            facts = files.facts(accessPath);
        }
    }

    database::Field created = std::monostate{};
    if (facts.created) created = *facts.created;
    guarded(ctx, [&] {
        appendRow(ctx, "RegSoftwareAppl",
                            {{"Name", app.progId}, {"Path", app.path}, {"Version", facts.version}, {"DateCreated", created}});
    });

    const std::string createdText =
        facts.created ? formatGeneralDate(ctx.platform.system.locale(), *facts.created) : std::string();
    report::writeLine(ctx, "          " + app.progId + " Access Time mSec: " + std::to_string(kCheckPauseMs * accessCount));
    report::writeLine(ctx, report::label("Path", kApplicationLabelWidth) + app.path);
    report::writeLine(ctx, report::label("Version", kApplicationLabelWidth) + facts.version);
    report::writeLine(ctx, report::label("Created", kApplicationLabelWidth) + createdText + "\r\n");
}

void collectApplications(TargetContext& ctx, TargetFiles& files) {
    std::vector<std::string> texts;
    std::unordered_map<std::string, Application> pairs;
    guarded(ctx, [&] {
        management::TargetConnection* registry = bindRegistryProvider(ctx);
        if (!registry) return;
        const std::vector<int> views = registryViews(*registry);
        if (registry->sendsAhead()) {
            prefetchApplications(*registry, views);
            registry->selectRegistryView(views.front());
        }
        for (int view : views)
            if (registry->selectRegistryView(view)) readApplications(ctx, registry, texts, pairs);
    });
    if (!texts.empty()) quickSortText(texts, 0, static_cast<long>(texts.size()) - 1);
    report::writeLine(ctx, "**Registered Applications**");
    // Each pair once: texts that differ only in case may stand between two equal ones after the
    // case-insensitive sort, so every text already listed is dropped, not only the one before.
    std::unordered_set<std::string> listed;
    if (files.sendsAhead()) {
        std::vector<std::string> paths;
        for (const std::string& text : texts)
            if (listed.insert(text).second) paths.push_back(pairs.at(text).path);
        files.prefetch(paths);
        listed.clear();
    }
    for (const std::string& text : texts) {
        if (!listed.insert(text).second) continue;
        guarded(ctx, [&] { listApplication(ctx, files, pairs.at(text)); });
    }
}

}  // namespace

void collectSoftware(TargetContext& ctx) {
    report::writeLine(ctx, "**Software Information**");
    // The computer's files (and any drive shares they need) serve drivers and applications alike;
    // the shares go when the collector does, however it ends.
    TargetFiles files(ctx);
    guarded(ctx, [&] { collectSystemDrivers(ctx, files); });
    debugTrace(ctx, "  Drivers");
    ctx.platform.system.yieldEvents();

    collectPackages(ctx);
    debugTrace(ctx, "  Registered Packages");
    ctx.platform.system.yieldEvents();

    collectApplications(ctx, files);
    debugTrace(ctx, "  Registered Applications");
}

}  // namespace qv::inventory

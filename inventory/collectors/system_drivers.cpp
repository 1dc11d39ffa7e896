// The system-driver collector: running drivers with file version and date, in four filtered passes.
#include "classes/declarations.h"
#include "database/records.h"
#include "database/schema.h"
#include "inventory/rows.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/target_files.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

struct DriverGroup {
    const char* heading;
    const char* word;  // a service belongs to the group when its ServiceType contains this word
};
const DriverGroup kDriverGroups[] = {
    {"      **Kernel Drivers**", "Kernel"},
    {"      **File System Drivers**", "File"},
    {"      **Adapter Drivers**", "Adapter"},
    {"      **Recognition Drivers**", "Recognizer"},
};

bool listedIn(const Instance& service, const DriverGroup& group) {
    const Value& pathName = service.get("Pathname");
    if (!pathName.readable() || pathName.isNull() || plainText(pathName).empty()) return false;
    if (plainText(service.get("ServiceType")).find(group.word) == std::string::npos) return false;
    const Value& state = service.get("State");
    return state.readable() && plainText(state) == "Running";
}

// The driver's file is read where the driver runs, by its own path through the connection or
// through the drive's share. A path no share can reach gives no facts.
FileFacts driverFileFacts(TargetFiles& files, const std::string& path) {
    std::optional<std::string> accessPath = files.accessPath(path);
    if (!accessPath) return {};
    return files.facts(*accessPath);
}

void listDriver(TargetContext& ctx, TargetFiles& files, const Instance& service) {
    const std::string name = trimmedText(service.get("Caption"));
    // The file is read at the path as stored, and the report shows the version as stored.
    const std::string path = cutTo(service.get("Pathname"), database::columnWidth("Drivers", "Path"));
    const std::string type = trimmedText(service.get("ServiceType"));
    FileFacts facts = driverFileFacts(files, path);
    const std::string version = firstCharacters(trimBlanks(facts.version), database::columnWidth("Drivers", "Version"));
    const std::string createdText =
        facts.created ? formatGeneralDate(ctx.platform.system.locale(), *facts.created) : std::string();

    const Value& caption = service.get("Caption");
    if (caption.readable()) report::writeLine(ctx, "           " + report::displayText(caption));
    report::writeLine(ctx, "           PathName: " + report::displayText(service.get("Pathname")));
    report::writeLine(ctx, "           Ver Date: " + version + "    " + createdText + "\r\n");

    database::Field created = std::monostate{};
    if (facts.created) created = *facts.created;
    appendRow(ctx, "Drivers",
                        {{"Name", name}, {"Path", path}, {"Type", type}, {"Version", version}, {"DateCreated", created}});
}

}  // namespace

void collectSystemDrivers(TargetContext& ctx, TargetFiles& files) {
    report::writeLine(ctx, "**Base System Drivers**");
    report::writeLine(ctx, "**Note: Only Running files are reported**");
    std::int64_t count = 0;
    if (countInstances(ctx, classes::Win32_BaseService.name, count) && count != 0) {
        if (files.sendsAhead()) {
            // The files of every driver listed, read ahead in the order they are listed (the
            // connection answers the query again from its first answer).
            Instances listed;
            runQuery(ctx, std::string("Select * from ") + classes::Win32_BaseService.name, listed);
            std::vector<std::string> paths;
            for (const DriverGroup& group : kDriverGroups)
                for (const Instance& service : listed)
                    if (listedIn(service, group))
                        paths.push_back(cutTo(service.get("Pathname"), database::columnWidth("Drivers", "Path")));
            files.prefetch(paths);
        }
        for (const DriverGroup& group : kDriverGroups) {
            report::writeLine(ctx, group.heading);
            Instances services;
            runQuery(ctx, std::string("Select * from ") + classes::Win32_BaseService.name, services);
            for (const Instance& service : services)
                if (listedIn(service, group)) guarded(ctx, [&] { listDriver(ctx, files, service); });
        }
        return;
    }
    // Nothing to list (or the class cannot be counted): one empty row with the zero date.
    guarded(ctx, [&] {
        appendRow(ctx, "Drivers",
                            {{"Name", std::string()}, {"Path", std::string()}, {"Type", std::string()},
                             {"Version", std::string()}, {"DateCreated", DateTime{}}});
    });
    report::writeLine(ctx, "       Not Reported");
}

}  // namespace qv::inventory

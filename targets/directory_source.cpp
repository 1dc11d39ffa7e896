// The directory source: the domain's computer objects from a global catalog (the domain controller's
// when the locator finds none).
#include "targets/directory_source.h"

#include "platform/text.h"
#include "targets/target_list.h"

namespace qv::targets {

namespace {

// The directory cannot be used: one console line and the same log line, then the WINS source runs.
void directoryUnusable(Reporter& report, const std::string& why) {
    const std::string text = "Active Directory not available (" + why + ") - AD computers not reported";
    report.say(text);
    report.log(text);
}
}  // namespace

void addDirectoryTargets(Platform& platform, const RunEnvironment& env, Reporter& report, TargetList& list) {
    if (env.sAdsiDBProvider.empty()) {
        const std::string text = "Active Directory Provider not available - AD computers not reported";
        report.say(text);
        report.log(text);
        return;
    }
    // A global catalog the locator finds is searched first: the primary domain controller need
    // not be one. The controller is the fallback, and its answer is the one reported.
    std::vector<std::string> servers;
    std::string catalog;
    if (platform.directory.globalCatalogServer(env.sDomainName, catalog) && !catalog.empty() &&
        !text::equalsIgnoringCase(catalog.substr(0, catalog.find('.')), env.sPDC))
        servers.push_back(catalog);
    servers.push_back(env.sPDC);
    std::string namingContext, why;
    DirectoryNames names;
    bool searched = false;
    for (const std::string& server : servers) {
        Result<std::string> context = platform.directory.defaultNamingContext(server);
        if (!context) {
            why = context.error().why();
            continue;
        }
        namingContext = *context;
        Result<DirectoryNames> found = platform.directory.searchComputers(server, "GC://" + namingContext);
        if (found) {
            names = std::move(*found);
            searched = true;
            break;
        }
        why = found.error().why();
    }
    if (!searched) {
        directoryUnusable(report, why);
        return;
    }
    if (names.empty()) {
        directoryUnusable(report, "no computer objects found under " + namingContext);
        return;
    }
    for (const auto& value : names) {
        if (!value || value->empty()) continue;
        std::string name = text::trimBlanks(platform.system.upperCase(*value));
        if (name.empty()) continue;
        if (text::characterCount(name) <= kMaxComputerNameLength) {
            list.push_back(name);
            continue;
        }
        report.say("Active Directory reports a Computer Name longer than 255 characters\r\n"
                   "See Logfile for Name.  Name skipped, Continuing to run.\r\n");
        report.log("AD reports Computer Name longer than 255 characters:\r\n" + text::shownSafely(name) +
                   "\r\n***Unable to process - computer will be skipped***\r\n");
    }
}

}  // namespace qv::targets

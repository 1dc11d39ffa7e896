// The directory source: the domain's computer objects from a global catalog (the domain controller's
// when the locator finds none).
#include "targets/directory_source.h"

#include "console/console.h"
#include "files/run_log.h"
#include "platform/text.h"
#include "targets/target_list.h"

namespace qv::targets {

namespace {

// The directory cannot be used: one console line and the same log line, then the WINS source runs.
void directoryUnusable(RunContext& ctx, const std::string& why) {
    const std::string text = "Active Directory not available (" + why + ") - AD computers not reported";
    console::writeConsoleLine(ctx, text, true);
    files::logLine(ctx, text);
}
}  // namespace

void addDirectoryTargets(RunContext& ctx) {
    if (ctx.env.sAdsiDBProvider.empty()) {
        const std::string text = "Active Directory Provider not available - AD computers not reported";
        console::writeConsoleLine(ctx, text, true);
        files::logLine(ctx, text);
        return;
    }
    // A global catalog the locator finds is searched first: the primary domain controller need
    // not be one. The controller is the fallback, and its answer is the one reported.
    std::vector<std::string> servers;
    std::string catalog;
    if (ctx.platform.directory.globalCatalogServer(ctx.env.sDomainName, catalog) && !catalog.empty() &&
        !text::equalsIgnoringCase(catalog.substr(0, catalog.find('.')), ctx.env.sPDC))
        servers.push_back(catalog);
    servers.push_back(ctx.env.sPDC);
    std::string namingContext, why;
    DirectoryNames names;
    bool searched = false;
    for (const std::string& server : servers) {
        Result<std::string> context = ctx.platform.directory.defaultNamingContext(server);
        if (!context) {
            why = context.error().why();
            continue;
        }
        namingContext = *context;
        Result<DirectoryNames> found = ctx.platform.directory.searchComputers(server, "GC://" + namingContext);
        if (found) {
            names = std::move(*found);
            searched = true;
            break;
        }
        why = found.error().why();
    }
    if (!searched) {
        directoryUnusable(ctx, why);
        return;
    }
    if (names.empty()) {
        directoryUnusable(ctx, "no computer objects found under " + namingContext);
        return;
    }
    for (const auto& value : names) {
        if (!value || value->empty()) continue;
        std::string name = text::trimBlanks(ctx.platform.system.upperCase(*value));
        if (name.empty()) continue;
        if (text::characterCount(name) <= kMaxComputerNameLength) {
            addTarget(ctx, name);
            continue;
        }
        console::writeConsoleLine(ctx,
                                  "Active Directory reports a Computer Name longer than 255 characters\r\n"
                                  "See Logfile for Name.  Name skipped, Continuing to run.\r\n",
                                  true);
        files::logLine(ctx, "AD reports Computer Name longer than 255 characters:\r\n" + text::shownSafely(name) +
                                "\r\n***Unable to process - computer will be skipped***\r\n");
    }
}

}  // namespace qv::targets

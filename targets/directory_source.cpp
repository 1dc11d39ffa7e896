// The directory source: the domain's computer objects from the global catalog of the domain controller.
#include "targets/directory_source.h"

#include "console/console.h"
#include "files/run_log.h"
#include "inventory/values.h"
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
    std::string namingContext, why;
    if (!ctx.platform.directory.defaultNamingContext(ctx.env.sPDC, namingContext, why)) {
        directoryUnusable(ctx, why);
        return;
    }
    std::vector<std::optional<std::string>> names;
    if (!ctx.platform.directory.searchComputers(ctx.env.sPDC, "GC://" + namingContext, names, why)) {
        directoryUnusable(ctx, why);
        return;
    }
    if (names.empty()) {
        directoryUnusable(ctx, "no computer objects found under " + namingContext);
        return;
    }
    for (const auto& value : names) {
        if (!value || value->empty()) continue;
        std::string name = inventory::trimBlanks(ctx.platform.system.upperCase(*value));
        if (name.empty()) continue;
        if (inventory::characterCount(name) <= kMaxComputerNameLength) {
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

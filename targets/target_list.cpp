// The target name list.
#include "targets/target_list.h"

#include <algorithm>
#include <cctype>

#include "console/console.h"
#include "files/run_log.h"
#include "inventory/values.h"

namespace qv::targets {

void createTargetList(RunContext& ctx) { ctx.targetList.clear(); }

void addTarget(RunContext& ctx, const std::string& name) { ctx.targetList.push_back(name); }

void addNameTokenTargets(RunContext& ctx) {
    for (const std::string& token : ctx.commandLine.nameTokens) addTarget(ctx, token);
}

void addNameFileTargets(RunContext& ctx) {
    if (!ctx.nameFileStream) return;
    long lineNumber = 0;
    while (!ctx.nameFileStream->atEnd()) {
        std::string line = ctx.nameFileStream->readLine();
        ++lineNumber;
        if (inventory::characterCount(line) > kMaxComputerNameLength) {
            console::writeConsoleLine(ctx,
                                      "Name File line " + std::to_string(lineNumber) +
                                          " holds a Computer Name longer than 255 characters\r\n"
                                          "Name skipped, Continuing to run.",
                                      true);
            files::logLine(ctx, "Name File line " + std::to_string(lineNumber) +
                                    ": Computer Name longer than 255 characters; line skipped");
            continue;
        }
        addTarget(ctx, line);
    }
    ctx.nameFileStream->close();
    ctx.nameFileStream.reset();
}

void sortTargetList(RunContext& ctx) {
    auto caseless = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    };
    std::stable_sort(ctx.targetList.begin(), ctx.targetList.end(), caseless);
    std::vector<std::string> kept;
    kept.reserve(ctx.targetList.size());
    std::string previous;
    for (std::string& name : ctx.targetList) {
        bool duplicate = name == previous;
        previous = name;
        if (!duplicate) kept.push_back(std::move(name));
    }
    ctx.targetList = std::move(kept);
}

}  // namespace qv::targets

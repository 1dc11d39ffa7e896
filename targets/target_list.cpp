// The target name list.
#include "targets/target_list.h"

#include <algorithm>
#include <cctype>

#include "console/console.h"
#include "files/run_log.h"
#include "platform/text.h"

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
        // Linux name files may hold blank lines and comments (lines starting with #).
        if (ctx.conventions == Conventions::Linux) {
            const std::string trimmed = text::trimBlanks(line);
            if (trimmed.empty() || trimmed.front() == '#') continue;
        }
        if (text::characterCount(line) > kMaxComputerNameLength) {
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

void mergeLocalNames(RunContext& ctx) {
    if (ctx.conventions != Conventions::Linux || ctx.env.sLocalComputer.empty()) return;
    for (std::string& name : ctx.targetList)
        if (ctx.platform.identity.isLocalComputer(name)) name = ctx.env.sLocalComputer;
}

void sortTargetList(RunContext& ctx) {
    // Ascending without regard to case; names equal but for case are ordered by their codes so that
    // exact duplicates always lie next to each other and are removed.
    auto order = [](const std::string& a, const std::string& b) {
        auto lowerLess = [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        };
        if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lowerLess)) return true;
        if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lowerLess)) return false;
        return a < b;
    };
    std::sort(ctx.targetList.begin(), ctx.targetList.end(), order);
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

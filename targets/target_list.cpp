// The target name list.
#include "targets/target_list.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace qv::targets {

void addNameTokenTargets(TargetList& list, const CommandLine& commandLine) {
    for (const std::string& token : commandLine.nameTokens) list.push_back(token);
}

void addNameFileTargets(TargetList& list, TextReader& nameFile, Conventions conventions, Reporter& report) {
    long lineNumber = 0;
    while (!nameFile.atEnd()) {
        std::string line = nameFile.readLine();
        ++lineNumber;
        // Linux name files may hold blank lines and comments (lines starting with #).
        if (conventions == Conventions::Linux) {
            const std::string trimmed = text::trimBlanks(line);
            if (trimmed.empty() || trimmed.front() == '#') continue;
        }
        if (text::characterCount(line) > kMaxComputerNameLength) {
            report.say("Name File line " + std::to_string(lineNumber) +
                       " holds a Computer Name longer than 255 characters\r\n"
                       "Name skipped, Continuing to run.");
            report.log("Name File line " + std::to_string(lineNumber) +
                       ": Computer Name longer than 255 characters; line skipped");
            continue;
        }
        list.push_back(line);
    }
    nameFile.close();
}

void mergeLocalNames(TargetList& list, Identity& identity, const std::string& localComputer, Conventions conventions) {
    if (conventions != Conventions::Linux || localComputer.empty()) return;
    for (std::string& name : list)
        if (identity.isLocalComputer(name)) name = localComputer;
}

void sortTargetList(TargetList& list) {
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
    std::sort(list.begin(), list.end(), order);
    std::vector<std::string> kept;
    kept.reserve(list.size());
    std::string previous;
    for (std::string& name : list) {
        bool duplicate = name == previous;
        previous = name;
        if (!duplicate) kept.push_back(std::move(name));
    }
    list = std::move(kept);
}

}  // namespace qv::targets

// The layering rule over the whole house: each folder includes only folders below it in the order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

// Lowest first. The back-ends are assembled at the top: the simulator (fixture) and the
// programs. qvdb stands on the database and what is below it.
const std::vector<std::string> kOrder = {"platform",  "core",      "classes",   "console",     "files",
                                         "facts",     "management", "database", "targets",     "inventory",
                                         "environment", "run",     "fixture",     "programs"};
const std::string kQvdbTop = "database";

// The folders `folder` may include (itself among them).
std::vector<std::string> allowedBelow(const std::string& folder) {
    const std::string top = folder == "qvdb" ? kQvdbTop : folder;
    auto end = std::find(kOrder.begin(), kOrder.end(), top);
    std::vector<std::string> allowed(kOrder.begin(), end == kOrder.end() ? end : end + 1);
    if (folder == "qvdb") allowed.push_back("qvdb");
    return allowed;
}

TEST(Layering, EachFolderIncludesOnlyFoldersBelowIt) {
    namespace fs = std::filesystem;
    const fs::path root = QV_SOURCE_DIR;
    const std::regex include(R"re(^\s*#\s*include\s*"([A-Za-z0-9_-]+)/)re");
    std::vector<std::string> folders = kOrder;
    folders.push_back("qvdb");
    std::vector<std::string> found;
    std::map<std::string, std::size_t> filesOf;
    for (const std::string& folder : folders) {
        ASSERT_TRUE(fs::is_directory(root / folder)) << folder;
        const std::vector<std::string> allowed = allowedBelow(folder);
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp") continue;
            ++filesOf[folder];
            std::ifstream in(entry.path());
            std::string line;
            std::smatch m;
            for (int n = 1; std::getline(in, line); ++n)
                if (std::regex_search(line, m, include) &&
                    std::find(allowed.begin(), allowed.end(), m[1].str()) == allowed.end())
                    found.push_back(fs::relative(entry.path(), root).string() + ":" + std::to_string(n) + ": " + line);
        }
    }
    for (const std::string& folder : folders) EXPECT_GT(filesOf[folder], 0u) << folder << " was not read";
    EXPECT_EQ(found, std::vector<std::string>{});
}

// The environment, the target sources and the database see of the run only what they are handed:
// the platform, the facts, a reporter, their own settings; never the whole run or computer.
TEST(Layering, LowerLayersNeverTakeTheWholeRunContext) {
    namespace fs = std::filesystem;
    const std::regex context(R"(\b(RunContext|TargetContext)\b)");
    std::vector<std::string> found;
    for (const char* folder : {"environment", "targets", "database"})
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(QV_SOURCE_DIR) / folder)) {
            std::ifstream in(entry.path());
            std::string line;
            for (int n = 1; std::getline(in, line); ++n)
                if (std::regex_search(line, context))
                    found.push_back(fs::relative(entry.path(), QV_SOURCE_DIR).string() + ":" + std::to_string(n) + ": " + line);
        }
    EXPECT_EQ(found, std::vector<std::string>{});
}

}  // namespace

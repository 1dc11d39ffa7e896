// The layering rule: the lower subsystems never include the upper ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

TEST(Layering, LowerSubsystemsIncludeNoUpperOne) {
    namespace fs = std::filesystem;
    const fs::path root = QV_SOURCE_DIR;
    const std::regex upper(R"re(^\s*#\s*include\s*"(run|inventory|targets|environment|qvdb)/)re");
    std::vector<std::string> found;
    std::size_t files = 0;
    for (const char* lower : {"core", "platform", "management", "database", "files", "console"}) {
        ASSERT_TRUE(fs::is_directory(root / lower)) << lower;
        for (const auto& entry : fs::recursive_directory_iterator(root / lower)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp") continue;
            ++files;
            std::ifstream in(entry.path());
            std::string line;
            for (int n = 1; std::getline(in, line); ++n)
                if (std::regex_search(line, upper))
                    found.push_back(fs::relative(entry.path(), root).string() + ":" + std::to_string(n) + ": " + line);
        }
    }
    EXPECT_GT(files, 50u);  // the folders were really read
    EXPECT_EQ(found, std::vector<std::string>{});
}

}  // namespace

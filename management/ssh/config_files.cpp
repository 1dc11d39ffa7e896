// Reading the SSH configuration with its Include files, each bounded as a settings file is.
#include "management/ssh/config_files.h"

#include <glob.h>
#include <limits.h>
#include <stdlib.h>

#include <sstream>
#include <string_view>

namespace qv::management::ssh {

namespace {

// The path with its links resolved, so that a file is known under any of its names.
std::string canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

constexpr const char* kNotUsed = "; not used";

struct Reader {
    SshConfiguration& out;
    std::string top;     // the configuration file
    std::string folder;  // where relative Include paths are taken
    std::size_t reads = 0;

    bool refuse(const std::string& why) {
        out.status = FileStatus::Refused;
        out.why = why;
        out.files.clear();
        out.named.clear();
        return false;
    }

    // The files a word of an Include line names, in order of name.
    std::vector<std::string> expand(const std::string& word) {
        const std::string pattern = word.empty() || word[0] == '/' || word[0] == '~' ? word : folder + "/" + word;
        std::vector<std::string> paths;
        glob_t found{};
        if (::glob(pattern.c_str(), GLOB_TILDE, nullptr, &found) == 0)
            for (std::size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
        ::globfree(&found);
        return paths;
    }

    // Follows the Include lines of `text` (the file at `path`; `chain` holds it and the files that
    // included it, by their resolved paths), reading each file they name.
    bool follow(const std::string& path, const std::string& text, std::vector<std::string>& chain) {
        std::istringstream in(text);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            const std::vector<std::string> words = configWords(line);
            if (words.empty() || lower(words[0]) != "include") continue;
            const std::string where = " (Include on line " + std::to_string(number) + " of " + path + ")";
            for (std::size_t k = 1; k < words.size(); ++k) {
                auto [it, added] = out.named.try_emplace(words[k]);
                if (added) it->second = expand(words[k]);
                const std::vector<std::string> paths = it->second;
                for (const std::string& included : paths) {
                    const std::string same = canonical(included);
                    for (const std::string& above : chain)
                        if (above == same) return refuse(included + " includes itself" + where + kNotUsed);
                    if (chain.size() > static_cast<std::size_t>(kMaxIncludeDepth))
                        return refuse(included + " is included more than " + std::to_string(kMaxIncludeDepth) +
                                      " levels deep" + where + kNotUsed);
                    if (++reads > kMaxConfigFiles)
                        return refuse(top + " includes more than " + std::to_string(kMaxConfigFiles) + " files in all" +
                                      where + kNotUsed);
                    auto file = out.files.find(included);
                    if (file == out.files.end()) {
                        SettingsFile read = readSettingsFile(included);
                        if (read.status == FileStatus::Refused) {
                            // "PATH is a FIFO, not a regular file (Include on line 3 of CONFIG); not used"
                            std::string why = read.why;
                            if (why.ends_with(kNotUsed)) why.resize(why.size() - std::string_view(kNotUsed).size());
                            return refuse(why + where + kNotUsed);
                        }
                        if (read.status == FileStatus::Missing) continue;  // gone since it was found
                        file = out.files.emplace(included, std::move(read.text)).first;
                    }
                    chain.push_back(same);
                    const bool ok = follow(included, file->second, chain);
                    chain.pop_back();
                    if (!ok) return false;
                }
            }
        }
        return true;
    }
};

}  // namespace

SshConfiguration readSshConfiguration(const std::string& path) {
    SshConfiguration config;
    SettingsFile file = readSettingsFile(path);
    config.status = file.status;
    config.why = file.why;
    if (file.status != FileStatus::Read) return config;
    config.text = std::move(file.text);
    const auto slash = path.rfind('/');
    Reader reader{config, path, slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash)};
    std::vector<std::string> chain = {canonical(path)};
    if (!reader.follow(path, config.text, chain)) config.text.clear();
    return config;
}

HostSettings SshConfiguration::settingsFor(const std::string& name) const {
    return hostSettings(text, name, [this](const std::string& word) {
        std::vector<const std::string*> texts;
        if (auto it = named.find(word); it != named.end())
            for (const std::string& path : it->second)
                if (auto file = files.find(path); file != files.end()) texts.push_back(&file->second);
        return texts;
    });
}

}  // namespace qv::management::ssh

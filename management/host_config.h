// Settings per computer in the style of ~/.ssh/config: "Host" lines of patterns, each followed by
// "Keyword value" lines that apply to the names the patterns match.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qv::management {

// True when `name` matches the pattern: `*` any run of characters, `?` one; letter case aside.
bool hostPatternMatches(const std::string& pattern, const std::string& name);

struct HostSettings {
    // A Host line matched the name with a pattern of its own (not only a catch-all "*").
    bool named = false;
    // The first value of each keyword (lower case) among the blocks that apply, as ssh takes them.
    std::map<std::string, std::string> values;
    std::string value(const std::string& keyword) const {
        auto it = values.find(keyword);
        return it == values.end() ? std::string() : it->second;
    }
};

// The words of a configuration line: blank-separated, a double-quoted word may hold blanks,
// "Keyword=value" and "Keyword = value" read as "Keyword value" (as ssh reads them).
std::vector<std::string> configWords(const std::string& line);

// The texts of the files one word of an Include line names, in the order they are read.
using IncludedTexts = std::function<std::vector<const std::string*>(const std::string& word)>;
// Include lines are followed at most this deep, as ssh follows them.
inline constexpr int kMaxIncludeDepth = 16;

// The settings of `name` in a configuration text. Lines before the first Host line apply to
// every name; a pattern starting with "!" excludes the names it matches from its line; "Match"
// blocks are not understood and apply to none; '#' starts a comment line; "Keyword=value" is
// accepted as ssh accepts it. An Include line where the settings apply reads the files
// `included` gives for its words in its place, as ssh does: their Host lines apply within them,
// and the block the Include line stands in goes on after them.
HostSettings hostSettings(const std::string& text, const std::string& name, const IncludedTexts& included = {});

}  // namespace qv::management

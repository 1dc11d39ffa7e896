// Settings per computer in the style of ~/.ssh/config: "Host" lines of patterns, each followed by
// "Keyword value" lines that apply to the names the patterns match.
#pragma once

#include <map>
#include <string>

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

// The settings of `name` in a configuration text. Lines before the first Host line apply to
// every name; a pattern starting with "!" excludes the names it matches from its line; "Match"
// blocks are not understood and apply to none; '#' starts a comment line; "Keyword=value" is
// accepted as ssh accepts it.
HostSettings hostSettings(const std::string& text, const std::string& name);

}  // namespace qv::management

// The options of qvdb's subcommands, described as data and read from the command line.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

namespace qv::qvdb {

struct OptionRule {
    const char* name;  // "--out"
    bool takesValue;
};

struct Options {
    std::map<std::string, std::string> values;  // by option name, flags hold ""
    bool has(const std::string& name) const { return values.count(name) != 0; }
    std::string get(const std::string& name, const std::string& otherwise = "") const {
        auto it = values.find(name);
        return it == values.end() ? otherwise : it->second;
    }
};

// Reads "--name VALUE", "--name=VALUE" and flags; false with a message for anything else.
bool parseOptions(const std::vector<std::string>& args, std::span<const OptionRule> rules, Options& out,
                  std::string& error);

}  // namespace qv::qvdb

// Reading subcommand options from the command line.
#include "qvdb/arguments.h"

namespace qv::qvdb {

bool parseOptions(const std::vector<std::string>& args, std::span<const OptionRule> rules, Options& out,
                  std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool inlineValue = false;
        if (auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        const OptionRule* rule = nullptr;
        for (const OptionRule& s : rules)
            if (name == s.name) rule = &s;
        if (!rule) {
            error = "unknown argument \"" + args[i] + "\"";
            return false;
        }
        if (rule->takesValue && !inlineValue) {
            // A following option is no value ("--database --out DIR"); --name=--odd gives one.
            if (i + 1 >= args.size() || args[i + 1].starts_with("--")) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        } else if (!rule->takesValue && inlineValue) {
            error = name + " takes no value";
            return false;
        }
        if (rule->takesValue && value.empty()) {
            error = name + " needs a value";
            return false;
        }
        if (out.has(name)) {
            error = name + " is given twice";
            return false;
        }
        out.values[name] = value;
    }
    return true;
}

}  // namespace qv::qvdb

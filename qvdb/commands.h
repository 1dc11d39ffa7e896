// The subcommands of qvdb, the companion program that reads and moves the inventory data.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace qv::qvdb {

// What a subcommand is given: its own arguments (after its name), where to print, and the
// documents folder the default inventory database and output folders are found in.
struct Invocation {
    std::vector<std::string> args;
    std::ostream& out;
    std::ostream& err;
    std::string documentsFolder;  // empty when it could not be found
    // `out` is a terminal: counts are rewritten in place ("\r"); otherwise only the last is written.
    bool outIsTerminal = false;
};

struct Command {
    const char* name;
    const char* synopsis;  // the arguments after the name, as the usage shows them
    const char* summary;   // one line
    int (*run)(Invocation& call);  // the exit status
};

// Every subcommand, in the order the usage lists them.
std::span<const Command> commands();

// The whole program: `args` are the arguments after the program's name.
int runQvdb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::string& documentsFolder, bool outIsTerminal = false);

// The usage text, one line per subcommand.
std::string usage();

}  // namespace qv::qvdb

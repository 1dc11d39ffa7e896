// The subcommand table of qvdb and the dispatch to it.
#include "qvdb/commands.h"

#include <ostream>

#include "qvdb/export/export_command.h"
#include "qvdb/report/report_command.h"
#include "qvdb/import.h"

namespace qv::qvdb {

namespace {

// Each subcommand's source adds its line here.
constexpr Command kCommands[] = {
    {"help", "", "print this usage", nullptr},
    {"report", "[--out DIR] [--stale DAYS] [--database FILE]", "write the inventory as a static HTML site", runReport},
    {"export", "--format csv|glpi [--all] [--out DIR] [--database FILE]",
     "write the tables as CSV or the inventories as GLPI documents", runExport},
    {"import", "FILE...", "copy every inventory of QV.mdb files into the QV_DATABASE server", &runImport},
};

}  // namespace

std::span<const Command> commands() { return kCommands; }

std::string usage() {
    std::string text = "usage: qvdb COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const Command& c : commands()) {
        std::string head = std::string("  ") + c.name + (*c.synopsis ? " " : "") + c.synopsis;
        if (head.size() < 40) head.resize(40, ' ');
        else head += "\n" + std::string(40, ' ');
        text += head + c.summary + "\n";
    }
    text += "\nThe inventory database: the file --database names, else the PostgreSQL server QV_DATABASE\n"
            "names, else QV.mdb in the documents folder.\n";
    return text;
}

int runQvdb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::string& documentsFolder, bool outIsTerminal) {
    if (args.empty()) {
        err << usage();
        return 2;
    }
    const std::string& name = args[0];
    if (name == "help" || name == "--help" || name == "-h") {
        out << usage();
        return 0;
    }
    for (const Command& c : commands()) {
        if (name != c.name || !c.run) continue;
        Invocation call{std::vector<std::string>(args.begin() + 1, args.end()), out, err, documentsFolder, outIsTerminal};
        return c.run(call);
    }
    err << "qvdb: unknown command \"" << name << "\"\n\n" << usage();
    return 2;
}

}  // namespace qv::qvdb

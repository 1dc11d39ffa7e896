// qvdb export --format csv|glpi [--all] [--out DIR] [--database FILE].
#include "qvdb/export/export_command.h"

#include <ostream>

#include "qvdb/arguments.h"
#include "qvdb/export/csv.h"
#include "qvdb/export/glpi.h"
#include "qvdb/inventory_source.h"
#include "qvdb/output_folder.h"

namespace qv::qvdb {

namespace {

constexpr OptionRule kOptions[] = {{"--format", true}, {"--out", true}, {"--database", true}, {"--all", false}};

constexpr const char* kUsage =
    "usage: qvdb export --format csv|glpi [--all] [--out DIR] [--database FILE]\n"
    "  csv:  one TABLE.csv per table (default folder QVCSV in the documents folder)\n"
    "  glpi: one NAME.json GLPI inventory document per computer, its latest inventory, or with --all\n"
    "        one per inventory (default folder QVGLPI in the documents folder)\n";

}  // namespace

int runExport(Invocation& call) {
    Options opts;
    std::string error;
    if (!parseOptions(call.args, kOptions, opts, error)) {
        call.err << "qvdb export: " << error << "\n" << kUsage;
        return 2;
    }
    const std::string format = opts.get("--format");
    if (format != "csv" && format != "glpi") {
        call.err << "qvdb export: " << (format.empty() ? "--format is required" : "unknown format \"" + format + "\"")
                 << "\n" << kUsage;
        return 2;
    }
    if (opts.has("--all") && format != "glpi") {
        call.err << "qvdb export: --all is for --format glpi\n" << kUsage;
        return 2;
    }
    std::string out = opts.get("--out");
    if (out.empty()) {
        if (call.documentsFolder.empty()) {
            call.err << "qvdb export: the documents folder is not known; name the output folder with --out DIR\n";
            return 1;
        }
        out = call.documentsFolder + (format == "csv" ? "/QVCSV" : "/QVGLPI");
    }
    auto source = openInventory({opts.get("--database"), call.documentsFolder}, error);
    if (!source) {
        call.err << "qvdb export: " << error << "\n";
        return 1;
    }
    StagedFolder folder(out, call.documentsFolder);
    if (!folder.begin(error)) {
        call.err << "qvdb export: " << error << "\n";
        return 1;
    }
    call.out << "Exporting " << source->where() << " as " << format << " into " << folder.target() << "\n"
             << std::flush;
    const bool ok = format == "csv" ? exporting::exportCsv(*source, folder, call.out, error)
                                    : exporting::exportGlpi(*source, folder, opts.has("--all"), call.out, error, call.outIsTerminal);
    if (!ok || !folder.commit(error)) {
        call.err << "qvdb export: " << error << " (nothing was written to " << folder.target() << ")\n";
        return 1;
    }
    call.out << "Written " << folder.target() << "\n";
    return 0;
}

}  // namespace qv::qvdb

// qvdb report [--out DIR] [--stale DAYS] [--database FILE].
#include "qvdb/report/report_command.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <ostream>

#include "qvdb/arguments.h"
#include "qvdb/inventory_source.h"
#include "qvdb/output_folder.h"
#include "qvdb/report/site.h"

namespace qv::qvdb {

namespace {

constexpr OptionRule kOptions[] = {{"--out", true}, {"--stale", true}, {"--database", true}};

constexpr const char* kUsage =
    "usage: qvdb report [--out DIR] [--stale DAYS] [--database FILE]\n"
    "  writes a static site (default folder QVReport in the documents folder); computers whose latest\n"
    "  inventory is DAYS or more old (default 30) are listed as not inventoried lately\n";

}  // namespace

int runReport(Invocation& call) {
    Options opts;
    std::string error;
    if (!parseOptions(call.args, kOptions, opts, error)) {
        call.err << "qvdb report: " << error << "\n" << kUsage;
        return 2;
    }
    report::SiteOptions site;
    if (opts.has("--stale")) {
        const std::string v = opts.get("--stale");
        char* end = nullptr;
        const long days = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end || days < 0 || days > 100000) {
            call.err << "qvdb report: --stale needs a whole number of days, not \"" << v << "\"\n" << kUsage;
            return 2;
        }
        site.staleDays = static_cast<int>(days);
    }
    site.now = std::time(nullptr);
    site.progressIsTerminal = call.outIsTerminal;
    std::string out = opts.get("--out");
    if (out.empty()) {
        if (call.documentsFolder.empty()) {
            call.err << "qvdb report: the documents folder is not known; name the output folder with --out DIR\n";
            return 1;
        }
        out = call.documentsFolder + "/QVReport";
    }
    auto source = openInventory({opts.get("--database"), call.documentsFolder}, error);
    if (!source) {
        call.err << "qvdb report: " << error << "\n";
        return 1;
    }
    // No value qv writes is longer than 255 characters; a page shows a longer one cut.
    source->cutLongTexts(1000);
    StagedFolder folder(out, call.documentsFolder);
    if (!folder.begin(error)) {
        call.err << "qvdb report: " << error << "\n";
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    call.out << "Reporting " << source->where() << " into " << folder.target() << "\n" << std::flush;
    if (!report::writeSite(*source, folder, site, call.out, error) || !folder.commit(error)) {
        call.err << "qvdb report: " << error << " (nothing was written to " << folder.target() << ")\n";
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char took[32];
    std::snprintf(took, sizeof took, "%.1f", seconds);
    call.out << "Written " << folder.target() << "/index.html in " << took << " s\n";
    return 0;
}

}  // namespace qv::qvdb

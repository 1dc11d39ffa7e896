// The inventory database: creation step and record writers (being built; rows are not yet stored).
#include "console/console.h"
#include "database/records.h"
#include "files/run_log.h"

namespace qv::database {

void createOrOpenDatabase(RunContext& ctx) {
    if (!ctx.env.bMDB) {
        files::logLine(ctx, "            Warning: Database requirements not met.\r\n"
                            "                     Database will not be created and data not written.");
        console::writeConsoleLine(ctx, "Warning: Database requirements not met.\r\n"
                                       "Database will not be created and data not written.", true);
    }
}

bool appendRow(RunContext&, const std::string&, const Fields&) { return false; }
bool appendEmptyRow(RunContext&, const std::string&) { return false; }
bool appendMasterRows(RunContext&, const Fields&) { return false; }

}  // namespace qv::database

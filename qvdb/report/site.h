// The report site: every page written from one pass over the computers.
#pragma once

#include <ctime>
#include <iosfwd>
#include <string>

#include "qvdb/inventory_source.h"
#include "qvdb/output_folder.h"

namespace qv::qvdb::report {

struct SiteOptions {
    int staleDays = 30;
    std::time_t now = 0;  // the moment staleness is measured from
    bool progressIsTerminal = false;  // the page count is rewritten in place; else only the last is written
};

// Writes index.html (overview), computers.html, software.html with one page per package under
// software/, disks.html, one page per computer under c/, and the site's qv.css and qv.js.
// Computers are read one after the other; what the overview needs is gathered on the way.
bool writeSite(InventorySource& source, StagedFolder& folder, const SiteOptions& options, std::ostream& progress,
               std::string& error);

// Whole days from the date-time text "YYYY-MM-DD HH:MM:SS" (local time) to `now`; false when the
// text is no such date.
bool daysBefore(const std::string& when, std::time_t now, double& days);

}  // namespace qv::qvdb::report

// Export of every table as a CSV file (RFC 4180, UTF-8, a header line of the column names).
#pragma once

#include <iosfwd>
#include <string>

#include "qvdb/inventory_source.h"
#include "qvdb/output_folder.h"

namespace qv::qvdb::exporting {

// One field as CSV: quoted when it holds a comma, a quote, a control character or is an empty
// text; Null is the empty unquoted field, so that it reads back apart from an empty text.
std::string csvField(const Value& v);

// Writes TABLE.csv for each of the 36 tables into `folder`, with CR LF line ends, and machines.csv
// (each computer with the machine its hardware says it is); the tables are read in one consistent view. `progress` gets one line per table.
bool exportCsv(InventorySource& source, StagedFolder& folder, std::ostream& progress, std::string& error);

}  // namespace qv::qvdb::exporting

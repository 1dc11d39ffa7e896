// qvdb export: the tables as CSV files, or the inventories as GLPI inventory documents.
#pragma once

#include "qvdb/commands.h"

namespace qv::qvdb {

int runExport(Invocation& call);

}  // namespace qv::qvdb

// qvdb import: every inventory of QV.mdb files copied into the database server QV_DATABASE names.
#pragma once

#include "qvdb/commands.h"

namespace qv::qvdb {

// Imports each file's inventories, each (a DeviceID key and all its rows) in one transaction;
// one already on the server is skipped and counted. Prints "N inventories imported, M already
// there"; a file that is not an inventory database is refused with the reason. The exit status.
int runImport(Invocation& call);

}  // namespace qv::qvdb

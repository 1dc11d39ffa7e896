// GLPI inventory documents (the GLPI agent's JSON inventory format) made from inventories.
#pragma once

#include <iosfwd>
#include <string>

#include "qvdb/inventory_data.h"
#include "qvdb/output_folder.h"

namespace qv::qvdb::exporting {

// Writes the document of one inventory to `file` as it is made (laid out as JSON's usual two
// space indent, ending with a line end): deviceid, itemtype Computer, action inventory and
// content with the sections the inventory has values for. Values that would break the format's
// patterns are left out, as are values the inventory lacks. `deviceId` is the machine's (by
// default the computer's own, glpiDeviceId). A value of any length is read and written on its
// own, straight from the database's buffer: memory holds the short values and one long one.
bool writeGlpiDocument(InventorySource& source, const InventoryKey& key, const std::string& deviceId, FileOut& file,
                       std::string& error);

// The stable device id of a computer: its name, and its domain or workgroup when it has one.
std::string glpiDeviceId(const InventoryKey& key);

// Writes NAME.json per machine (its latest inventory, under the name it had then), or with `all`
// one NAME-YYYY-MM-DD-HH-MM-SS.json per inventory, into `folder`; every document of one machine
// (one hardware identity under several names) has the same deviceid.
// `terminal`: the document count is rewritten in place on `progress`; else only the last is written.
bool exportGlpi(InventorySource& source, StagedFolder& folder, bool all, std::ostream& progress, std::string& error,
                bool terminal = false);

// "YYYY-MM-DD" from the date texts the inventory stores (management date-times
// "yyyymmddHHMMSS.ffffff+zzz", "yyyymmdd", ISO dates), when it is a real date.
std::string isoDateOf(const std::string& text);
// "YYYY-MM-DD HH:MM:SS" from a management date-time or an ISO date-time, when it is one.
std::string isoDateTimeOf(const std::string& text);

// A name usable as a file name: characters other than letters, digits, '-', '_' and '.' become '_'.
std::string safeFileName(const std::string& name);

}  // namespace qv::qvdb::exporting

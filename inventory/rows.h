// A computer's rows as a worker makes them: handed, in order, to the ordered writer, which appends
// them under the computer's key and TargetDomain as it was when each was made.
#pragma once

#include <string>

#include "core/target_context.h"
#include "core/fields.h"

namespace qv::inventory {

void appendRow(TargetContext& ctx, const std::string& table, const Fields& fields);
// The not-found row of a collector: texts empty, numbers 0, Booleans false, dates Null.
void appendEmptyRow(TargetContext& ctx, const std::string& table);
// DeviceID (with the given columns), SoftwareKey and HardwareKey.
void appendMasterRows(TargetContext& ctx, const Fields& deviceIdFields);
// The computer's rows become permanent.
void endInventory(TargetContext& ctx);

}  // namespace qv::inventory

// The record writers' values, under the database layer's names: defined in core, where a
// computer's output carries them to the ordered writer.
#pragma once

#include "core/fields.h"

namespace qv::database {

using qv::Field;
using qv::Fields;

}  // namespace qv::database

// qvdb report: the inventory as a static HTML site.
#pragma once

#include "qvdb/commands.h"

namespace qv::qvdb {

int runReport(Invocation& call);

}  // namespace qv::qvdb

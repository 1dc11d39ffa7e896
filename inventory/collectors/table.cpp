// The category sequence: which collector runs in which phase, in which order.
#include "inventory/collectors/collectors.h"

namespace qv::inventory {

const std::vector<CollectorEntry>& collectorTable() {
    static const std::vector<CollectorEntry> table = {
    };
    return table;
}

}  // namespace qv::inventory

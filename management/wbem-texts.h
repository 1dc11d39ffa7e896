// The management service's own texts for its error numbers, as the Windows program shows them.
#pragma once

#include <cstdint>

namespace qv::management {

// The text of a 0x8004xxxx number ("Invalid class ", ending in one blank), or null for a number
// the management service does not word itself.
const char* wbemText(std::int32_t number);

}  // namespace qv::management

// Description texts of the error numbers the management service gives.
#pragma once

#include <cstdint>
#include <string>

namespace qv::management::dcom {

// The text shown with an error number: the management service's own texts for its numbers
// (0x8004xxxx), the system's message text for the others; every text ends in one blank.
std::string errorDescription(std::int32_t number);

}  // namespace qv::management::dcom

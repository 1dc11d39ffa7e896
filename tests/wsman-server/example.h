// Example computers for the WS-Management tests and benchmark: every class and property the
// collectors read, with values of each type, Nulls, arrays, date-times, registry and files.
#pragma once

#include <nlohmann/json.hpp>

namespace qvwsman {

// The fixture member of one computer (its "wmi" entry); `index` varies the values between computers.
nlohmann::ordered_json exampleComputer(int index);

}  // namespace qvwsman

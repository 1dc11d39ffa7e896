// Example computers for the WS-Management tests and benchmark: every class and property the
// collectors read, with values of each type, Nulls, arrays, date-times, registry and files.
#pragma once

#include <nlohmann/json.hpp>

namespace qvwsman {

// The fixture member of one computer (its "wmi" entry); `index` varies the values between computers.
nlohmann::ordered_json exampleComputer(int index);

// A desktop as an organisation has them: the example computer with `programs` installed programs
// in each registry view (and a few in each of three user hives), COM applications with local
// servers, and a few hundred services of which many are running drivers with files.
nlohmann::ordered_json realisticComputer(int index, int programs = 300);

}  // namespace qvwsman

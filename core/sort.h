// The general text sort every subsystem uses for lists of names.
#pragma once

#include <string>
#include <vector>

namespace qv {

// In-place, case-insensitive (ordinal on lower-case forms) quicksort of values[low..high].
// The recursion is kept on an explicit stack in the same order, so no input can exhaust the stack.
void quickSortText(std::vector<std::string>& values, long low, long high);

}  // namespace qv

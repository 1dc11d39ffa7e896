// The worker pool and the ordered writer: several computers inventoried at once, their output
// written in target-list order, byte for byte as when they are inventoried one at a time.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/context.h"

namespace qv::run {

inline constexpr int kDefaultWorkers = 16;
inline constexpr int kMaxWorkers = 256;

// The pool size the setting (QV_PARALLEL) asks for: a whole number from 1 to 256. Anything else
// gives the default, with the reason in `why` (left empty when the setting is missing).
int workersFromSetting(const char* setting, std::string& why);

// The status line after `done` of `total` computers are written: "3 of 40 computers done, 1
// failed, longest PC7 12 s" (seconds rounded).
std::string statusLine(std::size_t done, std::size_t total, int failed, const std::string& longest, double seconds);

// Inventories `targets` (names as they are shown) with up to `workers` computers at a time. The
// computer at the head of the list is written as it goes; every other computer's output waits
// until the ones before it are written, and at most a fixed number of computers run ahead of the
// head. With `announce`, each name is shown on the console before its output (the target loop),
// and a break event seen before a computer is written stops the list there: `onBreak` gets the
// event type at once, then the computers already started finish within their limits and are not
// written. False when a break stopped the list.
bool inventoryInOrder(RunContext& ctx, const std::vector<std::string>& targets, int workers, bool announce,
                      const std::function<void(int)>& onBreak);

}  // namespace qv::run

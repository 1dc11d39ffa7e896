// The general text sort: case-insensitive, in place, on an explicit stack.
#include "core/sort.h"

#include <utility>

#include "platform/text.h"

namespace qv {

void quickSortText(std::vector<std::string>& values, long low, long high) {
    if (values.empty() || low < 0 || high >= static_cast<long>(values.size()) || low >= high) return;
    // Lower-case keys computed once; exchanged together with the texts.
    std::vector<std::string> keys(values.size());
    for (long k = low; k <= high; ++k) keys[static_cast<std::size_t>(k)] = text::asciiLower(values[static_cast<std::size_t>(k)]);
    std::vector<std::pair<long, long>> pending{{low, high}};
    while (!pending.empty()) {
        auto [lo, hi] = pending.back();
        pending.pop_back();
        long i = lo, j = hi;
        const std::string pivot = keys[static_cast<std::size_t>((lo + hi) / 2)];
        do {
            while (i < hi && keys[static_cast<std::size_t>(i)] < pivot) ++i;
            while (j > lo && keys[static_cast<std::size_t>(j)] > pivot) --j;
            if (i <= j) {
                std::swap(keys[static_cast<std::size_t>(i)], keys[static_cast<std::size_t>(j)]);
                std::swap(values[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        } while (i < j);
        // The left range is sorted completely before the right one, as the recursive form does.
        if (i < hi) pending.emplace_back(i, hi);
        if (j > lo) pending.emplace_back(lo, j);
    }
}

}  // namespace qv

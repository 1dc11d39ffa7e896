// The general text sort: order, case handling, ranges, and inputs that would recurse deeply.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>

#include "core/sort.h"

using qv::quickSortText;

namespace {
std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
bool sortedCaseless(const std::vector<std::string>& v) {
    for (std::size_t i = 1; i < v.size(); ++i)
        if (lower(v[i - 1]) > lower(v[i])) return false;
    return true;
}
}  // namespace

TEST(QuickSortText, OrdersWithoutRegardToCase) {
    std::vector<std::string> a{"pear", "Apple", "plum"};
    quickSortText(a, 0, 2);
    EXPECT_EQ(a, (std::vector<std::string>{"Apple", "pear", "plum"}));
    std::vector<std::string> b{"Zeta", "alpha", "ALPHA2"};
    quickSortText(b, 0, 2);
    EXPECT_EQ(b, (std::vector<std::string>{"alpha", "ALPHA2", "Zeta"}));
    std::vector<std::string> two{"b", "A"};
    quickSortText(two, 0, 1);
    EXPECT_EQ(two, (std::vector<std::string>{"A", "b"}));
}

TEST(QuickSortText, SortsOnlyTheGivenRange) {
    std::vector<std::string> v{"z", "c", "b", "a", "0"};
    quickSortText(v, 1, 3);
    EXPECT_EQ(v, (std::vector<std::string>{"z", "a", "b", "c", "0"}));
    std::vector<std::string> one{"x"};
    quickSortText(one, 0, 0);
    EXPECT_EQ(one, std::vector<std::string>{"x"});
}

TEST(QuickSortText, LargeSortedEqualAndRandomInputs) {
    const int n = 100000;
    std::vector<std::string> sorted, equal(n, "Same Name"), reversed, random;
    for (int i = 0; i < n; ++i) sorted.push_back("name" + std::string(6 - std::to_string(i).size(), '0') + std::to_string(i));
    reversed.assign(sorted.rbegin(), sorted.rend());
    std::mt19937 rng(1);
    for (int i = 0; i < n; ++i) random.push_back(std::to_string(rng() % 1000) + (rng() % 2 ? "A" : "a"));
    for (auto* v : {&sorted, &equal, &reversed, &random}) {
        std::vector<std::string> before = *v;
        quickSortText(*v, 0, n - 1);
        EXPECT_TRUE(sortedCaseless(*v));
        std::sort(before.begin(), before.end());
        std::vector<std::string> after = *v;
        std::sort(after.begin(), after.end());
        EXPECT_EQ(before, after);  // a permutation: nothing lost or duplicated
    }
}

// The general text sort on long sorted, reversed, all-equal and random lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

#include "core/sort.h"

namespace {

std::string lowerText(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool sortedIgnoringCase(const std::vector<std::string>& v) {
    for (std::size_t i = 1; i < v.size(); ++i)
        if (lowerText(v[i - 1]) > lowerText(v[i])) return false;
    return true;
}

std::map<std::string, int> counts(const std::vector<std::string>& v) {
    std::map<std::string, int> c;
    for (const std::string& s : v) ++c[s];
    return c;
}

void sortAll(std::vector<std::string>& v) { qv::quickSortText(v, 0, static_cast<long>(v.size()) - 1); }

constexpr int kLarge = 100000;

}  // namespace

TEST(QuickSortTextLarge, SortedAndReversedInput) {
    std::vector<std::string> sorted;
    for (int i = 0; i < kLarge; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "Package %06d", i);
        sorted.push_back(buf);
    }
    std::vector<std::string> v = sorted;
    sortAll(v);
    EXPECT_EQ(v, sorted);
    std::vector<std::string> reversed(sorted.rbegin(), sorted.rend());
    sortAll(reversed);
    EXPECT_EQ(reversed, sorted);
}

TEST(QuickSortTextLarge, AllEqualNames) {
    std::vector<std::string> same(kLarge, "Same Name");
    sortAll(same);
    EXPECT_EQ(same, std::vector<std::string>(kLarge, "Same Name"));
    // Names equal but for case stay together and none is lost.
    std::vector<std::string> mixed;
    for (int i = 0; i < kLarge; ++i) mixed.push_back(i % 3 == 0 ? "SAME" : (i % 3 == 1 ? "same" : "Same"));
    mixed.push_back("Other");
    auto before = counts(mixed);
    sortAll(mixed);
    EXPECT_EQ(counts(mixed), before);
    EXPECT_EQ(mixed.front(), "Other");
    EXPECT_TRUE(sortedIgnoringCase(mixed));
}

TEST(QuickSortTextLarge, RandomListsMatchOrdinalCaseInsensitiveOrder) {
    std::mt19937 rng(5);
    const std::string alphabet = "aAbB|._ zZ09";
    for (int round = 0; round < 20; ++round) {
        std::vector<std::string> v(1 + rng() % 2000);
        for (std::string& s : v) {
            s.resize(rng() % 6);
            for (char& c : s) c = alphabet[rng() % alphabet.size()];
        }
        auto before = counts(v);
        sortAll(v);
        EXPECT_TRUE(sortedIgnoringCase(v));
        EXPECT_EQ(counts(v), before);
    }
    std::vector<std::string> fruit{"pear", "Apple", "plum"};
    sortAll(fruit);
    EXPECT_EQ(fruit, (std::vector<std::string>{"Apple", "pear", "plum"}));
    std::vector<std::string> greek{"Zeta", "alpha", "ALPHA2"};
    sortAll(greek);
    EXPECT_EQ(greek, (std::vector<std::string>{"alpha", "ALPHA2", "Zeta"}));
}

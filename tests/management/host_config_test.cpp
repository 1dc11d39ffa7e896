// Host patterns of the winrm settings and the SSH configuration: the matcher's cases and its time.
#include <gtest/gtest.h>

#include <string>

#include "management/host_config.h"

namespace {

using qv::management::hostPatternMatches;
using qv::management::hostSettings;

std::string repeated(const std::string& part, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += part;
    return s;
}

TEST(HostPatterns, MatchAsSshMatchesThem) {
    struct Case {
        std::string pattern, name;
        bool matches;
    } cases[] = {
        {"", "", true},
        {"", "a", false},
        {"*", "", true},
        {"*", "anything.corp", true},
        {"?", "", false},
        {"?", "a", true},
        {"?", "ab", false},
        {"ws01", "WS01", true},
        {"WS0?", "ws01", true},
        {"ws0?", "ws1", false},
        {"ws*", "ws", true},
        {"ws*", "ws01.corp", true},
        {"*.corp", "ws01.corp", true},
        {"*.corp", "ws01.corp.example", false},
        {"*.corp*", "ws01.corp.example", true},
        {"ws*01", "ws-a-01", true},
        {"ws*01", "ws-a-011", false},
        {"*ab*ab", "xabyabab", true},
        {"*ab*ab", "xabyaba", false},
        {"a*b*c", "abc", true},
        {"a*b*c", "acb", false},
        {"**a**", "bab", true},
        {"*?", "", false},
        {"*?", "x", true},
        {"?*?", "x", false},
        {"192.168.1.*", "192.168.1.20", true},
        {"192.168.1.*", "192.168.10", false},
        // The pattern that took exponential time: each star tried every split of the name.
        {repeated("*a", 30) + "*b", repeated("a", 36), false},
        {repeated("*a", 30) + "*b", repeated("a", 36) + "b", true},
        {repeated("*a", 500) + "*b", repeated("a", 5000), false},
        {repeated("*?", 200) + "x", repeated("y", 4000), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hostPatternMatches(c.pattern, c.name), c.matches) << '"' << c.pattern << "\" against \"" << c.name << '"';
}

TEST(HostPatterns, ThePathologicalPatternInAFileEndsAtOnce) {
    const std::string text = "Host " + repeated("*a", 40) + "*b !" + repeated("*a", 40) + "*c\n  Port 1\nHost *\n  Port 2\n";
    EXPECT_EQ(hostSettings(text, repeated("a", 60)).value("port"), "2");
    EXPECT_EQ(hostSettings(text, repeated("a", 60) + "b").value("port"), "1");
}

}  // namespace

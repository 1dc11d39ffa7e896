// Generated command lines: every text gives one of the grammar's outcomes, never a crash or a hang.
#include <gtest/gtest.h>

#include <random>

#include "run/command_line.h"
#include "tests/support/sim_run.h"

namespace {

std::string randomText(std::mt19937& rng, std::size_t maxLength) {
    static const std::string alphabet = " ?/-:FfBbNnLl\\\t\"'*.abcXYZ019";
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<std::size_t> letter(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> byte(1, 255);
    std::string s;
    std::size_t n = length(rng);
    for (std::size_t i = 0; i < n; ++i)
        s += pick(rng) < 7 ? alphabet[letter(rng)] : static_cast<char>(byte(rng));
    return s;
}

// Checks the outcome against the grammar's invariants.
void checkOutcome(const std::string& text) {
    qv::CommandLine cl;
    std::string option = qv::run::selectOption(cl, text, qv::text::upperLatin);
    ASSERT_EQ(cl.allTokens.size(), cl.optionTokens.size() + cl.nameTokens.size()) << text;
    if (!text.empty()) {
        std::size_t spaces = std::count(text.begin(), text.end(), ' ');
        ASSERT_EQ(cl.allTokens.size(), spaces + 1) << text;
    }
    if (option.empty()) {
        bool tooMany = cl.optionError == "*** Too Many Options ***";
        bool unrecognized = cl.optionError.rfind("*** Unrecognized Option '", 0) == 0;
        ASSERT_TRUE(tooMany || unrecognized) << text;
        ASSERT_FALSE(cl.optionTokens.empty()) << text;
        return;
    }
    if (option == "/L") ASSERT_TRUE(cl.allTokens.empty());
    else if (option == "/N") ASSERT_TRUE(cl.optionTokens.empty() && !cl.nameTokens.empty());
    else {
        ASSERT_EQ(cl.allTokens.size(), 1u) << text;
        const std::string& t = cl.optionTokens.at(0);
        if (option == "/B") ASSERT_EQ(t, "/B");
        else if (option == "/?") ASSERT_EQ(t, "/?");
        else ASSERT_EQ(t.substr(0, 3), "/F:") << text;
    }
    for (const std::string& t : cl.allTokens)
        for (char c : t) ASSERT_FALSE(c >= 'a' && c <= 'z') << "token not upper-cased: " << t;
}

}  // namespace

TEST(CommandLineFuzz, ManyGeneratedTextsFollowTheGrammar) {
    std::mt19937 rng(20261208);
    for (int i = 0; i < 20000; ++i) checkOutcome(randomText(rng, 40));
    for (int i = 0; i < 200; ++i) checkOutcome(randomText(rng, 5000));
    std::string thousands;
    for (int i = 0; i < 5000; ++i) thousands += "PC" + std::to_string(i) + " ";
    checkOutcome(thousands);
    checkOutcome(std::string(100000, ' '));
    checkOutcome(std::string(100000, '/'));
}

TEST(CommandLineFuzz, GeneratedArgumentsThroughTheProgram) {
    std::mt19937 rng(7);
    for (int i = 0; i < 15; ++i) {
        std::vector<std::string> args;
        std::uniform_int_distribution<int> count(0, 6);
        for (int a = count(rng); a > 0; --a) args.push_back(randomText(rng, 12));
        auto r = qvtest::runSim(qvtest::standardFixture(), args);
        // Refused, not started (a name file that is not there), a computer not reached, or done.
        const bool refused = r.out.find("*** Too Many Options ***") != std::string::npos ||
                             r.out.find("*** Unrecognized Option '") != std::string::npos;
        const bool notStarted = r.out.find("**Required Element(s) Missing**") != std::string::npos;
        const bool incomplete = r.out.find("Failed to connect to ") != std::string::npos;
        ASSERT_EQ(r.exitCode, refused ? 2 : notStarted ? 3 : incomplete ? 1 : 0) << r.out;
        bool ended = r.out.find("Press any key to Exit . . . ") != std::string::npos;
        EXPECT_TRUE(ended) << r.out;
    }
}

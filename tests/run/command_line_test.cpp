// The command-line grammar: tokens, refusals and option codes.
#include <gtest/gtest.h>

#include "run/command_line.h"

using qv::CommandLine;
using qv::run::selectOption;

TEST(CommandLine, OptionCodes) {
    struct Case {
        const char* args;
        const char* option;
    } cases[] = {
        {"", "/L"},          {"?", "/?"},       {"/?", "/?"},          {"/b", "/B"},
        {"/f:names.txt", "/F"}, {"/F:", "/F"},  {"a b c", "/N"},       {"-B", ""},
        {"/N", ""},          {"/L", ""},        {"/B SERVER1", ""},    {"/B /F:x", ""},
        {"/B ", ""},         {"x?", "/N"},
    };
    for (const Case& c : cases) {
        CommandLine cl;
        EXPECT_EQ(selectOption(cl, c.args, qv::text::upperLatin), c.option) << "args: '" << c.args << "'";
    }
}

TEST(CommandLine, TokensAreUpperCasedAndSplitAtSingleSpaces) {
    CommandLine cl;
    EXPECT_EQ(selectOption(cl, "pc1  Pc2\tx", qv::text::upperLatin), "/N");
    ASSERT_EQ(cl.nameTokens.size(), 3u);
    EXPECT_EQ(cl.nameTokens[0], "PC1");
    EXPECT_EQ(cl.nameTokens[1], "");
    EXPECT_EQ(cl.nameTokens[2], "PC2\tX");
    CommandLine f;
    EXPECT_EQ(selectOption(f, "/f:c:\\names.txt", qv::text::upperLatin), "/F");
    ASSERT_EQ(f.optionTokens.size(), 1u);
    EXPECT_EQ(f.optionTokens[0], "/F:C:\\NAMES.TXT");
}

TEST(CommandLine, RefusalTexts) {
    CommandLine a;
    selectOption(a, "/B SERVER1", qv::text::upperLatin);
    EXPECT_EQ(a.optionError, "*** Too Many Options ***");
    CommandLine b;
    selectOption(b, "-b", qv::text::upperLatin);
    EXPECT_EQ(b.optionError, "*** Unrecognized Option '-B' ***");
    CommandLine c;
    selectOption(c, "/n", qv::text::upperLatin);
    EXPECT_EQ(c.optionError, "*** Unrecognized Option '/N' ***");
}

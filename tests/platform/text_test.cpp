// Case rules: ASCII for identifiers, Latin letters for computer names; markup escaping.
#include <gtest/gtest.h>

#include "platform/markup.h"
#include "platform/text.h"

using namespace qv::text;

TEST(Text, UpperLatinMapsEveryLetterWithACapital) {
    struct Case {
        const char* text;
        const char* upper;
    } cases[] = {
        {"pécé", "PÉCÉ"},
        {"abcxyz-09_.\\", "ABCXYZ-09_.\\"},
        {"àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþ", "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞ"},
        {"ÿ÷ßµ", "Ÿ÷ßµ"},                        // no single capital for ß; µ is Greek
        {"āăąćĉċčďđēĕėęěĝğġģĥħĩīĭįĳĵķ", "ĀĂĄĆĈĊČĎĐĒĔĖĘĚĜĞĠĢĤĦĨĪĬĮĲĴĶ"},
        {"ĸĺļľŀłńņňŉ", "ĸĹĻĽĿŁŃŅŇŉ"},           // the pairs shift at ĸ and ŉ
        {"ŋōŏőœŕŗřśŝşšţťŧũūŭůűųŵŷ", "ŊŌŎŐŒŔŖŘŚŜŞŠŢŤŦŨŪŬŮŰŲŴŶ"},
        {"źżžſı", "ŹŻŽSI"},
        {"ÀĀİŸ", "ÀĀİŸ"},                       // capitals stay
        {"ⅰ中\xC3", "ⅰ中\xC3"},                 // other scripts and broken sequences are kept
    };
    for (const Case& c : cases) EXPECT_EQ(upperLatin(c.text), c.upper) << c.text;
}

TEST(Text, AsciiCaseRules) {
    EXPECT_EQ(asciiUpper("hklm\\Software é"), "HKLM\\SOFTWARE é");
    EXPECT_EQ(asciiLower("HKLM É"), "hklm É");
    EXPECT_TRUE(equalsIgnoringCase("Win32_Share", "WIN32_share"));
    EXPECT_FALSE(equalsIgnoringCase("é", "É"));
    EXPECT_FALSE(equalsIgnoringCase("abc", "abcd"));
    EXPECT_TRUE(equalsIgnoringCase("", ""));
}

TEST(Text, MarkupEscapingOfXmlAndHtml) {
    using qv::text::Markup;
    const std::string nul("a\0b", 3);
    struct Case {
        std::string text;
        Markup markup;
        std::string escaped;
    } cases[] = {
        {"<a href=\"x\">Tom & 'Jerry'</a>", Markup::Xml, "&lt;a href=&quot;x&quot;&gt;Tom &amp; &apos;Jerry&apos;&lt;/a&gt;"},
        {"<a href=\"x\">Tom & 'Jerry'</a>", Markup::Html, "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;"},
        {nul, Markup::Xml, nul},  // kept in XML, which has no reference for it
        {nul, Markup::Html, "a&#xFFFD;b"},
        {"pécé &amp;", Markup::Html, "pécé &amp;amp;"},
        {"", Markup::Xml, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(qv::text::markupEscaped(c.text, c.markup), c.escaped) << c.text;
}

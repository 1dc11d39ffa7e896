// Name files: line ends, empty and odd files, long lines, large files, missing names.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/text.h"
#include "tests/support/sim_run.h"

using qvtest::runSim;
using qvtest::standardFixture;

namespace {

// Runs "/F:<dir>/names.txt" (upper-cased on the command line like every token) over `content`.
qvtest::SimResult runWithNameFile(const std::string& content, const std::string& fixture = standardFixture()) {
    std::string dir = qvtest::makeTempDir();
    qvtest::writeFile(dir + "/names.txt", content);
    return runSim(fixture, {"/F:" + dir + "/names.txt"}, dir);
}

std::string upper(const std::string& s) { return qv::text::upperLatin(s); }

// The names inventoried, in order, as the console lists them after the target heading.
std::vector<std::string> inventoried(const std::string& console) {
    std::vector<std::string> names;
    std::size_t p = console.find("Inventory of Target Computer(s):\r\n");
    if (p == std::string::npos) return names;
    auto lines = qvtest::crlfLines(console.substr(p));
    for (std::size_t i = 1; i + 1 < lines.size(); ++i)
        if (lines[i + 1].rfind("Failed to connect to " + lines[i] + " ", 0) == 0 || lines[i + 1] == "Connected to " + lines[i])
            names.push_back(lines[i]);
    return names;
}

}  // namespace

TEST(NameFile, LineEndsAndDuplicates) {
    for (const std::string& content : {std::string("pc2\r\npc1\r\n\r\nPC1\r\npc1\r\n"), std::string("pc2\npc1\n\nPC1\npc1"),
                                       std::string("pc2\r\npc1\n\nPC1\r\npc1")}) {
        auto r = runWithNameFile(content);
        std::string source = upper(r.dir + "/names.txt");
        EXPECT_NE(r.out.find("Complete: File " + source + " Contains 3 Computer Name(s)\r\n"), std::string::npos) << r.out;
        // "pc1" and "PC1" differ in case, so both stay; both are inventoried as PC1.
        EXPECT_EQ(inventoried(r.out), (std::vector<std::string>{"PC1", "PC1", "PC2"}));
        EXPECT_NE(r.file("docs/QV.log").find("             Source: " + source + " Reports 3 Computer(s)\r\n"), std::string::npos);
    }
}

TEST(NameFile, EmptyFileAndSpacesKept) {
    auto empty = runWithNameFile("");
    EXPECT_NE(empty.out.find(" Contains 0 Computer Name(s)\r\nInventory of Target Computer(s):\r\nProgram Complete Normal End"),
              std::string::npos)
        << empty.out;
    EXPECT_NE(empty.file("docs/QV.log").find("**Inventory Activities**\r\n**Normal End "), std::string::npos);

    auto spaced = runWithNameFile(" pc1 \r\n");
    EXPECT_EQ(inventoried(spaced.out), (std::vector<std::string>{" PC1 "}));
}

TEST(NameFile, NonUtf8BytesAndOverlongLines) {
    std::string longName(256, 'A');
    std::string exact(255, 'B');
    auto r = runWithNameFile("caf\xe9\r\n" + longName + "\r\n" + exact + "\r\npc1\r\n");
    EXPECT_NE(r.out.find("Name File line 2 holds a Computer Name longer than 255 characters\r\n"
                         "Name skipped, Continuing to run.\r\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.file("docs/QV.log").find("Name File line 2: Computer Name longer than 255 characters; line skipped\r\n"),
              std::string::npos);
    auto names = inventoried(r.out);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], exact);
    EXPECT_EQ(names[1], "CAF\xe9");
    EXPECT_EQ(names[2], "PC1");
    EXPECT_NE(r.out.find("Program Complete Normal End"), std::string::npos);
}

// Names from the file and from the command line take the capitals of their accented letters.
TEST(NameFile, AccentedNamesInUpperCase) {
    EXPECT_EQ(inventoried(runWithNameFile("pécé\r\nžluťoučký\r\n").out), (std::vector<std::string>{"PÉCÉ", "ŽLUŤOUČKÝ"}));
    EXPECT_EQ(inventoried(runSim(standardFixture(), {"pécé", "Ÿves"}).out), (std::vector<std::string>{"PÉCÉ", "ŸVES"}));
    // The upper-cased path of the name file still finds its folder.
    const std::string dir = qvtest::makeTempDir();
    ASSERT_EQ(::mkdir((dir + "/données").c_str(), 0700), 0);
    qvtest::writeFile(dir + "/données/noms.txt", "pc1\r\n");
    const auto r = runSim(standardFixture(), {"/F:" + dir + "/données/noms.txt"}, dir);
    EXPECT_NE(r.out.find("Complete: File " + upper(dir + "/données/noms.txt") + " Contains 1 Computer Name(s)\r\n"), std::string::npos) << r.out;
}

TEST(NameFile, HundredThousandLines) {
    std::string content;
    for (int i = 0; i < 100000; ++i) content += "n" + std::to_string(i % 50000) + "\r\n";
    // Unreachable names: each gives one failure line; the duplicates are inventoried once.
    auto r = runWithNameFile(content);
    EXPECT_NE(r.out.find(" Contains 50000 Computer Name(s)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("Program Complete Normal End"), std::string::npos);
}

TEST(NameFile, MissingNameOrFile) {
    auto none = runSim(standardFixture(), {"/F:"});
    EXPECT_NE(none.out.find("*** File Name is required for this option ***\r\n**Required Element(s) Missing**"),
              std::string::npos)
        << none.out;
    EXPECT_NE(none.file("docs/QV.log").find("\r\nMissing Requirement: No File Name\r\n"), std::string::npos);

    auto missing = runSim(standardFixture(), {"/F:nothere.txt"});
    EXPECT_NE(missing.out.find("*** File 'NOTHERE.TXT' cannot be found ***\r\n**Required Element(s) Missing**"),
              std::string::npos)
        << missing.out;

    // A folder is not a name file.
    std::string dir = qvtest::makeTempDir();
    ::mkdir((dir + "/names.txt").c_str(), 0755);
    auto folder = runSim(standardFixture(), {"/F:" + dir + "/names.txt"}, dir);
    EXPECT_NE(folder.out.find("cannot be found ***"), std::string::npos);
}

TEST(NameFile, ControlCharactersInNamesAreShownAsQuestionMarks) {
    // A terminal title change, a C1 escape and a lone carriage return faking a log line.
    auto r = runWithNameFile("PC\x1b]0;owned\x07\r\nPC\xc2\x9b" "2J\r\nPC\rFAKE Inventory Completed\r\n");
    const std::string log = r.file("docs/QV.log");
    for (const std::string& shown : {std::string("PC?]0;OWNED?"), std::string("PC?2J"), std::string("PC?FAKE INVENTORY COMPLETED")}) {
        EXPECT_NE(r.out.find("\r\n" + shown + "\r\nFailed to connect to " + shown + " Err#"), std::string::npos) << shown;
        EXPECT_NE(log.find("\r\n" + shown + " Failed WMI Connection Err#"), std::string::npos) << shown;
    }
    for (const std::string& raw : {std::string("\x1b"), std::string("\x07"), std::string("\xc2\x9b"), std::string("\rF")}) {
        EXPECT_EQ(r.out.find(raw), std::string::npos);
        EXPECT_EQ(log.find(raw), std::string::npos);
    }
}

TEST(NameFile, ByteOrderMarksAndPathsRelativeToTheStartFolder) {
    // What Windows PowerShell 5.1's ">" writes (UTF-16 LE with its mark), the same big-endian,
    // and UTF-8 with a mark: the same names, the mark no part of the first one.
    const std::string text = "pc2\r\np\xC3\xA9" "c\xC3\xA9\r\n";  // "pécé": é is U+00E9
    auto utf16 = [&](bool little) {
        std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
        for (unsigned char c : std::string("pc2\r\np\xE9" "c\xE9\r\n")) out += little ? std::string{char(c), '\0'} : std::string{'\0', char(c)};
        return out;
    };
    for (const std::string& content : {utf16(true), utf16(false), "\xEF\xBB\xBF" + text})
        EXPECT_EQ(inventoried(runWithNameFile(content).out), (std::vector<std::string>{"PC2", "PÉCÉ"}));

    // A relative path names the file where the program was started, not in the documents folder.
    const std::string dir = qvtest::makeTempDir();
    qvtest::writeFile(dir + "/names.txt", "pc1\r\n");
    EXPECT_EQ(inventoried(runSim(standardFixture(), {"/F:names.txt"}, dir).out), (std::vector<std::string>{"PC1"}));
}

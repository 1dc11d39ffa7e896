// The text driver: connection text, query, Schema.ini sections, cell splitting and whole tables.
#include <gtest/gtest.h>

#include <filesystem>

#include "targets/text_table.h"
#include "platform/posix/files-posix.h"
#include "tests/support/sim_run.h"

using namespace qv::targets;

namespace {

const char* const kWinsConnection =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/docs;Extended Properties=\"text;HDR=Yes;FMT=Delimited\"";

struct TempFolder {
    std::string path = qvtest::makeTempDir();
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::string connection(const std::string& properties = "text;HDR=Yes;FMT=Delimited") const {
        return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Extended Properties=\"" + properties + "\"";
    }
};

}  // namespace

TEST(TextTable, ConnectionText) {
    auto parsed = parseTextConnection(kWinsConnection);
    ASSERT_TRUE(parsed) << parsed.error().why();
    TextConnection c = *parsed;
    EXPECT_EQ(c.folder, "/data/docs");
    EXPECT_TRUE(c.format.header);
    EXPECT_EQ(c.format.delimiter, ',');

    // A folder holding ";" stays whole; HDR=No and a tab format are taken.
    parsed = parseTextConnection("Provider=X;Data Source=/a;b/docs;Extended Properties=\"text;HDR=No;FMT=TabDelimited\"");
    ASSERT_TRUE(parsed);
    c = *parsed;
    EXPECT_EQ(c.folder, "/a;b/docs");
    EXPECT_FALSE(c.format.header);
    EXPECT_EQ(c.format.delimiter, '\t');

    EXPECT_FALSE(parseTextConnection("Provider=X;Extended Properties=\"text\""));
    EXPECT_FALSE(parseTextConnection("Provider=X;Data Source=/a;Extended Properties=\"Excel 8.0\""));
    EXPECT_FALSE(parseTextConnection("Provider=X;Data Source=/a;Extended Properties=\"text;FMT=FixedLength\""));
}

TEST(TextTable, SelectAllQuery) {
    auto file = parseSelectAll("Select * From CleanWINS.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, "CleanWINS.txt");
    file = parseSelectAll("SELECT * FROM [CleanWINS#txt]");
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, "CleanWINS.txt");
    EXPECT_FALSE(parseSelectAll("Select Name From CleanWINS.txt"));
    EXPECT_FALSE(parseSelectAll("Select * From ../secret.txt"));
}

TEST(TextTable, SchemaSectionOfTheTableOnly) {
    const std::vector<std::string> schema = {
        "[Other.txt]", "Format=CSVDelimited", "ColNameHeader=False",
        "[cleanwins.txt]\r", "Format=TabDelimited", "TextDelimiter=none", "; a comment",
    };
    TextFormat f;
    auto applied = applySchema(schema, "CleanWINS.txt", f);
    ASSERT_TRUE(applied) << applied.error().why();
    EXPECT_EQ(f.delimiter, '\t');
    EXPECT_TRUE(f.header);
    EXPECT_FALSE(f.qualifier.has_value());

    TextFormat g;
    ASSERT_TRUE(applySchema({"[a.txt]", "Format=Delimited(;)", "ColNameHeader=False"}, "A.TXT", g));
    EXPECT_EQ(g.delimiter, ';');
    EXPECT_FALSE(g.header);

    TextFormat h;
    EXPECT_FALSE(applySchema({"[a.txt]", "Format=FixedLength"}, "a.txt", h));
}

TEST(TextTable, CellsKeepSpacesAndEmptyCellsAreNull) {
    TextFormat tab;
    tab.delimiter = '\t';
    auto cells = splitRecord("PC01           [00h]\t\t GROUP \t", tab);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(*cells[0], "PC01           [00h]");
    EXPECT_FALSE(cells[1].has_value());
    EXPECT_EQ(*cells[2], " GROUP ");
    EXPECT_FALSE(cells[3].has_value());

    TextFormat csv;
    cells = splitRecord("\"a,b\",\"say \"\"hi\"\"\",c\"d", csv);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(*cells[0], "a,b");
    EXPECT_EQ(*cells[1], "say \"hi\"");
    EXPECT_EQ(*cells[2], "c\"d");
}

TEST(TextTable, ReadsTheTableTheSchemaDescribes) {
    TempFolder folder;
    qvtest::writeFile(folder.path + "/Schema.ini", "[CleanWINS.txt]\r\nFormat=TabDelimited\r\n");
    qvtest::writeFile(folder.path + "/CleanWINS.txt",
                      "NAME                \tIPADDRESS  \tGROUP          \r\n"
                      "PC01           [00h]\t10?0?0?1\tUNIQUE\r\n"
                      "\r\n"
                      "CORP           [1Ch]\t\tGROUP\textra\r\n"
                      "SHORT\r\n");
    qv::posix::PosixFileSystem fs;
    auto read = readTextTable(fs, folder.connection(), "Select * From CleanWINS.txt");
    ASSERT_TRUE(read) << read.error().why();
    TextTable t = *read;
    ASSERT_EQ(t.columns.size(), 4u);
    EXPECT_EQ(t.columns[0], "NAME                ");
    EXPECT_EQ(t.columns[3], "F4");
    EXPECT_EQ(t.column("name                "), 0);
    EXPECT_EQ(t.column("NAME"), -1);  // the trailing spaces are part of the name
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(*t.cell(0, 0), "PC01           [00h]");
    EXPECT_EQ(*t.cell(1, t.column("GROUP          ")), "GROUP");
    EXPECT_FALSE(t.cell(1, 1).has_value());
    EXPECT_EQ(*t.cell(1, 3), "extra");
    EXPECT_FALSE(t.cell(2, 2).has_value());  // a short row: the missing cells are Null

    // Without the schema the connection's comma format applies: one column per line.
    std::filesystem::remove(folder.path + "/Schema.ini");
    read = readTextTable(fs, folder.connection(), "Select * From CleanWINS.txt");
    ASSERT_TRUE(read) << read.error().why();
    t = *read;
    EXPECT_EQ(t.columns.size(), 1u);
    EXPECT_EQ(t.columns[0], "NAME                \tIPADDRESS  \tGROUP          ");

    // HDR=No: every line is a row and the columns are F1, F2, ...
    qvtest::writeFile(folder.path + "/plain.txt", "a,b\r\nc\r\n");
    read = readTextTable(fs, folder.connection("text;HDR=No;FMT=Delimited"), "Select * From plain.txt");
    ASSERT_TRUE(read);
    t = *read;
    ASSERT_EQ(t.columns, (std::vector<std::string>{"F1", "F2"}));
    EXPECT_EQ(t.rows.size(), 2u);

    read = readTextTable(fs, folder.connection(), "Select * From missing.txt");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().why(), "missing.txt cannot be opened");
}

// qvdb's small pieces, case by case: CSV fields, date texts for GLPI, the GLPI documents' JSON
// writer against nlohmann::json's dump, file names, chart axes and labels, value display; and the
// report's own figures against the fleet database.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include <nlohmann/json.hpp>

#include "qvdb/export/csv.h"
#include "qvdb/export/glpi.h"
#include "qvdb/export/json_out.h"
#include "qvdb/report/charts.h"
#include "qvdb/report/computer_page.h"
#include "qvdb/report/html.h"
#include "tests/qvdb/qvdb_support.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

namespace {

using namespace qv::qvdb;

TEST(QvdbPieces, CsvFields) {
    struct Case {
        Value in;
        const char* out;
    } cases[] = {
        {std::nullopt, ""},     {std::string(""), "\"\""},           {std::string("plain"), "plain"},
        {std::string("a,b"), "\"a,b\""}, {std::string("say \"hi\""), "\"say \"\"hi\"\"\""},
        {std::string("two\r\nlines"), "\"two\r\nlines\""}, {std::string(" padded "), " padded "},
        {std::string("Größe"), "Größe"},
    };
    for (const Case& c : cases) EXPECT_EQ(exporting::csvField(c.in), c.out) << (c.in ? *c.in : "(null)");
}

TEST(QvdbPieces, DatesForGlpi) {
    struct Case {
        const char* in;
        const char* date;
        const char* dateTime;
    } cases[] = {
        {"20050610000000.000000+000", "2005-06-10", "2005-06-10 00:00:00"},
        {"20050314101500.000000+060", "2005-03-14", "2005-03-14 10:15:00"},
        {"20060115", "2006-01-15", ""},
        {"2006-01-15", "2006-01-15", ""},
        {"2006-01-15 08:09:10", "2006-01-15", "2006-01-15 08:09:10"},
        {"20050230", "", ""},          // no 30 February
        {"20040229", "2004-02-29", ""}, // a leap year
        {"19000229", "", ""},          // not one
        {"20051301", "", ""},
        {"06/10/2005", "", ""},
        {"2005061", "", ""},
        {"200506101", "", ""},
        {"20050610256000.000000+000", "", ""},  // hour 25
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(exporting::isoDateOf(c.in), c.date) << c.in;
        EXPECT_EQ(exporting::isoDateTimeOf(c.in), c.dateTime) << c.in;
    }
}

// The streaming writer writes what nlohmann::json's dump(2, ' ', false, replace) writes: the same
// escapes, the same replacement of invalid UTF-8 (a byte that breaks a sequence read again), the
// same layout of nested and empty containers.
TEST(QvdbPieces, JsonWriterWritesWhatDumpWrites) {
    const std::string texts[] = {
        "", "plain", "q\"b\\s/", std::string("nul\0in", 6), "\x01\x1f\x7f\b\t\n\f\r", "Gr\xc3\xb6\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x98\x80",
        "\xff", "\x80x", "\xc3", "ab\xc3", "\xc3(", "\xe2\x82(", "\xe2\x82", "\xf0\x9f\x98", "\xc0\x80 overlong",
        "\xed\xa0\x80 surrogate", "\xf4\x90\x80\x80 past U+10FFFF", "\xe0\x80\xaf", "\xf0\x9f\x98\xc3\xa9", "\xc3\xc3\xa9"};
    for (const std::string& t : texts) {
        const std::string dumped = nlohmann::json(t).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        EXPECT_EQ('"' + exporting::jsonEscaped(t) + '"', dumped) << nlohmann::json(t).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
    }
    nlohmann::ordered_json doc = {{"a", "x\xff"}, {"empty", nlohmann::json::object()}, {"none", nlohmann::json::array()},
                                  {"list", {{{"n", -42}, {"m", "y"}}, nlohmann::json::object(), 7}}};
    const std::string path = qvtest::makeTempDir() + "/doc.json";
    FileOut file;
    std::string error;
    ASSERT_TRUE(file.open(path, error)) << error;
    {
        exporting::JsonOut out(file);
        out.beginObject();
        out.key("a").string("x\xff");
        out.key("empty").beginObject();
        out.end();
        out.key("none").beginArray();
        out.end();
        out.key("list").beginArray();
        out.beginObject();
        out.key("n").number(-42);
        out.key("m").string("y");
        out.end();
        out.beginObject();
        out.end();
        out.number(7);
        out.end();
        out.end();
    }
    ASSERT_TRUE(file.close(error)) << error;
    EXPECT_EQ(qvtest::readFile(path), doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
}

TEST(QvdbPieces, FileNamesStayInTheirFolder) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"PC0001", "PC0001"}, {"PC 1/../x", "PC_1_.._x"}, {"..", "_.."}, {".hidden", "_.hidden"},
                 {"", "_"}, {"Größe", "Gr____e"}, {"a\\b:c", "a_b_c"}};
    for (const Case& c : cases) EXPECT_EQ(exporting::safeFileName(c.in), c.out) << c.in;
}

TEST(QvdbPieces, AxisTicksAreRoundAndCoverTheLargestValue) {
    struct Case {
        double max;
        std::vector<double> ticks;
    } cases[] = {
        {0, {0, 1}},  {1, {0, 1}},  {3, {0, 1, 2, 3}}, {7, {0, 2, 4, 6, 8}}, {50, {0, 10, 20, 30, 40, 50}},
        {67, {0, 20, 40, 60, 80}}, {178, {0, 50, 100, 150, 200}}, {10000, {0, 2000, 4000, 6000, 8000, 10000}},
    };
    for (const Case& c : cases) EXPECT_EQ(report::axisTicks(c.max), c.ticks) << c.max;
}

TEST(QvdbPieces, LongLabelsAreWrappedWithTheWholeInTheTooltip) {
    struct Case {
        const char* text;
        std::size_t width, lines;
        std::vector<std::string> out;
    } cases[] = {
        {"short", 10, 3, {"short"}},
        {"Microsoft Windows 10 Pro 10.0.19045", 20, 3, {"Microsoft Windows 10", "Pro 10.0.19045"}},
        {"  spaced   out  ", 20, 3, {"spaced out"}},
        {"Averyveryverylongword next", 10, 3, {"Averyveryv", "erylongwor", "d next"}},
        {"one two three four five six", 7, 2, {"one two", "three\xE2\x80\xA6"}},
        {"Größenänderung läuft", 10, 3, {"Größenände", "rung läuft"}},
        {"", 10, 3, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(report::wrapped(c.text, c.width, c.lines), c.out) << c.text;

    bool cut = false;
    EXPECT_EQ(report::shortened("short", 10, &cut), "short");
    EXPECT_FALSE(cut);
    EXPECT_EQ(report::shortened("exactly ten", 11, &cut), "exactly ten");
    EXPECT_EQ(report::shortened("Microsoft Windows XP", 10, &cut), "Microsoft\xE2\x80\xA6");
    EXPECT_TRUE(cut);
    EXPECT_EQ(report::shortened("Größenänderung", 4), "Grö\xE2\x80\xA6");
    const std::string label = "Fujitsu Siemens Computers GmbH, a maker with a long name";
    const std::string svg = report::barChart("c", "Title <1>", "Axis", {{label, 3, "", ""}, {"B", 1, "", ""}});
    EXPECT_NE(svg.find("<title>" + label + ": 3</title>"), std::string::npos);
    EXPECT_NE(svg.find(">Fujitsu Siemens Computers GmbH,</tspan><tspan x=\"224\" dy=\"14\">a maker with a long name<"),
              std::string::npos)
        << "the label wrapped in two lines: " << svg;
    EXPECT_NE(svg.find("Title &lt;1&gt;"), std::string::npos);
    // To scale: the bar of 3 is three times the bar of 1.
    std::smatch m;
    std::vector<double> widths;
    std::string rest = svg;
    while (std::regex_search(rest, m, std::regex("<rect x=\"[0-9.]+\" y=\"[0-9.]+\" width=\"([0-9.]+)\""))) {
        widths.push_back(std::stod(m[1]));
        rest = m.suffix();
    }
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NEAR(widths[0], 3 * widths[1], 0.2);
}

TEST(QvdbPieces, ValuesAsTheReportShowsThem) {
    using qv::database::Column;
    using qv::database::ColumnType;
    struct Case {
        Column column;
        Value value;
        const char* shown;
    } cases[] = {
        {{"TotalRAM(Bytes)", ColumnType::Double, 0}, std::string("1073741824.0"), "1,073,741,824 (1 GB)"},
        {{"OSLanguage", ColumnType::Integer, 0}, std::string("1033"), "1033"},
        {{"AdapterRAM", ColumnType::Integer, 0}, std::string("134217728"), "134,217,728 (128 MB)"},
        {{"IPEnabled", ColumnType::Boolean, 0}, std::string("1"), "True"},
        {{"Default", ColumnType::Boolean, 0}, std::string("0"), "False"},
        {{"Name", ColumnType::VarWChar, 32}, std::string("  C:  "), "C:"},
        {{"Name", ColumnType::VarWChar, 32}, std::nullopt, ""},
        {{"FreeSpace", ColumnType::Single, 0}, std::string("1234.5"), "1,234.5 (1.2 KB)"},
    };
    for (const Case& c : cases) EXPECT_EQ(report::displayValue(c.column, c.value), c.shown) << c.column.name;
}

// Without a browser: the overview's figures and a computer's history, read from the files.
TEST(QvdbReport, OverviewFiguresAndHistoryMatchTheDatabase) {
    const std::string dir = qvtest::makeTempDir();
    const std::string db = qvtest::fleetDatabase();
    qvtest::Result r = qvtest::qvdb({"report", "--database", db, "--out", dir + "/site", "--stale", "30"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Not a terminal: the last count alone, on a line of its own, no count rewritten in place.
    EXPECT_NE(r.out.find("\n  computer pages: 200 of 200\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << r.out;
    const std::string index = qvtest::readFile(dir + "/site/index.html");
    auto figure = [&](const std::string& id) {
        std::smatch m;
        return std::regex_search(index, m, std::regex("id=\"" + id + "\">([0-9,]+)<")) ? std::string(m[1]) : "?";
    };
    EXPECT_EQ(figure("n-computers"),
              qvtest::queryValue(db, "SELECT count(*) FROM (SELECT DISTINCT DeviceName, DomainWorkGrp FROM DeviceID)"));
    EXPECT_EQ(figure("n-inventories"), qvtest::queryValue(db, "SELECT count(*) FROM DeviceID"));
    std::size_t pages = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir + "/site/c")) pages += e.path().extension() == ".html";
    EXPECT_EQ(pages, 200u);
    // PC0004 got Fleet Monitor, lost Legacy Tool and kept Office Suite's version in round 2.
    const std::string page = qvtest::readFile(dir + "/site/c/PC0004.html");
    const std::string history = page.substr(page.find("id=\"history\""));
    EXPECT_NE(history.find("Software added: Fleet Monitor 2.1"), std::string::npos) << history;
    EXPECT_NE(history.find("Software removed: Legacy Tool 1.0"), std::string::npos) << history;
    EXPECT_EQ(history.find("Office Suite"), std::string::npos) << history;
    const std::string odd = qvtest::readFile(dir + "/site/c/PC0005.html");
    EXPECT_NE(odd.find("Software Office Suite changed: 11.0.6361 \xE2\x86\x92 11.0.8173"), std::string::npos);
}

}  // namespace

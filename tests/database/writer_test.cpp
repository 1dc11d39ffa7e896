// The record writer: value conversions, refused rows that change nothing, parents, cascades, and
// rows becoming permanent when a computer's inventory ends.
#include <gtest/gtest.h>

#include <filesystem>

#include "database/records.h"
#include "files/run_reporter.h"
#include "fixture/platform.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using namespace qvtest;
using qv::database::Field;

namespace {

// A run context on the fixture platform with a fresh database in a temporary folder, as the run
// driver leaves it before the first computer.
struct WriterRun {
    std::string dir = makeTempDir();
    std::unique_ptr<qv::fixture::FixturePlatform> fixture;
    std::unique_ptr<qv::Platform> platform;
    std::unique_ptr<qv::RunContext> ctx;
    std::unique_ptr<qv::files::RunReporter> reporter;
    std::unique_ptr<qv::database::Session, qv::database::SessionCloser> session;
    qv::database::InventoryKey key;
    std::string db = dir + "/QV.mdb";

    WriterRun() {
        writeFile(dir + "/fixture.json", standardFixture());
        std::string error;
        fixture = qv::fixture::FixturePlatform::load(dir + "/fixture.json", error);
        platform = std::make_unique<qv::Platform>(fixture->platform());
        ctx = std::make_unique<qv::RunContext>(*platform, fixture->connector(), fixture->limits());
        reporter = std::make_unique<qv::files::RunReporter>(*ctx);
        session = qv::database::createOrOpenDatabase(
            {platform->files, platform->system.locale(), {2026, 12, 8, 9, 30, 5}, dir, {}, nullptr, fixture->limits().databaseMs}, *reporter);
        target("WS01", "CORP");
    }
    ~WriterRun() {
        session.reset();
        ctx.reset();
        std::filesystem::remove_all(dir);
    }
    void target(const std::string& name, const std::string& domain) {
        key = {domain, name};
    }
    void finish() { qv::database::endInventory(*session); }
    Rows rows(const std::string& sql) { return queryDb(db, sql); }
};

// The writer's calls for the run's current computer.
bool appendRow(WriterRun& run, const std::string& table, const qv::database::Fields& fields) {
    return qv::database::appendRow(*run.session, run.key, table, fields).ok();
}
bool appendEmptyRow(WriterRun& run, const std::string& table) { return qv::database::appendEmptyRow(*run.session, run.key, table).ok(); }
bool appendMasterRows(WriterRun& run, const qv::database::Fields& fields) {
    return qv::database::appendMasterRows(*run.session, run.key, fields).ok();
}

}  // namespace

TEST(RecordWriter, ValuesAreConvertedForTheirColumns) {
    WriterRun run;
    auto& ctx = run;
    ASSERT_TRUE(appendMasterRows(ctx, {{"Role", std::string("1 (Member Workstation)")},
                                       {"TotalRAM(Bytes)", std::string("1,073,741,824")}}));
    // Grouped texts for numbers, a Single rounded to single precision, Null kept apart from 0.
    EXPECT_TRUE(appendRow(ctx, "OSData", {{"CodeSet", std::string("1,252")}, {"CountryCode", std::string(" 1 ")},
                                          {"OSLanguage", std::int64_t{1033}}, {"NumberOfLicUsers", Field()},
                                          {"SysSvcsCount", 120.0}, {"SysSvcsRunCount", std::string("")}}));
    EXPECT_TRUE(appendRow(ctx, "LogicalDrives", {{"Name", std::string("C:")}, {"MaxSpace", 0.1},
                                                 {"FreeSpace", std::string("38,146.97")}}));
    // Dates from a date-time or a text in the locale's general form; Booleans from words or numbers.
    EXPECT_TRUE(appendRow(ctx, "Drivers", {{"Name", std::string("a")}, {"DateCreated", qv::DateTime{2020, 1, 2, 3, 4, 5}}}));
    EXPECT_TRUE(appendRow(ctx, "Drivers", {{"Name", std::string("b")}, {"DateCreated", std::string("12/8/2026 9:30:05 PM")}}));
    EXPECT_TRUE(appendRow(ctx, "Printers", {{"Name", std::string("p1")}, {"Default", true}}));
    EXPECT_TRUE(appendRow(ctx, "Printers", {{"Name", std::string("p2")}, {"Default", std::string("False")}}));
    EXPECT_TRUE(appendRow(ctx, "Printers", {{"Name", std::string("p3")}, {"Default", std::int64_t{-1}}}));
    EXPECT_TRUE(appendRow(ctx, "Printers", {{"Name", std::string("p4")}}));
    // Numbers and Booleans given for a text column are written as the scripting layer writes them.
    EXPECT_TRUE(appendRow(ctx, "SharedRes", {{"Name", 2.5}, {"Description", true}, {"Type", std::string("0")}}));
    run.finish();

    EXPECT_EQ(run.rows("SELECT InvDateTime, DomainWorkGrp, DeviceName, Role, \"TotalRAM(Bytes)\" FROM DeviceID"),
              (Rows{{"2026-12-08 09:30:05", "CORP", "WS01", "1 (Member Workstation)", "1073741824.0"}}));
    EXPECT_EQ(run.rows("SELECT CodeSet, CountryCode, OSLanguage, NumberOfLicUsers, SysSvcsCount, SysSvcsRunCount, "
                       "typeof(CodeSet), OSName FROM OSData"),
              (Rows{{"1252", "1", "1033", "NULL", "120", "NULL", "integer", "NULL"}}));
    EXPECT_EQ(run.rows("SELECT MaxSpace = CAST(0.100000001490116119384765625 AS REAL), FreeSpace FROM LogicalDrives"),
              (Rows{{"1", "38146.96875"}}));
    EXPECT_EQ(run.rows("SELECT Name, DateCreated FROM Drivers ORDER BY Name"),
              (Rows{{"a", "2020-01-02 03:04:05"}, {"b", "2026-12-08 21:30:05"}}));
    EXPECT_EQ(run.rows("SELECT Name, \"Default\" FROM Printers ORDER BY Name"),
              (Rows{{"p1", "1"}, {"p2", "0"}, {"p3", "1"}, {"p4", "0"}}));
    EXPECT_EQ(run.rows("SELECT Name, Description, Type FROM SharedRes"), (Rows{{"2.5", "True", "0"}}));
}

TEST(RecordWriter, TheEmptyRowHoldsEmptyTextsZerosAndNoDate) {
    WriterRun run;
    ASSERT_TRUE(appendMasterRows(run, {}));
    EXPECT_TRUE(appendEmptyRow(run, "TCP_IP"));
    EXPECT_TRUE(appendEmptyRow(run, "Drivers"));
    EXPECT_TRUE(appendEmptyRow(run, "RAM"));
    run.finish();
    EXPECT_EQ(run.rows("SELECT CardName, IPEnabled, DNSSearchCount, ServiceName FROM TCP_IP"), (Rows{{"", "0", "0", ""}}));
    EXPECT_EQ(run.rows("SELECT Name, DateCreated FROM Drivers"), (Rows{{"", "NULL"}}));
    EXPECT_EQ(run.rows("SELECT Capacity, Description FROM RAM"), (Rows{{"0.0", ""}}));
}

TEST(RecordWriter, RefusedRowsChangeNothingAndTheNextRowsGoIn) {
    WriterRun run;
    auto& ctx = run;
    // No parent yet: every category row is refused.
    EXPECT_FALSE(appendRow(ctx, "BIOS", {{"Description", std::string("early")}}));
    EXPECT_FALSE(appendRow(ctx, "EnvStrings", {{"VarName", std::string("early")}}));
    ASSERT_TRUE(appendMasterRows(ctx, {}));
    // The same inventory key twice is refused; category rows repeat freely.
    EXPECT_FALSE(appendMasterRows(ctx, {{"Role", std::string("again")}}));
    EXPECT_TRUE(appendRow(ctx, "EnvStrings", {{"VarName", std::string("A")}}));
    // Texts longer than their column are cut to its width ("é" counts as one character).
    EXPECT_TRUE(appendRow(ctx, "EnvStrings", {{"VarName", std::string("B")}, {"VarValue", "\xC3\xA9" + std::string(300, 'v')}}));
    EXPECT_TRUE(appendRow(ctx, "EnvStrings", {{"VarName", std::string("A")}, {"VarValue", std::string(255, 'v')}}));
    EXPECT_TRUE(appendRow(ctx, "RegSoftwarePackages", {{"Name", std::string(200, 'n')}}));
    EXPECT_TRUE(appendRow(ctx, "RegSoftwarePackages", {{"Name", std::string("next")}, {"Serial#", std::string("123")}}));
    // Values a column cannot take, unknown columns and tables.
    EXPECT_FALSE(appendRow(ctx, "OSData", {{"CodeSet", std::string("twelve")}}));
    EXPECT_FALSE(appendRow(ctx, "OSData", {{"CodeSet", std::int64_t{2147483648}}}));
    EXPECT_FALSE(appendRow(ctx, "OSData", {{"CodeSet", std::string("3,000,000,000")}}));
    EXPECT_FALSE(appendRow(ctx, "RAM", {{"Capacity", 1e300}}));
    EXPECT_FALSE(appendRow(ctx, "Drivers", {{"DateCreated", std::string("yesterday")}}));
    EXPECT_FALSE(appendRow(ctx, "Printers", {{"Default", std::string("maybe")}}));
    EXPECT_FALSE(appendRow(ctx, "BIOS", {{"NoSuchColumn", std::string("x")}}));
    EXPECT_FALSE(appendRow(ctx, "NoSuchTable", {}));
    EXPECT_TRUE(appendRow(ctx, "OSData", {{"CodeSet", std::string("1252")}}));
    run.finish();
    EXPECT_EQ(run.rows("SELECT VarName, length(VarValue), substr(VarValue, 1, 2) FROM EnvStrings ORDER BY rowid"),
              (Rows{{"A", "NULL", "NULL"}, {"B", "255", "\xC3\xA9v"}, {"A", "255", "vv"}}));
    EXPECT_EQ(run.rows("SELECT length(Name), \"Serial#\" FROM RegSoftwarePackages"), (Rows{{"128", "NULL"}, {"4", "123"}}));
    EXPECT_EQ(run.rows("SELECT Role FROM DeviceID"), (Rows{{"NULL"}}));
    EXPECT_EQ(run.rows("SELECT count(*) FROM OSData"), (Rows{{"1"}}));
    EXPECT_EQ(run.rows("SELECT count(*) FROM BIOS UNION ALL SELECT count(*) FROM Printers UNION ALL SELECT count(*) FROM RAM"),
              (Rows{{"0"}, {"0"}, {"0"}}));

    // A name of 17 characters does not fit DeviceName: the whole inventory is refused.
    run.target("ABCDEFGHIJKLMNOPQ", "CORP");
    EXPECT_FALSE(appendMasterRows(ctx, {}));
    EXPECT_FALSE(appendRow(ctx, "OSData", {}));
    run.finish();
    run.target("ABCDEFGHIJKLMNOP", "");
    EXPECT_TRUE(appendMasterRows(ctx, {}));
    run.finish();
    EXPECT_EQ(run.rows("SELECT DeviceName, DomainWorkGrp FROM DeviceID ORDER BY 1"),
              (Rows{{"ABCDEFGHIJKLMNOP", ""}, {"WS01", "CORP"}}));
}

TEST(RecordWriter, DeletingAnInventoryRemovesItsRowsFromEveryTable) {
    WriterRun run;
    for (const char* name : {"WS01", "WS02"}) {
        run.target(name, "CORP");
        ASSERT_TRUE(appendMasterRows(run, {}));
        Rows tables = run.rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT IN "
                               "('DeviceID', 'SoftwareKey', 'HardwareKey')");
        ASSERT_EQ(tables.size(), 33u);
        for (const auto& t : tables) EXPECT_TRUE(appendEmptyRow(run, t[0])) << t[0];
        run.finish();
    }
    ASSERT_TRUE(execDb(run.db, "DELETE FROM DeviceID WHERE DeviceName = 'WS01'"));
    for (const auto& t : run.rows("SELECT name FROM sqlite_master WHERE type = 'table'"))
        EXPECT_EQ(run.rows("SELECT group_concat(DeviceName) FROM \"" + t[0] + "\""), (Rows{{"WS02"}})) << t[0];
}

TEST(RecordWriter, RowsBecomePermanentWhenTheInventoryEnds) {
    WriterRun run;
    ASSERT_TRUE(appendMasterRows(run, {}));
    ASSERT_TRUE(appendRow(run, "OSData", {{"OSName", std::string("XP")}}));
    // Another connection sees the file as it was before the computer began.
    EXPECT_EQ(run.rows("SELECT count(*) FROM DeviceID"), (Rows{{"0"}}));
    run.finish();
    EXPECT_EQ(run.rows("SELECT count(*) FROM DeviceID UNION ALL SELECT count(*) FROM OSData"), (Rows{{"1"}, {"1"}}));
    // Without the database, a computer's rows go nowhere and are not called written.
    qv::database::InventoryRows none(nullptr, *run.reporter, "WS02");
    none.write({qv::OutputItem::Kind::MasterRows, {}, {}, "CORP"});
    none.write({qv::OutputItem::Kind::Row, "OSData", {}, "CORP"});
    EXPECT_TRUE(none.commit());
    EXPECT_FALSE(none.allWritten());
    EXPECT_EQ(run.rows("SELECT count(*) FROM DeviceID"), (Rows{{"1"}}));
}

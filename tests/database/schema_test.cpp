// The database a first run creates, read back with SQL against the table list of the inventory
// schema, column by column; the creation log lines; the handling of a table that cannot be made.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <sstream>

#include "database/creation.h"
#include "database/sqlite/sqlite_engine.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using namespace qvtest;

namespace {

// Table | parent | own primary key | category columns (name, ADOX type, size), written out from the
// schema's table list independently of the code's own table data.
const char* const kSchema =
    "DeviceID||PrimaryKey|Role adVarWChar 29, Owner adVarWChar 64, Contact adVarWChar 64, CurrentUser adVarWChar 32, Manufacturer adVarWChar 64, Model adVarWChar 64, IdentifyingNumber adVarWChar 25, UUID adVarWChar 36, TotalRAM(Bytes) adDouble, SystemType adVarWChar 24\n"
    "SoftwareKey|DeviceID|SwPrimaryKey|\n"
    "HardwareKey|DeviceID|HwPrimaryKey|\n"
    "OSData|DeviceID||OSName adVarWChar 64, Version adVarWChar 16, CSDVersion adVarWChar 32, SerialNumber adVarWChar 32, InstallDate adVarWChar 25, Organization adVarWChar 64, RegisteredUser adVarWChar 16, NumberOfLicUsers adInteger, OSProductSuite adVarWChar 64, OSType adVarWChar 32, OSLanguage adInteger, CodeSet adInteger, CountryCode adInteger, Locale adVarWChar 16, LocalDateTime adVarWChar 25, WindowsDirectory adVarWChar 64, SystemDirectory adVarWChar 64, OSManufacturer adVarWChar 64, Description adVarWChar 64, SysSvcsCount adInteger, SysSvcsRunCount adInteger\n"
    "EnvStrings|DeviceID||Owner adVarWChar 255, VarName adVarWChar 255, VarValue adVarWChar 255\n"
    "BIOS|HardwareKey||Description adVarWChar 32, Manufacturer adVarWChar 32, SMBIOSVersion adVarWChar 16, ReleaseDate adVarWChar 25, CurrentLanguage adVarWChar 16, SerialNumber adVarWChar 32\n"
    "CPU|HardwareKey||CPUID adVarWChar 8, CPUName adVarWChar 64, CPU adVarWChar 64, MaxClockSpeed adInteger, CurrentClockSpeed adInteger, L2CacheSize adInteger, CPUManufacturer adVarWChar 64, Description adVarWChar 64, ProcessorId adVarWChar 16\n"
    "RAM|HardwareKey||Description adVarWChar 16, BankLabel adVarWChar 32, Capacity adSingle\n"
    "BaseBoard|HardwareKey||Name adVarWChar 16, Product adVarWChar 32, Manufacturer adVarWChar 32, SerialNumber adVarWChar 32, Version adVarWChar 32\n"
    "Chassis|HardwareKey||Description adVarWChar 64, Manufacturer adVarWChar 64, SMBIOSAssetTag adVarWChar 32\n"
    "LogicalDrives|DeviceID||Name adVarWChar 32, Description adVarWChar 64, DriveType adVarWChar 32, FileSystem adVarWChar 16, MaxSpace adSingle, FreeSpace adSingle, MediaType adVarWChar 64\n"
    "HardDisk|HardwareKey||Description adVarWChar 16, InterfaceType adVarWChar 16, Manufacturer adVarWChar 32, Model adVarWChar 64, Size adDouble, Partitions adInteger\n"
    "CD_DVD|HardwareKey||Drive adVarWChar 32, Name adVarWChar 32, Description adVarWChar 32, Manufacturer adVarWChar 32\n"
    "TapeDrive|HardwareKey||Name adVarWChar 64, Model adVarWChar 64, Description adVarWChar 32, Manufacturer adVarWChar 32, DeviceID adVarWChar 128\n"
    "PointDevice|HardwareKey||Description adVarWChar 64, Manufacturer adVarWChar 32, Interface adVarWChar 32, PointerType adVarWChar 32\n"
    "Keyboard|HardwareKey||Caption adVarWChar 32, Description adVarWChar 64, Layout adVarWChar 8\n"
    "PortCon|HardwareKey||Tag adVarWChar 255, ExtRefDesignator adVarWChar 128, IntRefDesignator adVarWChar 128, PortType adVarWChar 64\n"
    "SerialPorts|HardwareKey||PortID adVarWChar 8, Description adVarWChar 32, ProviderType adVarWChar 32\n"
    "ParallelPorts|HardwareKey||PortID adVarWChar 8\n"
    "USB|HardwareKey||Reference adVarWChar 8, ID adVarWChar 128, Name adVarWChar 128\n"
    "SCSI|HardwareKey||Reference adVarWChar 16, ID adVarWChar 128, Description adVarWChar 128\n"
    "Modem|HardwareKey||Reference adVarWChar 8, Caption adVarWChar 64, AttachedTo adVarWChar 8, ServiceType adVarWChar 16, ID adVarWChar 128, ProviderName adVarWChar 32\n"
    "Audio|HardwareKey||Reference adVarWChar 8, Name adVarWChar 64, Manufacturer adVarWChar 32, ID adVarWChar 128\n"
    "Monitor|HardwareKey||ID adVarWChar 16, Name adVarWChar 64, ScreenHeight adInteger, ScreenWidth adInteger, Manufacturer adVarWChar 64\n"
    "VideoAdapter|HardwareKey||ID adVarWChar 32, Name adVarWChar 64, AdapterRAM adInteger, Architecture adVarWChar 32, VideoMode adVarWChar 64, RefreshRate adInteger, Processor adVarWChar 32\n"
    "Printers|HardwareKey||Reference adVarWChar 16, Name adVarWChar 32, DriverName adVarWChar 64, PortName adVarWChar 64, Default adBoolean\n"
    "TCP_IP|DeviceID||CardName adVarWChar 128, IPEnabled adBoolean, IPAddress adVarWChar 15, IPSubnet adVarWChar 15, MACAddress adVarWChar 17, DefaultIPGateway adVarWChar 15, DHCPEnabled adBoolean, DHCPLeaseExpires adVarWChar 25, DHCPLeaseObtained adVarWChar 25, DHCPServer adVarWChar 15, DNSHostName adVarWChar 64, DNSDomain adVarWChar 64, DNSSearchCount adInteger, DNSEnabled4WINSRes adBoolean, DomDNSRegistEnabled adBoolean, WINSPrimary adVarWChar 15, WINSSecondary adVarWChar 15, WINSScopeID adVarWChar 64, TcpipNetbiosOptions adVarWChar 64, WINSLMHostsLookup adBoolean, WINSHostLookupFile adVarWChar 64, ServiceName adVarWChar 32\n"
    "DNSSearchServers|DeviceID||CardName adVarWChar 128, MACAddress adVarWChar 17, SearchOrder adInteger, DNSServer adVarWChar 15\n"
    "IPX_SPX|DeviceID||CardName adVarWChar 128, MACAddress adVarWChar 17, IPXAddress adVarWChar 32, IPXNetworkNumber adVarWChar 32, IPXVirtualNetNumber adVarWChar 32, IPXFrameType adVarWChar 32, IPXMediaType adVarWChar 32, IPXEnabled adBoolean\n"
    "SelectServices|DeviceID||Name adVarWChar 128, Type adVarWChar 16\n"
    "NetworkProtocols|DeviceID||Caption adVarWChar 16, Name adVarWChar 128, Description adVarWChar 128\n"
    "NetworkAdapters|HardwareKey||Description adVarWChar 64, DeviceID adVarWChar 16, MACAddress adVarWChar 17, AdapterType adVarWChar 64, Manufacturer adVarWChar 64, Speed adInteger, MaxSpeed adInteger, ServiceName adVarWChar 16\n"
    "SharedRes|DeviceID||Name adVarWChar 16, Description adVarWChar 64, Path adVarWChar 128, Type adInteger\n"
    "Drivers|SoftwareKey||Name adVarWChar 64, Path adVarWChar 128, Type adVarWChar 32, Version adVarWChar 32, DateCreated adDate\n"
    "RegSoftwarePackages|SoftwareKey||Name adVarWChar 128, Version adVarWChar 32, Serial# adVarWChar 32, Publisher adVarWChar 64, InstallDate adVarWChar 8\n"
    "RegSoftwareAppl|SoftwareKey||Name adVarWChar 64, Path adVarWChar 128, Version adVarWChar 32, DateCreated adDate\n";

struct ExpectedColumn {
    std::string name, type;
    int size = 0;
};
struct ExpectedTable {
    std::string name, parent, primaryKey;
    std::vector<ExpectedColumn> columns;  // the key columns first
};

std::vector<std::string> split(const std::string& s, const std::string& sep) {
    std::vector<std::string> parts;
    std::size_t start = 0, at;
    while ((at = s.find(sep, start)) != std::string::npos) {
        parts.push_back(s.substr(start, at - start));
        start = at + sep.size();
    }
    parts.push_back(s.substr(start));
    return parts;
}

std::vector<ExpectedTable> expectedTables() {
    std::vector<ExpectedTable> tables;
    std::istringstream in(kSchema);
    std::string line;
    while (std::getline(in, line)) {
        auto f = split(line, "|");
        ExpectedTable t{f[0], f[1], f[2], {{"InvDateTime", "adDate"}, {"DomainWorkGrp", "adVarWChar", 64}, {"DeviceName", "adVarWChar", 16}}};
        if (!f[3].empty())
            for (const std::string& c : split(f[3], ", ")) {
                auto w = split(c, " ");
                t.columns.push_back({w[0], w[1], w.size() > 2 ? std::stoi(w[2]) : 0});
            }
        tables.push_back(t);
    }
    return tables;
}

// The storage class each column type is kept in.
std::string storageOf(const std::string& adoxType) {
    if (adoxType == "adVarWChar" || adoxType == "adDate") return "TEXT";
    if (adoxType == "adSingle" || adoxType == "adDouble") return "REAL";
    return "INTEGER";
}

std::string q(const std::string& name) { return "\"" + name + "\""; }

// An INSERT of one row into `t` with every column valid, except `column` set to `value` (SQL).
std::string insertWith(const ExpectedTable& t, const std::string& column, const std::string& value) {
    std::string names, values;
    for (const ExpectedColumn& c : t.columns) {
        names += (names.empty() ? "" : ", ") + q(c.name);
        std::string v = c.name == column ? value
                        : c.name == "InvDateTime" ? "'2026-12-08 09:30:05'"
                        : c.type == "adVarWChar"  ? "'x'"
                        : c.type == "adDate"      ? "'2020-01-02 03:04:05'"
                                                  : "1";
        values += (values.empty() ? "" : ", ") + v;
    }
    return "BEGIN; INSERT INTO " + q(t.name) + " (" + names + ") VALUES (" + values + "); ROLLBACK;";
}

std::string text(std::size_t n) { return "'" + std::string(n, 'x') + "'"; }

}  // namespace

TEST(DatabaseSchema, FirstRunCreatesEveryTableExactlyAsListed) {
    SimResult r = runSim(standardFixture(), {});
    const std::string db = r.dir + "/docs/QV.mdb";
    ASSERT_TRUE(r.exists("docs/QV.mdb"));
    const std::vector<ExpectedTable> tables = expectedTables();
    ASSERT_EQ(tables.size(), 36u);

    Rows names = queryDb(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
    ASSERT_EQ(names.size(), tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) EXPECT_EQ(names[i][0], tables[i].name) << "table #" << i + 1;
    EXPECT_EQ(queryValue(db, "PRAGMA journal_mode"), "delete");

    for (const ExpectedTable& t : tables) {
        SCOPED_TRACE(t.name);
        Rows cols = queryDb(db, "SELECT name, type, \"notnull\", pk FROM pragma_table_info('" + t.name + "') ORDER BY cid");
        ASSERT_EQ(cols.size(), t.columns.size());
        for (std::size_t i = 0; i < cols.size(); ++i) {
            const ExpectedColumn& c = t.columns[i];
            EXPECT_EQ(cols[i][0], c.name);
            EXPECT_EQ(cols[i][1], storageOf(c.type)) << c.name;
            // The primary key makes its columns refuse Null, DomainWorkGrp included.
            bool notNull = c.name == "InvDateTime" || c.name == "DeviceName" || c.type == "adBoolean" ||
                           (c.name == "DomainWorkGrp" && !t.primaryKey.empty());
            EXPECT_EQ(cols[i][2], notNull ? "1" : "0") << c.name;
            EXPECT_EQ(cols[i][3], !t.primaryKey.empty() && i < 3 ? std::to_string(i + 1) : "0") << c.name;
        }
        std::string sql = queryValue(db, "SELECT sql FROM sqlite_master WHERE name = '" + t.name + "'");
        const std::string key = "(\"InvDateTime\", \"DomainWorkGrp\", \"DeviceName\")";
        if (!t.primaryKey.empty())
            EXPECT_NE(sql.find("CONSTRAINT \"" + t.primaryKey + "\" PRIMARY KEY " + key), std::string::npos) << sql;
        else
            EXPECT_EQ(sql.find("PRIMARY KEY"), std::string::npos) << sql;
        Rows fk = queryDb(db, "SELECT \"table\", \"from\", \"to\", on_update, on_delete FROM pragma_foreign_key_list('" +
                                  t.name + "') ORDER BY seq");
        if (t.parent.empty()) {
            EXPECT_TRUE(fk.empty());
            continue;
        }
        EXPECT_NE(sql.find("CONSTRAINT \"" + t.name + "FKey\" FOREIGN KEY " + key), std::string::npos) << sql;
        ASSERT_EQ(fk.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(fk[i], (std::vector<std::string>{t.parent, t.columns[i].name, t.columns[i].name, "CASCADE", "CASCADE"}));
    }
    std::filesystem::remove_all(r.dir);
}

TEST(DatabaseSchema, ColumnsRefuseWhatTheirTypeAndSizeCannotHold) {
    SimResult r = runSim(standardFixture(), {});
    const std::string db = r.dir + "/docs/QV.mdb";
    for (const ExpectedTable& t : expectedTables()) {
        SCOPED_TRACE(t.name);
        // Parents are left out here (foreign keys off): only the column rules are tried.
        auto accepts = [&](const std::string& column, const std::string& value) {
            return execDb(db, insertWith(t, column, value), nullptr, false);
        };
        EXPECT_TRUE(accepts("", ""));
        for (const ExpectedColumn& c : t.columns) {
            SCOPED_TRACE(c.name);
            if (c.type == "adVarWChar") {
                EXPECT_TRUE(accepts(c.name, text(c.size)));
                EXPECT_TRUE(accepts(c.name, "'" + std::string(c.size, 'x').replace(0, 2, "\xC3\xA9") + "'"));
                EXPECT_FALSE(accepts(c.name, text(c.size + 1)));
                EXPECT_TRUE(accepts(c.name, "''"));
            } else if (c.type == "adInteger") {
                EXPECT_TRUE(accepts(c.name, "2147483647"));
                EXPECT_TRUE(accepts(c.name, "-2147483648"));
                EXPECT_FALSE(accepts(c.name, "2147483648"));
                EXPECT_FALSE(accepts(c.name, "'many'"));
            } else if (c.type == "adDate") {
                EXPECT_FALSE(accepts(c.name, "'12/8/2026'"));
            } else if (c.type == "adBoolean") {
                EXPECT_FALSE(accepts(c.name, "2"));
            } else {
                EXPECT_FALSE(accepts(c.name, "'big'"));
            }
            bool nullable = c.type != "adBoolean" && c.name != "InvDateTime" && c.name != "DeviceName" &&
                            !(c.name == "DomainWorkGrp" && !t.primaryKey.empty());
            EXPECT_EQ(accepts(c.name, "NULL"), nullable);
        }
    }
    std::filesystem::remove_all(r.dir);
}

TEST(DatabaseSchema, CreationAndExistingFileAreLogged) {
    SimResult first = runSim(standardFixture(), {});
    const std::string log1 = first.file("docs/QV.log");
    EXPECT_NE(log1.find("Inventory Local Computer: WS01\r\n" + databaseCreationLog() + "Connected to WS01\r\n"),
              std::string::npos)
        << log1;
    // A second run (one minute later) appends to the same file and logs only that it exists.
    std::string later = standardFixture("\"now\": \"2026-12-08T09:31:05\"");
    SimResult second = runSim(later, {}, first.dir);
    const std::string log2 = second.file("docs/QV.log").substr(log1.size());
    EXPECT_NE(log2.find("Inventory Local Computer: WS01\r\n  QV.mdb exists; data to be appended\r\nConnected to WS01\r\n"),
              std::string::npos)
        << log2;
    EXPECT_EQ(log2.find("    Table "), std::string::npos);
    EXPECT_EQ(queryDb(first.dir + "/docs/QV.mdb", "SELECT InvDateTime FROM DeviceID ORDER BY 1"),
              (Rows{{"2026-12-08 09:30:05"}, {"2026-12-08 09:31:05"}}));
    EXPECT_FALSE(first.exists("docs/QV.mdb.creating"));
    std::filesystem::remove_all(first.dir);
}

TEST(DatabaseSchema, ATableThatCannotBeMadeIsLoggedAndTheRestAreStillCreated) {
    using namespace qv::database;
    std::string dir = makeTempDir();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "/t.db").c_str(), &db), SQLITE_OK);
    // OSData twice: the second cannot be made.
    std::vector<TableDef> tables = {*findTable("DeviceID"), *findTable("SoftwareKey"), *findTable("OSData"),
                                    *findTable("OSData"), *findTable("BIOS")};
    bool committed = false;
    std::vector<std::string> log = tableCreationLines(sqlite::createTables(db, tables, committed), "SQLite");
    EXPECT_TRUE(committed);
    sqlite3_close(db);
    EXPECT_EQ(log, (std::vector<std::string>{"    Table DeviceID Created", "    Table OSData Created",
                                             "    Table Creation Error OSDataSQLite-->table \"OSData\" already exists Error",
                                             "    Table BIOS Created"}));
    EXPECT_EQ(queryDb(dir + "/t.db", "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"),
              (Rows{{"DeviceID"}, {"SoftwareKey"}, {"OSData"}, {"BIOS"}}));
    std::filesystem::remove_all(dir);
}

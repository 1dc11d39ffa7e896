// qvdb export and its reader: CSV read back equals the tables, GLPI documents follow the format's
// rules, bad databases and output folders are refused whole.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "database/schema.h"
#include "database/sqlite/sqlite_engine.h"
#include "qvdb/commands.h"
#include "tests/qvdb/qvdb_support.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

namespace {

using json = nlohmann::json;
using qvtest::queryDb;
using qvtest::Result;
namespace fs = std::filesystem;

// ---- CSV as RFC 4180 reads it: an unquoted empty field is Null, "" an empty text.
using Field = std::optional<std::string>;
std::vector<std::vector<Field>> parseCsv(const std::string& text, std::string& problem) {
    std::vector<std::vector<Field>> records;
    std::vector<Field> record;
    std::size_t i = 0;
    while (i < text.size()) {
        Field f;
        if (text[i] == '"') {
            std::string v;
            ++i;
            while (true) {
                if (i >= text.size()) {
                    problem = "unterminated quote";
                    return records;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        v += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                v += text[i++];
            }
            f = v;
        } else {
            std::string v;
            while (i < text.size() && text[i] != ',' && text[i] != '\r') {
                if (text[i] == '"' || text[i] == '\n') {
                    problem = "quote or line feed in an unquoted field";
                    return records;
                }
                v += text[i++];
            }
            if (!v.empty()) f = v;
        }
        record.push_back(f);
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        if (text.compare(i, 2, "\r\n") != 0) {
            problem = "record not ended by CR LF at byte " + std::to_string(i);
            return records;
        }
        i += 2;
        records.push_back(std::move(record));
        record.clear();
    }
    return records;
}

// ---- The GLPI format's rules (inventory.schema.json of glpi-project/inventory_format): for each
// object its members with their types and patterns, its required members; every object there
// refuses members it does not list.
struct Member {
    const char* name;
    char type;  // s string, i integer, b boolean, o object, a array of objects
    const char* pattern = nullptr;  // a regular expression, or "ipv4" for that format
};
struct ObjectRule {
    const char* path;  // "" for the document, "content", "content.cpus[]" for the items of a list
    std::vector<const char*> required;
    std::vector<Member> members;
};

const char* kDateOrDateTime =
    "^[0-9]{4}-[0-9]{2}-[0-9]{2}([ |T][0-9]{2}:[0-9]{2}:[0-9]{2}(Z|[+|-][0-9]{2}:[0-9]{2}:[0-9]{2})?)?$";

const std::vector<ObjectRule>& glpiRules() {
    static const std::vector<ObjectRule> rules = {
        {"", {"content", "deviceid"},
         {{"content", 'o'}, {"deviceid", 's'}, {"jobid", 'i'},
          {"itemtype", 's', "^(Computer|Phone|NetworkEquipment|Printer)$"}, {"partial", 'b'},
          {"action", 's', "^(injector|inventory|netdiscovery|netinventory|.*)$"}, {"tag", 's'}}},
        // The sections this program writes; the others of the format are refused by this check.
        {"content", {"versionclient"},
         {{"versionclient", 's'}, {"hardware", 'o'}, {"bios", 'o'}, {"operatingsystem", 'o'}, {"cpus", 'a'},
          {"memories", 'a'}, {"storages", 'a'}, {"drives", 'a'}, {"networks", 'a'}, {"softwares", 'a'},
          {"videos", 'a'}, {"sounds", 'a'}, {"printers", 'a'}, {"ports", 'a'}, {"usbdevices", 'a'},
          {"controllers", 'a'}, {"monitors", 'a'}, {"inputs", 'a'}}},
        {"content.hardware", {},
         {{"chassis_type", 's'}, {"datelastloggeduser", 's'}, {"defaultgateway", 's'}, {"dns", 's'},
          {"lastloggeduser", 's'}, {"memory", 'i'}, {"name", 's'}, {"swap", 'i'}, {"uuid", 's'}, {"vmsystem", 's'},
          {"workgroup", 's'}, {"type", 's'}, {"description", 's'}, {"winprodid", 's'}, {"winowner", 's'},
          {"winprodkey", 's'}, {"wincompany", 's'}, {"winlang", 's'}}},
        {"content.bios", {},
         {{"assettag", 's'}, {"bdate", 's', kDateOrDateTime}, {"bmanufacturer", 's'}, {"bversion", 's'},
          {"mmanufacturer", 's'}, {"mmodel", 's'}, {"msn", 's'}, {"skunumber", 's'}, {"smanufacturer", 's'},
          {"smodel", 's'}, {"ssn", 's'}, {"biosserial", 's'}, {"enclosureserial", 's'},
          {"secure_boot", 's', "^(enabled|disabled|unsupported)$"}}},
        {"content.operatingsystem", {},
         {{"arch", 's'}, {"boot_time", 's', kDateOrDateTime}, {"dns_domain", 's'}, {"fqdn", 's'}, {"full_name", 's'},
          {"hostid", 's'}, {"install_date", 's', kDateOrDateTime}, {"kernel_name", 's'}, {"kernel_version", 's'},
          {"name", 's'}, {"ssh_key", 's'}, {"service_pack", 's'}, {"timezone", 'o'}, {"version", 's'}}},
        {"content.cpus[]", {},
         {{"arch", 's', "^(mips|mips64|alpha|sparc|sparc64|m68k|i386|x86_64|powerpc|powerpc64|arm.*|aarch64)$"},
          {"core", 'i'}, {"corecount", 'i'}, {"description", 's'}, {"external_clock", 'i'}, {"familyname", 's'},
          {"familynumber", 's'}, {"id", 's'}, {"manufacturer", 's'}, {"model", 's'}, {"name", 's'}, {"serial", 's'},
          {"speed", 'i'}, {"stepping", 'i'}, {"thread", 'i'}, {"cache", 's'}}},
        {"content.memories[]", {},
         {{"capacity", 'i'}, {"caption", 's'}, {"description", 's'}, {"manufacturer", 's'}, {"memorycorrection", 's'},
          {"numslots", 'i'}, {"serialnumber", 's'}, {"model", 's'}, {"speed", 's'}, {"type", 's'}, {"formfactor", 's'},
          {"purpose", 's'}, {"removable", 's'}}},
        {"content.storages[]", {},
         {{"description", 's'}, {"disksize", 'i'}, {"firmware", 's'},
          {"interface", 's', "^(SCSI|HDC|IDE|USB|1394|SATA|SAS|ATAPI)$"}, {"manufacturer", 's'}, {"model", 's'},
          {"name", 's'}, {"scsi_coid", 's'}, {"scsi_lun", 's'}, {"scsi_unid", 's'}, {"scsi_chid", 's'}, {"serial", 's'},
          {"type", 's'}, {"wwn", 's'}, {"encrypt_name", 's'}, {"encrypt_algo", 's'}, {"encrypt_status", 's'},
          {"encrypt_type", 's'}}},
        {"content.drives[]", {},
         {{"description", 's'}, {"letter", 's'}, {"systemdrive", 'b'}, {"filesystem", 's'}, {"free", 'i'},
          {"serial", 's'}, {"total", 'i'}, {"type", 's'}, {"volumn", 's'}, {"createdate", 's'}, {"label", 's'},
          {"encrypt_name", 's'}, {"encrypt_algo", 's'}, {"encrypt_status", 's'}, {"encrypt_type", 's'}}},
        {"content.networks[]", {"description"},
         {{"description", 's'}, {"management", 'b'}, {"ipaddress", 's', "ipv4"}, {"ipaddress6", 's'}, {"ipdhcp", 's'},
          {"ipgateway", 's'}, {"ipmask", 's'}, {"ipmask6", 's'}, {"ipsubnet", 's'}, {"ipsubnet6", 's'}, {"mac", 's'},
          {"pciid", 's'}, {"pnpdeviceid", 's'}, {"speed", 's'}, {"status", 's', "^(up|down)$"},
          {"type", 's', "^(ethernet|wifi|infiniband|aggregate|alias|dialup|loopback|bridge|fibrechannel|bluetooth)$"},
          {"virtualdev", 'b'}, {"manufacturer", 's'}, {"model", 's'}, {"wwn", 's'}, {"driver", 's'}, {"firmware", 's'},
          {"pcislot", 's'}, {"mtu", 'i'}, {"slaves", 's'}, {"base", 's'}, {"wifi_ssid", 's'}, {"wifi_bssid", 's'},
          {"wifi_mode", 's'}, {"wifi_version", 's'}}},
        {"content.softwares[]", {"name"},
         {{"arch", 's'}, {"comments", 's'}, {"filesize", 'i'}, {"from", 's'}, {"guid", 's'},
          {"install_date", 's', kDateOrDateTime}, {"name", 's'}, {"publisher", 's'}, {"system_category", 's'},
          {"uninstall_string", 's'}, {"url_info_about", 's'}, {"version", 's'}, {"folder", 's'}, {"helplink", 's'},
          {"no_remove", 'b'}, {"release_type", 's'}, {"version_minor", 's'}, {"version_major", 's'},
          {"username", 's'}, {"userid", 's'}}},
        {"content.videos[]", {},
         {{"name", 's'}, {"chipset", 's'}, {"memory", 'i'}, {"resolution", 's'}, {"pcislot", 's'}}},
        {"content.sounds[]", {}, {{"caption", 's'}, {"description", 's'}, {"manufacturer", 's'}, {"name", 's'}}},
        {"content.printers[]", {"name"},
         {{"description", 's'}, {"driver", 's'}, {"name", 's'}, {"network", 'b'}, {"port", 's'},
          {"printprocessor", 's'}, {"resolution", 's'}, {"shared", 'b'}, {"status", 's'}, {"comment", 's'},
          {"errstatus", 's'}, {"servername", 's'}, {"sharename", 's'}, {"serial", 's'}}},
        {"content.ports[]", {"type"}, {{"caption", 's'}, {"description", 's'}, {"name", 's'}, {"type", 's'}}},
        {"content.usbdevices[]", {},
         {{"caption", 's'}, {"class", 's'}, {"manufacturer", 's'}, {"name", 's'}, {"productid", 's'},
          {"subclass", 's'}, {"vendorid", 's'}, {"serial", 's'}}},
        {"content.controllers[]", {},
         {{"caption", 's'}, {"driver", 's'}, {"manufacturer", 's'}, {"name", 's'}, {"pcisubsystemid", 's'},
          {"pciclass", 's'}, {"pcislot", 's'}, {"productid", 's'}, {"rev", 's'}, {"type", 's'}, {"vendorid", 's'}}},
        {"content.monitors[]", {},
         {{"base64", 's'}, {"caption", 's'}, {"description", 's'}, {"manufacturer", 's'}, {"serial", 's'},
          {"altserial", 's'}, {"port", 'i'}, {"uuencode", 's'}, {"name", 's'}, {"type", 's'}}},
        {"content.inputs[]", {},
         {{"caption", 's'}, {"description", 's'}, {"type", 's'}, {"name", 's'}, {"manufacturer", 's'},
          {"interface", 's'}, {"layout", 's'}, {"pointingtype", 's'}}},
    };
    return rules;
}

void checkObject(const json& value, const std::string& path, std::vector<std::string>& problems) {
    const ObjectRule* rule = nullptr;
    for (const auto& r : glpiRules())
        if (path == r.path) rule = &r;
    if (!rule) {
        problems.push_back(path + ": not a member of the format this check knows");
        return;
    }
    if (!value.is_object()) {
        problems.push_back(path + ": not an object");
        return;
    }
    for (const char* req : rule->required)
        if (!value.contains(req)) problems.push_back(path + ": required member " + req + " missing");
    for (const auto& [name, v] : value.items()) {
        const Member* m = nullptr;
        for (const Member& x : rule->members)
            if (name == x.name) m = &x;
        const std::string at = (path.empty() ? "" : path + ".") + name;
        if (!m) {
            problems.push_back(at + ": member not in the format");
            continue;
        }
        const bool typeOk = (m->type == 's' && v.is_string()) || (m->type == 'i' && v.is_number_integer()) ||
                            (m->type == 'b' && v.is_boolean()) || (m->type == 'o' && v.is_object()) ||
                            (m->type == 'a' && v.is_array());
        if (!typeOk) {
            problems.push_back(at + ": wrong type " + std::string(v.type_name()));
            continue;
        }
        if (m->pattern && v.is_string()) {
            const std::string s = v.get<std::string>();
            bool ok;
            if (std::string(m->pattern) == "ipv4") {
                in_addr a{};
                ok = inet_pton(AF_INET, s.c_str(), &a) == 1;
            } else {
                // Each pattern compiled once: thousands of members are checked.
                static std::map<std::string, std::regex> compiled;
                auto it = compiled.find(m->pattern);
                if (it == compiled.end()) it = compiled.emplace(m->pattern, std::regex(m->pattern)).first;
                ok = std::regex_search(s, it->second);
            }
            if (!ok) problems.push_back(at + ": \"" + s + "\" does not match " + m->pattern);
        }
        if (m->type == 'o' && name != "timezone") checkObject(v, at, problems);
        if (m->type == 'a')
            for (const auto& item : v) checkObject(item, at + "[]", problems);
    }
}

std::vector<std::string> glpiProblems(const json& doc) {
    std::vector<std::string> problems;
    checkObject(doc, "", problems);
    return problems;
}

TEST(GlpiCheck, RefusesWhatTheFormatRefuses) {
    const json good = json::parse(R"({"deviceid": "PC1", "itemtype": "Computer", "content": {"versionclient": "x",
        "storages": [{"interface": "IDE"}], "softwares": [{"name": "a", "install_date": "2020-01-02"}]}})");
    ASSERT_TRUE(glpiProblems(good).empty());
    struct Case {
        const char* patch;  // a JSON merge patch applied to the good document
        const char* expected;
    } cases[] = {
        {R"({"itemtype": "Laptop"})", "itemtype"},
        {R"({"deviceid": null})", "required member deviceid"},
        {R"({"content": {"versionclient": null}})", "required member versionclient"},
        {R"({"query": "INVENTORY"})", "query: member not in the format"},
        {R"({"content": {"storages": [{"interface": "ide"}]}})", "interface"},
        {R"({"content": {"softwares": [{"name": "a", "install_date": "02/01/2020"}]}})", "install_date"},
        {R"({"content": {"softwares": [{"version": "1"}]}})", "required member name"},
        {R"({"content": {"hardware": {"memory": "512"}}})", "wrong type"},
        {R"({"content": {"networks": [{"description": "x", "ipaddress": "10.0.0.300"}]}})", "ipaddress"},
    };
    for (const Case& c : cases) {
        json doc = good;
        doc.merge_patch(json::parse(c.patch));
        const auto problems = glpiProblems(doc);
        std::string all;
        for (const auto& p : problems) all += p + "\n";
        EXPECT_NE(all.find(c.expected), std::string::npos) << c.patch << " gave:\n" << all;
    }
}

// ---- Export of the fleet database.

TEST(QvdbExport, CsvReadBackEqualsEveryTable) {
    const std::string dir = qvtest::makeTempDir();
    const std::string db = dir + "/QV.mdb";
    fs::copy_file(qvtest::fleetDatabase(), db);
    // Values that need quoting, and Unicode, next to the fleet's own rows.
    std::string error;
    ASSERT_TRUE(qvtest::execDb(db,
                               "UPDATE EnvStrings SET VarValue = 'a,\"b\"' || char(13) || char(10) || 'c' "
                               "WHERE DeviceName = 'PC0001' AND VarName = 'PATH';"
                               "UPDATE DeviceID SET Owner = 'Jürgen Groß, IT', Contact = '' WHERE DeviceName = 'PC0002';",
                               &error))
        << error;
    Result r = qvtest::qvdb({"export", "--format", "csv", "--database", db, "--out", dir + "/csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto& table : qv::database::tableList()) {
        SCOPED_TRACE(table.name);
        std::string problem;
        const auto records = parseCsv(qvtest::readFile(dir + "/csv/" + table.name + ".csv"), problem);
        ASSERT_EQ(problem, "");
        ASSERT_FALSE(records.empty());
        // The header: the columns as the database file has them.
        const auto columns = queryDb(db, std::string("SELECT name FROM pragma_table_info('") + table.name + "')");
        ASSERT_EQ(records[0].size(), columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) EXPECT_EQ(records[0][i], columns[i][0]);
        const char* kNull = "\x01null\x01";
        const auto rows = queryDb(db,
                                  std::string("SELECT * FROM ") + qv::database::quoted(table.name) +
                                      (table.primaryKey ? " ORDER BY InvDateTime, DomainWorkGrp, DeviceName" : " ORDER BY rowid"),
                                  kNull);
        ASSERT_EQ(records.size() - 1, rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const Field expected = rows[r][c] == kNull ? Field() : Field(rows[r][c]);
                ASSERT_EQ(records[r + 1][c], expected) << "row " << r << " column " << columns[c][0];
            }
    }
    EXPECT_NE(qvtest::readFile(dir + "/csv/EnvStrings.csv").find("\"a,\"\"b\"\"\r\nc\""), std::string::npos);
}

TEST(QvdbExport, GlpiDocumentsFollowTheFormatAndTheDatabase) {
    const std::string dir = qvtest::makeTempDir();
    const std::string db = qvtest::fleetDatabase();
    Result latest = qvtest::qvdb({"export", "--format", "glpi", "--database", db, "--out", dir + "/latest"});
    ASSERT_EQ(latest.status, 0) << latest.err;
    Result all = qvtest::qvdb({"export", "--format", "glpi", "--all", "--database", db, "--out", dir + "/all"});
    ASSERT_EQ(all.status, 0) << all.err;

    const auto computers = queryDb(db,
                                   "SELECT DeviceName, DomainWorkGrp, max(InvDateTime), count(*) FROM DeviceID "
                                   "GROUP BY DeviceName, DomainWorkGrp ORDER BY DeviceName");
    std::size_t files = 0, allFiles = 0;
    for (const auto& e : fs::directory_iterator(dir + "/latest")) files += e.path().extension() == ".json";
    for (const auto& e : fs::directory_iterator(dir + "/all")) allFiles += e.path().extension() == ".json";
    EXPECT_EQ(files, computers.size());
    EXPECT_EQ(std::to_string(allFiles), queryDb(db, "SELECT count(*) FROM DeviceID")[0][0]);

    std::set<std::string> deviceIds;
    for (const auto& c : computers) {
        SCOPED_TRACE(c[0]);
        const json doc = json::parse(qvtest::readFile(dir + "/latest/" + c[0] + ".json"));
        const auto problems = glpiProblems(doc);
        EXPECT_TRUE(problems.empty()) << problems.front();
        deviceIds.insert(doc["deviceid"].get<std::string>());
        EXPECT_EQ(doc["itemtype"], "Computer");
        const json& content = doc["content"];
        for (const char* section : {"hardware", "bios", "operatingsystem", "cpus", "memories", "storages", "drives",
                                    "networks", "softwares", "videos", "sounds"})
            EXPECT_TRUE(content.contains(section)) << section;
        // Values against the latest inventory's rows.
        const std::string key = "InvDateTime = '" + c[2] + "' AND DeviceName = '" + c[0] + "'";
        const double ram = std::stod(queryDb(db, "SELECT \"TotalRAM(Bytes)\" FROM DeviceID WHERE " + key)[0][0]);
        EXPECT_EQ(content["hardware"]["memory"], static_cast<long long>(ram / 1048576));
        EXPECT_EQ(content["hardware"]["workgroup"], c[1]);
        std::multiset<std::string> names, expected;
        for (const auto& s : content["softwares"]) names.insert(s["name"].get<std::string>());
        for (const auto& row : queryDb(db, "SELECT Name FROM RegSoftwarePackages WHERE " + key)) expected.insert(row[0]);
        EXPECT_EQ(names, expected);
        const auto drives = queryDb(db, "SELECT Name, FreeSpace FROM LogicalDrives WHERE " + key + " ORDER BY rowid");
        ASSERT_EQ(content["drives"].size(), drives.size());
        for (std::size_t i = 0; i < drives.size(); ++i) {
            EXPECT_EQ(content["drives"][i]["letter"], drives[i][0]);
            EXPECT_EQ(content["drives"][i]["free"], static_cast<long long>(std::stod(drives[i][1]) / 1048576));
        }
        EXPECT_EQ(content["operatingsystem"]["install_date"], "2005-03-14 10:15:00");
        EXPECT_EQ(content["storages"][0]["interface"], "IDE");
        // The same device id in every inventory of the computer.
        int seen = 0;
        for (const auto& e : fs::directory_iterator(dir + "/all"))
            if (e.path().filename().string().starts_with(c[0] + "-")) {
                const json old = json::parse(qvtest::readFile(e.path().string()));
                EXPECT_TRUE(glpiProblems(old).empty());
                EXPECT_EQ(old["deviceid"], doc["deviceid"]);
                ++seen;
            }
        EXPECT_EQ(std::to_string(seen), c[3]);
    }
    EXPECT_EQ(deviceIds.size(), computers.size());
}

// ---- Bad input: a clear message, a non-zero status, nothing left as if written.

// A new database file made of `sql`.
bool createDb(const std::string& path, const std::string& sql, std::string& error) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) error = sqlite3_errmsg(db);
    sqlite3_close(db);
    return ok;
}

TEST(QvdbBadInput, RefusedWithAMessageAndNothingWritten) {
    const std::string dir = qvtest::makeTempDir();
    const std::string good = dir + "/good.mdb";
    fs::copy_file(qvtest::fleetDatabase(), good);
    qvtest::writeFile(dir + "/empty.mdb", "");
    qvtest::writeFile(dir + "/text.mdb", "Computer,Owner\r\nPC1,me\r\n");
    qvtest::writeFile(dir + "/a-file", "x");
    std::string error;
    ASSERT_TRUE(createDb(dir + "/other.mdb", "CREATE TABLE Customers (Name TEXT)", error)) << error;
    std::string schema;
    for (const auto& t : qv::database::tableList())
        for (const auto& s : qv::database::sqlite::createTableSql(t)) schema += s + ";";
    ASSERT_TRUE(createDb(dir + "/no-rows.mdb", schema, error)) << error;
    fs::copy_file(good, dir + "/partial.mdb");
    ASSERT_TRUE(qvtest::execDb(dir + "/partial.mdb", "DROP TABLE RegSoftwareAppl", &error)) << error;
    fs::copy_file(good, dir + "/locked.mdb");
    // A folder of the user's own: never replaced by an output.
    fs::create_directory(dir + "/documents");
    qvtest::writeFile(dir + "/documents/QVPC0001.txt", "a report");

    struct Case {
        const char* name;
        std::vector<std::string> args;  // after the subcommand; $ stands for the folder
        int status;
        const char* message;
    } cases[] = {
        {"missing file", {"--database", "$/none.mdb"}, 1, "none.mdb does not exist"},
        {"empty file", {"--database", "$/empty.mdb"}, 1, "is empty"},
        {"text file", {"--database", "$/text.mdb"}, 1, "is not an inventory database"},
        {"another database", {"--database", "$/other.mdb"}, 1, "is not an inventory database (it has no table DeviceID)"},
        {"table missing", {"--database", "$/partial.mdb"}, 1, "has no table RegSoftwareAppl"},
        {"no inventory", {"--database", "$/no-rows.mdb"}, 1, "holds no inventory yet"},
        {"locked", {"--database", "$/locked.mdb"}, 1, "is locked by another program"},
        {"output under a file", {"--database", "$/good.mdb", "--out", "$/a-file/out"}, 1, "cannot"},
        {"output is a file", {"--database", "$/good.mdb", "--out", "$/a-file"}, 1, "is not a folder"},
        {"output holds other files", {"--database", "$/good.mdb", "--out", "$/documents"}, 1, "will not replace"},
        {"unknown option", {"--database", "$/good.mdb", "--colour"}, 2, "unknown argument \"--colour\""},
        {"option without value", {"--database"}, 2, "--database needs a value"},
    };
    // Another program holds the write lock of locked.mdb for the whole test.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "/locked.mdb").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    for (const char* command : {"report", "export"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(command) + ": " + c.name);
            const std::string out = dir + "/out-" + command;
            qvtest::writeFile(dir + "/marker", "");
            std::vector<std::string> args = {command};
            if (std::string(command) == "export") args.insert(args.end(), {"--format", "glpi"});
            bool hasOut = false;
            for (std::string a : c.args) {
                if (auto at = a.find('$'); at != std::string::npos) a.replace(at, 1, dir);
                hasOut = hasOut || a == "--out";
                args.push_back(a);
            }
            if (!hasOut) args.insert(args.end(), {"--out", out});
            Result r = qvtest::qvdb(args);
            EXPECT_EQ(r.status, c.status);
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
            EXPECT_FALSE(fs::exists(out));
            EXPECT_EQ(qvtest::readFile(dir + "/documents/QVPC0001.txt"), "a report");
            // No hidden folder left beside the output either.
            for (const auto& e : fs::directory_iterator(dir))
                EXPECT_FALSE(e.path().filename().string().starts_with(".out-")) << e.path();
        }
    }
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
}

TEST(QvdbBadInput, AFailedRunLeavesTheEarlierOutputWhole) {
    const std::string dir = qvtest::makeTempDir();
    const std::string db = dir + "/QV.mdb";
    fs::copy_file(qvtest::fleetDatabase(), db);
    Result first = qvtest::qvdb({"export", "--format", "csv", "--database", db, "--out", dir + "/csv"});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string before = qvtest::readFile(dir + "/csv/DeviceID.csv");
    // The next export is refused: a table it reads has gone.
    std::string error;
    ASSERT_TRUE(qvtest::execDb(db, "DELETE FROM DeviceID WHERE DeviceName = 'PC0001'; DROP TABLE Drivers", &error, false))
        << error;
    Result second = qvtest::qvdb({"export", "--format", "csv", "--database", db, "--out", dir + "/csv"});
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(qvtest::readFile(dir + "/csv/DeviceID.csv"), before);
    EXPECT_EQ(fs::exists(dir + "/csv/Drivers.csv"), true);
    // A run that succeeds replaces the earlier output whole: a file left there goes with it.
    qvtest::writeFile(dir + "/csv/left-over.txt", "x");
    Result third = qvtest::qvdb({"export", "--format", "csv", "--database", qvtest::fleetDatabase(), "--out", dir + "/csv"});
    ASSERT_EQ(third.status, 0) << third.err;
    EXPECT_EQ(qvtest::readFile(dir + "/csv/DeviceID.csv"), before);
    EXPECT_FALSE(fs::exists(dir + "/csv/left-over.txt"));
    std::size_t beside = 0;
    for (const auto& e : fs::directory_iterator(dir)) beside += e.path().filename().string().starts_with(".csv");
    EXPECT_EQ(beside, 0u) << "no hidden work folder left beside the output";
}

}  // namespace

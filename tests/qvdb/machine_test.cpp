// One machine counted once: hardware identities case by case, and a fleet with an alias, a cloned
// virtual machine and placeholder UUIDs through the report, the GLPI export and machines.csv.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include <nlohmann/json.hpp>

#include "qvdb/machine_identity.h"
#include "tests/qvdb/qvdb_support.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

namespace {

using namespace qv::qvdb;

const char* const kUuid = "4C4C4544-0031-1045-8052-B4C04F4B1001";
const char* const kPlaceholder = "03000200-0400-0500-0006-000700080009";

// Each case: the computers' facts, the machine each is (as letters in order of appearance), and
// what each is known by.
TEST(MachineIdentity, ComputersJoinedByTheirHardware) {
    struct Case {
        const char* what;
        std::vector<HardwareFacts> computers;
        const char* machines;
        std::vector<const char*> by;
    } cases[] = {
        {"renamed: same UUID, same adapter",
         {{kUuid, "SN1", "Dell", "", {"00:11:22:33:44:55"}}, {kUuid, "SN1", "Dell", "", {"00:11:22:33:44:55"}}},
         "AA", {"uuid", "uuid"}},
        {"UUID written in lower case and braces, adapter with dashes",
         {{kUuid, "", "", "", {"00:11:22:33:44:55"}},
          {"{4c4c4544-0031-1045-8052-b4c04f4b1001}", "", "", "", {"00-11-22-33-44-55", "00:11:22:33:44:66"}}},
         "AA", {"uuid", "uuid"}},
        {"cloned virtual machine: same UUID and serial, new adapters",
         {{kUuid, "VMware-42 1a", "VMware", "", {"00:50:56:00:00:01"}},
          {kUuid, "VMware-42 1a", "VMware", "", {"00:50:56:00:00:02"}},
          {kUuid, "VMware-42 1a", "VMware", "", {"00:50:56:00:00:01", "00:50:56:00:00:03"}}},
         "ABA", {"uuid", "uuid", "uuid"}},
        {"same UUID, one without adapters",
         {{kUuid, "", "", "", {}}, {kUuid, "", "", "", {"00:11:22:33:44:55"}}}, "AA", {"uuid", "uuid"}},
        {"placeholder UUID: told apart by serial",
         {{kPlaceholder, "SN1", "Acme X1", "", {"00:11:22:33:44:55"}},
          {kPlaceholder, "SN2", "Acme X1", "", {"00:11:22:33:44:66"}},
          {kPlaceholder, "SN1", "Acme X1", "", {"00:11:22:33:44:55"}}},
         "ABA", {"serial", "serial", "serial"}},
        {"all-F and all-0 UUIDs and a placeholder serial: told apart by adapters",
         {{"FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF", "To be filled by O.E.M.", "Board", "", {"00:11:22:33:44:55"}},
          {"00000000-0000-0000-0000-000000000000", "To be filled by O.E.M.", "Board", "", {"00:11:22:33:44:66"}},
          {"", "Default string", "Board", "", {"00:11:22:33:44:55"}}},
         "ABA", {"mac", "mac", "mac"}},
        {"same serial, other model: two machines",
         {{"", "SN1", "Acme X1", "", {}}, {"", "SN1", "Acme X2", "", {}}}, "AB", {"serial", "serial"}},
        {"Linux machine-id when the UUID is unreadable",
         {{"", "", "", "0123456789abcdef0123456789abcdef", {"00:11:22:33:44:55"}},
          {"", "", "", "0123456789ABCDEF0123456789ABCDEF", {"00:11:22:33:44:55"}},
          {"", "", "", "fedcba9876543210fedcba9876543210", {"00:11:22:33:44:55"}}},
         "AAB", {"machine-id", "machine-id", "machine-id"}},
        {"nothing but shared or empty adapter addresses: only names",
         {{"", "", "", "", {"00:00:00:00:00:00", "20:41:53:59:4E:FF"}},
          {"", "", "", "", {"00:00:00:00:00:00", "20:41:53:59:4E:FF"}},
          {"Not Settable", "0", "", "", {"01:00:5E:00:00:01"}}},
         "ABC", {"name", "name", "name"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto machine = machinesOf(c.computers);
        ASSERT_EQ(machine.size(), c.computers.size());
        std::string letters;
        for (std::size_t m : machine) letters += static_cast<char>('A' + m);
        EXPECT_EQ(letters, c.machines);
        for (std::size_t i = 0; i < c.computers.size(); ++i) EXPECT_EQ(machineKeyOf(c.computers[i]).by, c.by[i]) << i;
    }
}

// The fleet with PC0003 an alias of PC0002 (its hardware), PC0004 a clone of PC0002 (its UUID,
// its own adapter) and PC0005, PC0006 with a placeholder UUID and their own serials.
TEST(MachineIdentity, OneMachineInTheReportAndTheExports) {
    namespace fs = std::filesystem;
    const std::string dir = qvtest::makeTempDir(), db = dir + "/QV.mdb";
    fs::copy_file(qvtest::fleetDatabase(), db);
    const std::string uuidOf2 = "(SELECT UUID FROM DeviceID WHERE DeviceName = 'PC0002' LIMIT 1)";
    const std::string macOf2 = "(SELECT MACAddress FROM NetworkAdapters WHERE DeviceName = 'PC0002' ORDER BY InvDateTime DESC LIMIT 1)";
    std::string error;
    ASSERT_TRUE(qvtest::execDb(db,
                               "UPDATE DeviceID SET UUID = " + uuidOf2 + " WHERE DeviceName IN ('PC0003', 'PC0004');"
                               "UPDATE NetworkAdapters SET MACAddress = " + macOf2 + " WHERE DeviceName = 'PC0003';"
                               "UPDATE TCP_IP SET MACAddress = " + macOf2 + " WHERE DeviceName = 'PC0003';"
                               "UPDATE DeviceID SET UUID = '" + kPlaceholder + "' WHERE DeviceName IN ('PC0005', 'PC0006');",
                               &error))
        << error;
    const long computers = std::stol(qvtest::queryValue(db, "SELECT count(DISTINCT DeviceName) FROM DeviceID"));

    qvtest::Result r = qvtest::qvdb({"report", "--database", db, "--out", dir + "/site"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string index = qvtest::readFile(dir + "/site/index.html");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(index, m, std::regex("id=\"n-computers\">([0-9,]+)<")));
    EXPECT_EQ(std::stol(std::regex_replace(std::string(m[1]), std::regex(","), "")), computers - 1);
    const std::string list = qvtest::readFile(dir + "/site/computers.html");

    EXPECT_EQ(std::regex_search(list, std::regex("also PC000[^2]")), false);

    r = qvtest::qvdb({"export", "--format", "glpi", "--all", "--database", db, "--out", dir + "/glpi"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::set<std::string>> idsOf;  // computer -> deviceids of its documents
    for (const auto& e : fs::directory_iterator(dir + "/glpi")) {
        if (e.path().extension() != ".json") continue;
        const auto doc = nlohmann::json::parse(qvtest::readFile(e.path().string()));
        idsOf[doc["content"]["hardware"]["name"].get<std::string>()].insert(doc["deviceid"].get<std::string>());
    }
    ASSERT_EQ(idsOf["PC0002"].size(), 1u);
    EXPECT_EQ(idsOf["PC0003"], idsOf["PC0002"]);
    for (const char* other : {"PC0004", "PC0005", "PC0006"}) {
        ASSERT_EQ(idsOf[other].size(), 1u) << other;
        EXPECT_NE(idsOf[other], idsOf["PC0002"]) << other;
    }
    EXPECT_NE(idsOf["PC0005"], idsOf["PC0006"]);

    r = qvtest::qvdb({"export", "--format", "csv", "--database", db, "--out", dir + "/csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string machines = qvtest::readFile(dir + "/csv/machines.csv");
    const std::string id = *idsOf["PC0002"].begin();
    EXPECT_NE(machines.find(id + ",PC0002,"), std::string::npos) << machines.substr(0, 400);
    EXPECT_NE(machines.find(id + ",PC0003,"), std::string::npos) << machines.substr(0, 400);
    EXPECT_EQ(machines.find(id + ",PC0004,"), std::string::npos);
    EXPECT_NE(machines.find(",PC0005,"), std::string::npos);
    EXPECT_NE(machines.find(",serial,"), std::string::npos);
}

}  // namespace

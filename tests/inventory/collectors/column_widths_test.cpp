// The column declarations against the collectors: over-long texts in every property a column is
// declared to copy are stored cut to exactly the column's width, and shown cut where shown as stored.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "database/schema.h"
#include "inventory/values.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using json = nlohmann::ordered_json;

namespace {

// The instance a table's rows come from, and what it needs besides the long texts to be listed
// (fixed members replace long texts of the same name).
struct Source {
    const char* table;
    const char* wmiClass;
    json fixed;
};

// A text longer than every column, unique to its class and property, with a blank before it and
// none inside; "Kernel" lets a service's type list it among the kernel drivers.
std::string longText(const std::string& wmiClass, const std::string& property) {
    std::string text = " " + wmiClass + "." + property + "-Kernel-";
    while (text.size() < 300) text += "0123456789";
    return text;
}

const std::string kLongServer = "10.0.0.2-and-too-long";
const char* const kAdapterClass = "Win32_NetworkAdapterConfiguration";

const std::vector<Source>& sources() {
    static const std::vector<Source> list = {
        {"DeviceID", "Win32_ComputerSystem", json::object()},
        {"DeviceID", "Win32_ComputerSystemProduct", json::object()},
        {"OSData", "Win32_OperatingSystem", {{"Name", longText("Win32_OperatingSystem", "Name") + "|C:\\WINDOWS"}}},
        {"BIOS", "Win32_BIOS",
         {{"SMBIOSBIOSVersion", longText("Win32_BIOS", "SMBIOSBIOSVersion")},
          {"SMBIOSMajorVersion", 2},
          {"SMBIOSMinorVersion", 3}}},
        {"CPU", "Win32_Processor", json::object()},
        {"RAM", "Win32_PhysicalMemory", json::object()},
        {"BaseBoard", "Win32_BaseBoard", json::object()},
        {"Chassis", "Win32_SystemEnclosure", json::object()},
        {"LogicalDrives", "Win32_LogicalDisk", json::object()},
        {"HardDisk", "Win32_DiskDrive", json::object()},
        {"CD_DVD", "Win32_CDROMDrive", json::object()},
        {"TapeDrive", "Win32_TapeDrive", json::object()},
        {"PointDevice", "Win32_PointingDevice", json::object()},
        {"Keyboard", "Win32_Keyboard", json::object()},
        {"PortCon", "Win32_PortConnector", {{"PortType", 3}}},
        {"SerialPorts", "Win32_SerialPort", json::object()},
        {"ParallelPorts", "Win32_ParallelPort", json::object()},
        {"USB", "Win32_USBController", json::object()},
        {"SCSI", "Win32_SCSIController", json::object()},
        {"Modem", "Win32_POTSModem", json::object()},
        {"Audio", "Win32_SoundDevice", json::object()},
        {"Monitor", "Win32_DesktopMonitor", json::object()},
        {"VideoAdapter", "Win32_VideoController", json::object()},
        {"Printers", "Win32_Printer", json::object()},
        {"TCP_IP", kAdapterClass,
         {{"IPEnabled", true}, {"IPXEnabled", true}, {"DNSServerSearchOrder", json::array({"10.0.0.1", kLongServer})}}},
        {"DNSSearchServers", kAdapterClass, json::object()},
        {"IPX_SPX", kAdapterClass, json::object()},
        {"NetworkProtocols", "Win32_NetworkProtocol", json::object()},
        {"NetworkAdapters", "Win32_NetworkAdapter", json::object()},
        {"SharedRes", "Win32_Share", {{"Type", 0}}},
        {"Drivers", "Win32_BaseService", {{"State", "Running"}}},
    };
    return list;
}

// Columns made from their property that keep its text's first characters, as a copy does.
const std::set<std::string> kMadeAsCopied = {"OSData.OSName", "BIOS.SMBIOSVersion"};
// Columns whose report line shows the value as stored, not as returned.
const std::set<std::string> kShownAsStored = {
    "OSData.OSName",         "OSData.CSDVersion",   "BIOS.SMBIOSVersion",         "CPU.CPUID",
    "CPU.CPUName",           "IPX_SPX.CardName",    "IPX_SPX.MACAddress",         "IPX_SPX.IPXAddress",
    "IPX_SPX.IPXNetworkNumber", "IPX_SPX.IPXVirtualNetNumber", "NetworkProtocols.Description"};

// A text column copied from its property (numbers and flags are copied in their own forms).
bool copiedText(const qv::database::Column& c) { return c.copied && c.type == qv::database::ColumnType::VarWChar; }

}  // namespace

TEST(ColumnDeclarations, OverLongTextsAreStoredCutToTheirColumnWidth) {
    using qv::database::Column;
    using qv::database::TableDef;
    std::map<std::string, std::vector<std::string>> sourced;  // table, its classes
    json classes = json::object();
    for (const Source& s : sources()) {
        const TableDef* table = qv::database::findTable(s.table);
        ASSERT_NE(table, nullptr) << s.table;
        sourced[s.table].push_back(s.wmiClass);
        json& instance = classes[s.wmiClass];
        if (instance.is_null()) instance = json::array({json::object()});
        for (const Column& c : table->columns)
            if (copiedText(c)) instance[0][c.property] = longText(s.wmiClass, c.property);
        for (const auto& [name, value] : s.fixed.items()) instance[0][name] = value;
    }
    // Every table with a copied column is walked here.
    for (const TableDef& table : qv::database::tableList())
        for (const Column& c : table.columns) {
            if (c.copied) {
                EXPECT_TRUE(c.property) << table.name << "." << c.name;
            }
            if (copiedText(c)) {
                EXPECT_TRUE(sourced.count(table.name)) << table.name << "." << c.name;
            }
        }

    const qvtest::SimResult r =
        qvtest::runSim(qvtest::standardFixture("\"wmi\": " + json({{"WS01", {{"classes", classes}}}}).dump()), {});
    const std::string db = r.dir + "/docs/QV.mdb", report = r.file("docs/QVWS01.txt"), log = r.file("docs/QV.log");
    EXPECT_EQ(log.find("not written to QV.mdb"), std::string::npos) << log;

    for (const auto& [tableName, wmiClasses] : sourced) {
        for (const Column& c : qv::database::findTable(tableName)->columns) {
            const std::string name = tableName + "." + c.name;
            if (!copiedText(c) && !kMadeAsCopied.count(name)) continue;
            // The property's text trimmed and cut to the column, from the table's class that has it.
            std::set<std::string> cut;
            for (const std::string& wmiClass : wmiClasses)
                cut.insert(qv::inventory::firstCharacters(qv::inventory::trimBlanks(longText(wmiClass, c.property)),
                                                          static_cast<std::size_t>(c.size)));
            const std::vector<std::string> stored = qvtest::queryJoined(
                db, "SELECT " + qv::database::quoted(c.name) + " FROM " + qv::database::quoted(tableName));
            ASSERT_FALSE(stored.empty()) << name;
            for (const std::string& value : stored) EXPECT_TRUE(cut.count(value)) << name << " = " << value;
            if (kShownAsStored.count(name)) {
                EXPECT_NE(report.find(": " + stored.front() + "\r\n"), std::string::npos) << name;
            }
        }
    }

    // The search server entry too long for its column: stored and logged cut to it, with the card
    // name as stored.
    const std::size_t serverWidth = qv::database::columnWidth("DNSSearchServers", "DNSServer");
    EXPECT_EQ(qvtest::queryJoined(db, "SELECT SearchOrder, DNSServer FROM DNSSearchServers ORDER BY rowid"),
              (std::vector<std::string>{"1|10.0.0.1", "2|" + kLongServer.substr(0, serverWidth)}));
    EXPECT_NE(log.find("  Truncated Value: " + kLongServer.substr(0, serverWidth) + "\r\n  NIC: " +
                       qv::inventory::firstCharacters(qv::inventory::trimBlanks(longText(kAdapterClass, "Caption")),
                                                      qv::database::columnWidth("TCP_IP", "CardName")) +
                       "\r\n"),
              std::string::npos)
        << log;
}

// QV.exe inventories the computer Wine simulates: every collector's section, values that agree
// with what Wine's own wmic reads, the database rows, and a computer that cannot be reached.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <sstream>

#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"
#include "tests/wine/wine_run.h"

using namespace qvtest;

namespace {

// The sections of a report, in the order the collectors write them.
const char* const kSections[] = {
    "Computer System Information", "Operating System Data", "Operating System", "System Services",
    "OS Environment Settings", "Logical Disk Drives", "Hardware Inventory", "BIOS", "CPU", "RAM", "Chassis",
    "Motherboard", "Hard Disk Detail", "Optical Drive Detail", "Tape Drive Detail", "Pointing Device", "Keyboard",
    "Port Connections", "Serial Ports", "Parallel Ports", "USB", "SCSI Devices", "Modem Devices", "Audio Devices",
    "Video Devices", "Video Adapter Settings", "Installed Printers", "Network Information", "TCP/IP Adapters",
    "IPX/SPX Adapters", "Network Services", "Protocols", "Shared Resources", "Software Information",
    "Base System Drivers", "Registered Software Packages", "Registered Applications",
};
const std::string kUnavailable = "Err#-2147023174 The RPC server is unavailable. ";

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

}  // namespace

class WineInventory : public ::testing::Test {
protected:
    // One prefix: the local inventory (timed), then a run naming an unknown computer and this one.
    static void SetUpTestSuite() {
        prefix_ = new WinePrefix;
        computer_ = wmic("Win32_ComputerSystem", "Name").at(0);
        std::transform(computer_.begin(), computer_.end(), computer_.begin(), ::toupper);
        const std::string tool = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvTool";
        prefix_->regAdd(tool, "DisplayName", "REG_SZ", "Quorvex Test Tool");
        prefix_->regAdd(tool, "DisplayVersion", "REG_SZ", "1.0");
        // A 32-bit program's entry (the 32-bit view) and a per-user install.
        prefix_->regAdd("HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvTool32",
                        "DisplayName", "REG_SZ", "Quorvex 32-bit Tool");
        prefix_->regAdd("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvUserTool", "DisplayName",
                        "REG_SZ", "Quorvex User Tool");
        auto start = std::chrono::steady_clock::now();
        localRun_ = prefix_->runQv({});
        localSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        report_ = crlfLines(readFile(prefix_->documents() + "/QV" + computer_ + ".txt"));
        remoteRun_ = prefix_->runQv({"NOSUCHPC", computer_});
    }
    static void TearDownTestSuite() { delete prefix_; }
    void SetUp() override {
        if (localRun_.out.find("Program unable to establish a Working Directory") != std::string::npos)
            GTEST_SKIP() << "QV.exe finds no working directory in this build";
    }

    // The values of one property of every instance as wmic shows them (UTF-16 text, ASCII here).
    static std::vector<std::string> wmic(const std::string& alias, const std::string& property) {
        auto& known = wmicCache_[alias + "|" + property];
        if (!known.empty()) return known;
        std::string out = prefix_->run("wmic", {"path", alias, "get", property}).out, text;
        for (std::size_t i = out.rfind("\xFF\xFE", 0) == 0 ? 2 : 0; i + 1 < out.size(); i += 2) text += out[i];
        std::istringstream lines(text);
        std::string line;
        std::getline(lines, line);  // the heading
        while (std::getline(lines, line))
            if (!trim(line).empty()) known.push_back(trim(line));
        return known;
    }
    static std::string wmicOne(const std::string& alias, const std::string& property) {
        auto v = wmic(alias, property);
        return v.empty() ? "<none>" : v[0];
    }
    // True when the first report's section under **heading** holds `line`.
    static bool sectionHas(const std::string& heading, const std::string& line) {
        auto at = std::find(report_.begin(), report_.end(), "**" + heading + "**");
        for (auto it = at == report_.end() ? at : at + 1; it != report_.end() && !it->starts_with("**"); ++it)
            if (*it == line) return true;
        return false;
    }
    static std::string db(const std::string& sql) { return queryValue(prefix_->documents() + "/QV.mdb", sql); }

    static inline WinePrefix* prefix_ = nullptr;
    static inline WineResult localRun_, remoteRun_;
    static inline std::string computer_;
    static inline std::vector<std::string> report_;
    static inline double localSeconds_ = 0;
    static inline std::map<std::string, std::vector<std::string>> wmicCache_;
};

TEST_F(WineInventory, LocalRunWritesEverySectionWithTheValuesWmicReads) {
    RecordProperty("LocalInventorySeconds", std::to_string(localSeconds_));
    std::cout << "Local inventory under Wine: " << localSeconds_ << " s wall\n";
    EXPECT_LT(localSeconds_, 20.0);
    EXPECT_EQ(localRun_.exitCode, 0);
    for (const std::string& line : {"Connected to " + computer_, std::string("     OS part complete"),
                                    std::string("     Software part complete")})
        EXPECT_NE(localRun_.out.find(line + "\r\n"), std::string::npos) << line << "\n" << localRun_.out;
    auto at = report_.begin();
    for (const char* heading : kSections) {
        at = std::find(at, report_.end(), "**" + std::string(heading) + "**");
        ASSERT_NE(at, report_.end()) << heading << " missing or out of order";
    }
    const std::pair<const char*, std::string> lines[] = {
        {"Computer System Information", "       Manufacturer: " + wmicOne("Win32_ComputerSystem", "Manufacturer")},
        {"Computer System Information", "              Model: " + wmicOne("Win32_ComputerSystem", "Model")},
        {"BIOS", "       Manufacturer: " + wmicOne("Win32_BIOS", "Manufacturer")},
        {"BIOS", "       SerialNumber: " + wmicOne("Win32_BIOS", "SerialNumber")},
        {"BIOS", "        ReleaseDate: " + wmicOne("Win32_BIOS", "ReleaseDate")},
        {"CPU", "               Name: " + wmicOne("Win32_Processor", "Name")},
        {"CPU", "      MaxClockSpeed: " + wmicOne("Win32_Processor", "MaxClockSpeed") + " MHz"},
        {"Operating System", "               Name: " + wmicOne("Win32_OperatingSystem", "Caption")},
        {"Operating System", "            Version: " + wmicOne("Win32_OperatingSystem", "Version")},
    };
    // Wine lacks the services' base class: it is reported as a class that cannot be read, both
    // counts 0 and the three service lines present, although Wine lists services of its own.
    EXPECT_FALSE(wmic("Win32_Service", "Name").empty());
    EXPECT_TRUE(sectionHas("System Services", "      0 Service(s) Found"));
    EXPECT_TRUE(sectionHas("System Services", "      0 Running Service(s)"));
    auto running = std::find(report_.begin(), report_.end(), "      0 Running Service(s)");
    ASSERT_NE(running, report_.end());
    ASSERT_NE(running + 1, report_.end());
    EXPECT_EQ(running[1], "**Only Running Services are written to database.**");
    // The uninstall entry written before the run, read through the registry provider.
    EXPECT_TRUE(sectionHas("Registered Software Packages", "               Name: Quorvex Test Tool"));
    EXPECT_TRUE(sectionHas("Registered Software Packages", "            Version: 1.0"));
    EXPECT_TRUE(sectionHas("Registered Software Packages", "               Name: Quorvex 32-bit Tool"));
    EXPECT_TRUE(sectionHas("Registered Software Packages", "               Name: Quorvex User Tool"));
    for (const auto& [heading, line] : lines) EXPECT_TRUE(sectionHas(heading, line)) << heading << ": " << line;
    ASSERT_FALSE(wmic("Win32_LogicalDisk", "Name").empty());
    for (const std::string& disk : wmic("Win32_LogicalDisk", "Name"))
        EXPECT_TRUE(sectionHas("Logical Disk Drives", "               Name: " + disk)) << disk;
}

TEST_F(WineInventory, DatabaseHoldsTheRowsOfBothRunsAndNoneOfTheFailedComputer) {
    const std::string where = " where DeviceName = '" + computer_ + "'";
    // One master row per run start time. Two runs within the same second have the same key: the
    // second then writes none of its rows (never rows hung on the first run's inventory) and says so.
    const std::string runs = db("select count(*) from DeviceID" + where);
    ASSERT_TRUE(runs == "1" || runs == "2") << runs;
    const int stored = std::stoi(runs);
    if (stored == 1) {
        EXPECT_NE(remoteRun_.out.find(computer_ + " Rows not written to QV.mdb: an inventory of " + computer_ +
                                      " with this run's start time is already stored\r\n"),
                  std::string::npos)
            << remoteRun_.out;
    }
    EXPECT_EQ(db("select count(distinct InvDateTime) from LogicalDrives" + where), runs);
    EXPECT_EQ(db("select count(*) from DeviceID where DeviceName = 'NOSUCHPC'"), "0");
    EXPECT_EQ(db("select min(Manufacturer) from DeviceID" + where), wmicOne("Win32_ComputerSystem", "Manufacturer"));
    EXPECT_EQ(db("select min(CPUName) from CPU" + where), wmicOne("Win32_Processor", "Name"));
    EXPECT_EQ(db("select count(*) from LogicalDrives" + where), std::to_string(stored * wmic("Win32_LogicalDisk", "Name").size()));
    EXPECT_EQ(db("select count(*) from TapeDrive" + where), runs);  // each stored run's empty row
    for (const char* name : {"Quorvex Test Tool", "Quorvex 32-bit Tool", "Quorvex User Tool"})
        EXPECT_EQ(db("select count(*) from RegSoftwarePackages" + where + " and Name = '" + name + "'"), runs) << name;
}

TEST_F(WineInventory, UnreachableComputerFailsAtTheProbeAndTheRunGoesOn) {
    EXPECT_EQ(remoteRun_.exitCode, 1);  // a computer was not inventoried
    EXPECT_NE(remoteRun_.out.find("Failed to connect to NOSUCHPC " + kUnavailable + "\r\n"), std::string::npos)
        << remoteRun_.out;
    EXPECT_NE(remoteRun_.out.find("Connected to " + computer_ + "\r\n"), std::string::npos) << remoteRun_.out;
    const std::string log = readFile(prefix_->documents() + "/QV.log");
    EXPECT_NE(log.find("\r\nNOSUCHPC Failed WMI Connection " + kUnavailable + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("**Normal End ", log.find("NOSUCHPC")), std::string::npos) << log;
    EXPECT_FALSE(readFile(prefix_->documents() + "/QVNOSUCHPC.txt").size());
    const std::string report = readFile(prefix_->documents() + "/QV" + computer_ + ".txt");
    EXPECT_NE(report.find("Computer Details", report.find("Computer Details") + 1), std::string::npos);
}

TEST_F(WineInventory, SeveralComputersAtOnceWriteWhatOneAtATimeWrites) {
    // Each run in a prefix of its own, so the other tests' row counts stay as they are, and so the
    // second run's rows are not refused as a second inventory with the first one's start time
    // (both runs may start within the same second).
    WinePrefix onePrefix, manyPrefix;
    const std::vector<std::string> names = {"NOSUCHPC", computer_, "127.0.0.2", "localhost", "NOSUCH2"};
    // The console without its start time, and the log's inventory lines of the run.
    auto shown = [&](WinePrefix& prefix, const WineResult& r) {
        std::string out = r.out;
        std::size_t started = out.find("Started:");
        if (started != std::string::npos) out.erase(started, out.find("\r\n", started) - started);
        const std::string log = readFile(prefix.documents() + "/QV.log");
        std::size_t from = log.rfind("**Inventory Activities**");
        return out + (from == std::string::npos ? std::string() : log.substr(from, log.find("**Normal End", from) - from));
    };
    const std::string one = shown(onePrefix, onePrefix.runQv(names, {"QV_PARALLEL=1"}));
    const std::string many = shown(manyPrefix, manyPrefix.runQv(names));
    EXPECT_EQ(many, one);
    EXPECT_NE(one.find(" 127.0.0.2 Inventory Completed\r\n"), std::string::npos) << one;  // an address of its own
    EXPECT_NE(one.find(" LOCALHOST Inventory Completed\r\n"), std::string::npos) << one;
    EXPECT_NE(one.find(" " + computer_ + " Inventory Completed\r\n"), std::string::npos) << one;
}

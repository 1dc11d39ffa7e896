// The worker pool through qv-sim: runs with many computers at once write the same bytes as one
// at a time (console, traces, log, reports, rows), keep the time limits, and stop at breaks.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using namespace qvtest;
using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

// A computer with rows in several tables, a package and a share; `delayMs` slows its identity
// class so that computers finish in another order than the list's.
json computer(const std::string& name, int delayMs) {
    json c = {{"classes",
               {{"Win32_ComputerSystem", {{{"Name", name}, {"Domain", "CORP"}, {"PartOfDomain", true}, {"DomainRole", 1},
                                           {"TotalPhysicalMemory", "536870912"}}}},
                {"Win32_OperatingSystem", {{{"Name", "Microsoft Windows XP Professional|C:\\WINDOWS"}, {"OSType", 18}}}},
                {"Win32_Environment", {{{"UserName", "<SYSTEM>"}, {"Name", "PATH"}, {"VariableValue", name}}}},
                {"Win32_BaseService", {{{"Name", "Dhcp"}, {"State", "Running"}}}},
                {"Win32_Share", {{{"Name", "C$"}, {"Path", "C:\\"}, {"Type", 0}}}}}},
              {"registry",
               {{"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool",
                 {{"DisplayName", {{"type", 1}, {"data", "Tool for " + name}}}}}}}};
    if (delayMs > 0) c["classDelays"] = {{"Win32_ComputerSystem", delayMs}};
    return c;
}

// Fifteen listed computers (finishing out of order; one hangs on its services, one connects past
// the limit, two do not answer the probe), one unknown name and one name twice in other case.
std::string network(const json& extra = json::object()) {
    json wmi = {{"WS01", computer("WS01", 0)}};
    for (int i = 1; i <= 12; ++i) wmi["PC" + std::to_string(100 + i)] = computer("PC" + std::to_string(100 + i), 10 * (13 - i));
    wmi["HANG1"] = computer("HANG1", 0);
    wmi["HANG1"]["hangingClasses"] = {"Win32_BaseService", "StdRegProv"};
    wmi["SLOW1"] = computer("SLOW1", 0);
    wmi["SLOW1"]["connectDelayMs"] = 5000;
    wmi["DEAD1"] = {{"unreachable", true}};
    wmi["DEAD2"] = {{"unreachable", true}};
    json fixture = json::parse(standardFixture());
    fixture["wmi"] = wmi;
    fixture["limits"] = {{"probeMs", 150}, {"connectMs", 300}, {"queryMs", 400}};
    for (auto& [key, value] : extra.items()) fixture[key] = value;
    return fixture.dump();
}

std::vector<std::string> networkArgs() {
    std::vector<std::string> args = {"DEAD1", "hang1", "NOSUCH", "SLOW1", "pc105", "PC105", "DEAD2", "WS01"};
    for (int i = 1; i <= 12; ++i) args.push_back("PC" + std::to_string(100 + i));
    return args;
}

// Everything a run wrote: console, traces, every file of the documents folder, every row.
std::string everything(const SimResult& r) {
    std::string all = "[console]\n" + r.out + "[traces]\n" + r.err;
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(r.dir + "/docs")) files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    for (const std::string& f : files)
        if (f != "QV.mdb") all += "[" + f + "]\n" + r.file("docs/" + f);
    const std::string db = r.dir + "/docs/QV.mdb";
    for (const std::string& table : queryJoined(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
        all += "[" + table + "]\n";
        for (const std::string& row : queryJoined(db, "SELECT * FROM \"" + table + "\"")) all += row + "\n";
    }
    // Each run has a folder of its own.
    for (std::size_t at = all.find(r.dir); at != std::string::npos; at = all.find(r.dir, at)) all.replace(at, r.dir.size(), "DIR");
    return all;
}

// Where two outputs part: the line number and both lines; empty when they are the same.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::istringstream ia(a), ib(b);
    std::string la, lb;
    for (int line = 1;; ++line) {
        bool ga = static_cast<bool>(std::getline(ia, la)), gb = static_cast<bool>(std::getline(ib, lb));
        if (!ga && !gb) return "";
        if (ga != gb || la != lb) return "line " + std::to_string(line) + ": [" + la + "] against [" + lb + "]";
    }
}

double secondsOf(const std::function<void()>& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(WorkerPool, ManyAtOnceWriteTheSameBytesAsOneAtATime) {
    // The network's waits one after another: the twelve slowed identity queries, two probes, one
    // connection limit, and two classes of the hanging computer at their limit.
    const double kWaits = 0.010 * (12 * 13 / 2) + 2 * 0.15 + 0.3 + 2 * 0.4;
    const json breakAtSixth = {{"ctrlEvents", {{{"duringTarget", 6}, {"type", 0}}}}};
    for (const json& extra : {json::object(), breakAtSixth}) {
        SimResult one;
        double oneSeconds = secondsOf([&] { one = runSim(network(extra), networkArgs(), "", "1"); });
        const std::string expected = everything(one);
        for (const char* parallel : {"3", static_cast<const char*>(nullptr), "256"}) {
            SimResult many;
            double seconds = secondsOf([&] { many = runSim(network(extra), networkArgs(), "", parallel); });
            EXPECT_EQ(firstDifference(everything(many), expected), "") << "QV_PARALLEL=" << (parallel ? parallel : "(unset)");
            // The hanging computer, the slow connection and the dead ones wait side by side.
            // The waits overlap: one after another they alone take kWaits seconds.
            if (extra.empty()) {
                EXPECT_LT(seconds, kWaits - 0.2) << seconds << " s against " << oneSeconds << " s one at a time";
            }
        }
        const std::string log = one.file("docs/QV.log");
        if (extra.empty()) {
            // Every limit gave what a dead computer or an unreadable class gives, and was said.
            EXPECT_NE(one.out.find("Failed to connect to DEAD1 Err#-2147023174 The RPC server is unavailable. "), std::string::npos);
            EXPECT_NE(one.out.find("Failed to connect to SLOW1 Err#-2147023174 The RPC server is unavailable. "), std::string::npos);
            EXPECT_NE(log.find("HANG1 Query Timed Out: Win32_BaseService gave no answer within 400 ms; inventory incomplete\r\n"),
                      std::string::npos);
            EXPECT_NE(log.find("HANG1 Query Timed Out: StdRegProv gave no answer within 400 ms; inventory incomplete\r\n"),
                      std::string::npos);
            EXPECT_NE(log.find(" HANG1 Inventory Completed"), std::string::npos);
            EXPECT_NE(log.find(" PC112 Inventory Completed"), std::string::npos);
            EXPECT_EQ(queryValue(one.dir + "/docs/QV.mdb", "SELECT COUNT(*) FROM RegSoftwarePackages"), "13");
            // The waits are real, and each timed-out class cost the hanging computer one limit,
            // not one per call.
            EXPECT_GT(oneSeconds, kWaits);
            EXPECT_LT(oneSeconds, kWaits + 3.0);
        } else {
            // The break during the sixth computer: it is written whole, nothing after it.
            EXPECT_NE(log.find(" PC102 Inventory Completed"), std::string::npos);
            EXPECT_EQ(log.find("Connected to PC103"), std::string::npos);
            EXPECT_NE(one.out.find("**Program Ended by User ^C pressed"), std::string::npos);
        }
    }
}

TEST(WorkerPool, SettingsThatAreNotAWholeNumberFrom1To256AreIgnoredWithOneLogLine) {
    const std::string fixture = network();
    for (const char* setting : {"", "abc", "0", "-3", "257", "99999999999", "4x", " 8", "1.5"}) {
        auto r = runSim(fixture, {"WS01", "PC101"}, "", setting);
        const std::string line = "        QV_PARALLEL: \"" + std::string(setting) +
                                 "\" ignored, not a whole number from 1 to 256; 16 computers at a time\r\n";
        const std::string log = r.file("docs/QV.log");
        EXPECT_NE(log.find(line), std::string::npos) << setting;
        EXPECT_EQ(log.find(line), log.rfind(line)) << setting;
        EXPECT_NE(log.find(" PC101 Inventory Completed"), std::string::npos) << setting;
    }
    for (const char* setting : {"1", "16", "256", "007"}) {
        auto r = runSim(fixture, {"WS01"}, "", setting);
        EXPECT_EQ(r.file("docs/QV.log").find("QV_PARALLEL"), std::string::npos) << setting;
    }
}

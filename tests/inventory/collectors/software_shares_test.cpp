// The software collector's temporary shares, in-process: each made share goes, others stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "inventory/collectors/collectors.h"
#include "fixture/platform.h"
#include "tests/support/sim_run.h"
#include "tests/support/connection_calls.h"

namespace {

// Collects the report and log lines a computer's inventory puts out; throws on a report line
// containing `failOn` (when not empty).
class Lines : public qv::TargetOutput {
public:
    std::vector<std::string> report, log;
    std::string failOn;
    void put(qv::OutputItem item) override {
        if (item.kind == qv::OutputItem::Kind::Log) log.push_back(item.text);
        if (item.kind != qv::OutputItem::Kind::Report) return;
        if (!failOn.empty() && item.text.find(failOn) != std::string::npos) throw std::runtime_error("write failed");
        report.push_back(item.text);
    }
};

// Passes every call to the fixture's target and records share creation and deletion.
class RecordingTarget : public qv::management::TargetConnection {
public:
    explicit RecordingTarget(qv::management::TargetConnection& inner) : inner_(inner) {}
    std::vector<std::string> events;

    using Result = qv::management::Result<std::int32_t>;
    qv::management::Result<std::int64_t> count(const std::string& c) override { return inner_.count(c); }
    qv::management::Result<qv::Instances> instances(const std::string& c) override { return inner_.instances(c); }
    qv::management::Result<qv::Instances> query(const std::string& q) override { return inner_.query(q); }
    qv::management::Result<std::vector<std::string>> subkeys(std::uint32_t h, const std::string& k) override {
        return inner_.subkeys(h, k);
    }
    qv::management::Result<qv::management::RegistryValueNames> valueNames(std::uint32_t h, const std::string& k) override {
        return inner_.valueNames(h, k);
    }
    qv::management::Result<std::string> stringValue(std::uint32_t h, const std::string& k, const std::string& v) override {
        return inner_.stringValue(h, k, v);
    }
    Result createShare(const std::string& path, const std::string& name, std::int32_t type,
                       const std::string& description) override {
        Result result = inner_.createShare(path, name, type, description);
        const std::int32_t code = result ? *result : -1;
        made_ = made_ || code == 0;
        events.push_back("create " + name + " " + path + " " + std::to_string(type) + " " + description + " -> " +
                         std::to_string(code));
        return result;
    }
    bool refuseDeletesAfterCreate = false;  // the target refuses to delete what was made
    qv::management::Result<qv::management::Done> deleteShare(const qv::Instance& share) override {
        events.push_back("delete " + share.get("Name").text);
        if (refuseDeletesAfterCreate && made_) return qv::management::CallError::of(2, "Access denied ");
        return inner_.deleteShare(share);
    }
    qv::management::Result<bool> fileExists(const std::string& p) override { return inner_.fileExists(p); }
    qv::management::Result<qv::management::FileFacts> fileFacts(const std::string& p) override {
        return inner_.fileFacts(p);
    }
    bool filesThroughShares() const override { return inner_.filesThroughShares(); }

private:
    qv::management::TargetConnection& inner_;
    bool made_ = false;
};

// The fixture's files, except that reading the version of a path containing "BROKEN" throws, and
// the administrative share C$ answers when `adminShare` is set.
class BrokenVersionFiles : public qv::FileSystem {
public:
    explicit BrokenVersionFiles(qv::FileSystem& inner) : inner_(inner) {}
    bool adminShare = false;
    qv::PathKind pathKind(const std::string& p) override {
        if (adminShare && p == "\\\\SRV01\\C$\\") return qv::PathKind::Folder;
        return inner_.pathKind(p);
    }
    qv::InstallResult installNew(const std::string& f, const std::string& t) override { return inner_.installNew(f, t); }
    bool fileExists(const std::string& p) override { return inner_.fileExists(p); }
    std::unique_ptr<qv::TextReader> openForReading(const std::string& p) override { return inner_.openForReading(p); }
    std::unique_ptr<qv::TextWriter> openForWriting(const std::string& p, bool a) override {
        return inner_.openForWriting(p, a);
    }
    bool copyFile(const std::string& f, const std::string& t) override { return inner_.copyFile(f, t); }
    bool deleteFile(const std::string& p) override { return inner_.deleteFile(p); }
    bool fileLength(const std::string& p, std::uint64_t& n) override { return inner_.fileLength(p, n); }
    bool fileVersion(const std::string& p, std::string& v) override {
        if (p.find("BROKEN") != std::string::npos) throw std::runtime_error("version resource unreadable");
        return inner_.fileVersion(p, v);
    }
    bool fileCreated(const std::string& p, qv::DateTime& t) override { return inner_.fileCreated(p, t); }
    std::string currentDirectory() override { return inner_.currentDirectory(); }
    bool setCurrentDirectory(const std::string& p) override { return inner_.setCurrentDirectory(p); }
    std::string join(const std::string& d, const std::string& n) override { return inner_.join(d, n); }

private:
    qv::FileSystem& inner_;
};

const char* const kFixture = R"({
  "identity": {"computerName": "WS01"},
  "wmi": {"SRV01": {
    "classes": {
      "Win32_Share": [{"Name": "DInv", "Path": "D:\\", "Type": 0, "Description": "kept by its owner"},
                      {"Name": "CInv", "Path": "C:\\", "Type": 0, "Description": "Temp Public Share"}],
      "Win32_BaseService": [
        {"Caption": "Beep", "Pathname": "C:\\WINDOWS\\system32\\drivers\\beep.sys", "ServiceType": "Kernel Driver", "State": "Running"},
        {"Caption": "Fastfat", "Pathname": "\\SystemRoot\\System32\\Drivers\\Fastfat.SYS", "ServiceType": "File System Driver", "State": "Running"}]},
    "registry": {
      "HKCR\\App.Application\\CLSID": {"": {"type": 1, "data": "{A}"}},
      "HKCR\\CLSID\\{A}\\ProgID": {"": {"type": 1, "data": "App.Application"}},
      "HKCR\\CLSID\\{A}\\LocalServer32": {"": {"type": 1, "data": "C:\\APP.EXE"}},
      "HKCR\\Broken.Application\\CLSID": {"": {"type": 1, "data": "{B}"}},
      "HKCR\\CLSID\\{B}\\ProgID": {"": {"type": 1, "data": "Broken.Application"}},
      "HKCR\\CLSID\\{B}\\LocalServer32": {"": {"type": 1, "data": "C:\\BROKEN\\BROKEN.EXE"}},
      "HKCR\\Data.Application\\CLSID": {"": {"type": 1, "data": "{D}"}},
      "HKCR\\CLSID\\{D}\\ProgID": {"": {"type": 1, "data": "Data.Application"}},
      "HKCR\\CLSID\\{D}\\LocalServer32": {"": {"type": 1, "data": "D:\\DATA\\DATA.EXE"}},
      "HKCR\\Env.Application\\CLSID": {"": {"type": 1, "data": "{E}"}},
      "HKCR\\CLSID\\{E}\\ProgID": {"": {"type": 1, "data": "Env.Application"}},
      "HKCR\\CLSID\\{E}\\LocalServer32": {"": {"type": 1, "data": "%ProgramFiles%\\E\\E.EXE"}},
      "HKCR\\Unc.Application\\CLSID": {"": {"type": 1, "data": "{U}"}},
      "HKCR\\CLSID\\{U}\\ProgID": {"": {"type": 1, "data": "Unc.Application"}},
      "HKCR\\CLSID\\{U}\\LocalServer32": {"": {"type": 1, "data": "\\\\OTHER\\APPS\\U.EXE"}}},
    "files": {
      "C:\\WINDOWS\\system32\\drivers\\beep.sys": {"version": "5.1"},
      "C:\\APP.EXE": {"version": "1.0"},
      "C:\\BROKEN\\BROKEN.EXE": {"version": "2.0", "created": "2021-05-06T07:08:09"},
      "D:\\DATA\\DATA.EXE": {"version": "3.0"}}}}
})";

struct CollectorRun {
    std::vector<std::string> events, report, log, sharesLeft;
};

// Runs the software collector on the fixture computer SRV01 as seen from `localComputer`.
CollectorRun runCollector(const std::string& localComputer, const std::string& failReportOn = "",
                          bool adminShare = false, bool refuseDeletes = false) {
    std::string dir = qvtest::makeTempDir();
    qvtest::writeFile(dir + "/fixture.json", kFixture);
    std::string error;
    auto fixture = qv::fixture::FixturePlatform::load(dir + "/fixture.json", error);
    EXPECT_TRUE(fixture) << error;
    CollectorRun result;
    if (!fixture) return result;
    qv::Platform base = fixture->platform();
    BrokenVersionFiles files(base.files);
    files.adminShare = adminShare;
    qv::Platform platform{base.console, base.registry, base.identity, files, base.directory, base.system};
    qv::RunContext run(platform, fixture->connector(), fixture->limits());
    run.env.sLocalComputer = localComputer;
    Lines output;
    output.failOn = failReportOn;
    qv::TargetContext ctx(run, "SRV01", output);
    qv::PlatformError err;
    auto services = fixture->connector().connect("SRV01");
    EXPECT_TRUE(services);
    if (!services) return result;
    RecordingTarget recorder(**services);
    recorder.refuseDeletesAfterCreate = refuseDeletes;
    ctx.targetServices = &recorder;

    qv::inventory::collectSoftware(ctx);

    result.events = recorder.events;
    result.report = output.report;
    result.log = output.log;
    qv::Instances shares;
    EXPECT_TRUE(qv::calls::execQuery(**services, "Select * from Win32_Share", shares, err));
    for (const qv::Instance& s : shares) result.sharesLeft.push_back(s.get("Name").text + " " + s.get("Path").text);
    return result;
}

// One share per drive for the whole collector: the leftover CInv of an earlier run goes first, the
// new one serves the driver and both C: programs and goes at the end; DInv belongs to someone else.
const std::vector<std::string> kRemoteEvents = {
    "delete CInv",
    "create CInv C:\\ 0 Temp Public Share -> 0",
    "create DInv D:\\ 0 Temp Public Share -> 22",
    "delete CInv",
};

}  // namespace

TEST(SoftwareShares, EachCreatedShareIsDeletedAndForeignSharesStay) {
    CollectorRun run = runCollector("WS01");
    EXPECT_EQ(run.events, kRemoteEvents);
    EXPECT_EQ(run.sharesLeft, (std::vector<std::string>{"DInv D:\\"}));
    // The file whose version cannot be read is listed with its date only; paths that do not
    // begin with a drive are refused without asking the target.
    std::vector<std::string> expectedApps = {
        "**Registered Applications**",
        "          App.Application Access Time mSec: 0", "              Path: C:\\APP.EXE",
        "           Version: 1.0", "           Created: \r\n",
        "          Broken.Application Access Time mSec: 0", "              Path: C:\\BROKEN\\BROKEN.EXE",
        "           Version: ", "           Created: 5/6/2021 7:08:09 AM\r\n",
        "          Data.Application Access Time mSec: 0", "              Path: D:\\DATA\\DATA.EXE",
        "           Version: ", "           Created: \r\n",
        "          Env.Application Access Time mSec: 0", "              Path: %PROGRAMFILES%\\E\\E.EXE",
        "           Version: ", "           Created: \r\n",
        "          Unc.Application Access Time mSec: 0", "              Path: \\\\OTHER\\APPS\\U.EXE",
        "           Version: ", "           Created: \r\n"};
    ASSERT_GE(run.report.size(), expectedApps.size());
    EXPECT_EQ(std::vector<std::string>(run.report.end() - static_cast<long>(expectedApps.size()), run.report.end()),
              expectedApps);
    const std::string skipped = "\r\n         File skipped for data collection";
    EXPECT_EQ(run.log, (std::vector<std::string>{
                           "  Error: Unable to create share for file: D:\\DATA\\DATA.EXE" + skipped,
                           "  Error: Unable to create share for file: %PROGRAMFILES%\\E\\E.EXE" + skipped,
                           "  Error: Unable to create share for file: \\\\OTHER\\APPS\\U.EXE" + skipped}));
}

TEST(SoftwareShares, ShareIsDeletedWhenAnEntryFailsHalfway) {
    // Writing an entry's report fails while the share is in use: the share goes all the same and
    // the next entries are listed.
    CollectorRun run = runCollector("WS01", "Path: C:\\BROKEN");
    EXPECT_EQ(run.events, kRemoteEvents);
    EXPECT_EQ(run.sharesLeft, (std::vector<std::string>{"DInv D:\\"}));
    ASSERT_FALSE(run.report.empty());
    EXPECT_EQ(run.report.back(), "           Created: \r\n");
    EXPECT_NE(std::find(run.report.begin(), run.report.end(), "          Data.Application Access Time mSec: 0"),
              run.report.end());
}

TEST(SoftwareShares, AShareThatCannotBeDeletedIsSaid) {
    CollectorRun run = runCollector("WS01", "", false, true);
    EXPECT_EQ(run.events, kRemoteEvents);
    EXPECT_EQ(run.sharesLeft, (std::vector<std::string>{"CInv C:\\", "DInv D:\\"}));  // the new one
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back(), "  Error: Unable to delete share CInv (C:\\) on SRV01; the next inventory removes it");
}

TEST(SoftwareShares, AdministrativeShareIsUsedWhenItAnswers) {
    // C$ answers: nothing is made for drive C:, the leftover is not touched; D: still needs a share.
    CollectorRun run = runCollector("WS01", "", true);
    EXPECT_EQ(run.events, (std::vector<std::string>{"create DInv D:\\ 0 Temp Public Share -> 22"}));
    EXPECT_EQ(run.sharesLeft, (std::vector<std::string>{"DInv D:\\", "CInv C:\\"}));
}

TEST(SoftwareShares, LocalTargetMakesNoShare) {
    // Run on SRV01 itself (its name in any case): the local files (none here) are read, no share
    // is made or touched.
    for (const char* local : {"SRV01", "srv01"}) {
        CollectorRun run = runCollector(local);
        EXPECT_TRUE(run.events.empty()) << local;
        EXPECT_EQ(run.sharesLeft, (std::vector<std::string>{"DInv D:\\", "CInv C:\\"}));
        EXPECT_EQ(run.log.size(), 5u);  // the five programs, none found at its own path
        for (const std::string& line : run.log)
            EXPECT_EQ(line.rfind(" Error: Unable to get Application File: ", 0), 0u) << line;
    }
}

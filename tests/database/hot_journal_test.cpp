// A QV.mdb beside the journal of a run stopped while writing, which this user cannot roll back: the
// reason says so and what to do, and once the journal can be written the run rolls it back and
// appends as usual.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

namespace {

using json = nlohmann::ordered_json;

// Leaves `db` with a hot journal beside it: a copy of the file and of its journal taken while a
// writer is in the middle of a transaction, as a run killed there leaves them.
void leaveHotJournal(const std::string& db) {
    const std::string work = db + ".writer";
    ASSERT_EQ(std::system(("cp '" + db + "' '" + work + "'").c_str()), 0);
    sqlite3* w = nullptr;
    ASSERT_EQ(sqlite3_open(work.c_str(), &w), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(w, "PRAGMA journal_mode=DELETE; PRAGMA cache_size=1; BEGIN IMMEDIATE; "
                              "DELETE FROM \"EnvStrings\"; DELETE FROM \"DeviceID\"",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(w);
    ASSERT_EQ(std::system(("cp '" + work + "' '" + db + "' && cp '" + work + "-journal' '" + db + "-journal'").c_str()), 0);
    sqlite3_close(w);
    ::unlink(work.c_str());
    ::unlink((work + "-journal").c_str());
}

// Runs qv-sim in `dir` as a user the file permissions hold for (nobody, when the tests run as root).
std::string runAsUser(const std::string& dir, const std::string& fixture) {
    qvtest::writeFile(dir + "/fixture.json", fixture);
    std::string run = "cd '" + dir + "' && '" QV_SIM_PATH "' fixture.json >.out 2>.err </dev/null";
    if (::geteuid() == 0) {
        std::system(("chown -R nobody '" + dir + "'").c_str());
        run = "runuser -u nobody -- sh -c \"" + run + "\"";
    }
    std::system(("unset QV_PARALLEL QV_DATABASE; " + run).c_str());
    return qvtest::readFile(dir + "/.out");
}

TEST(HotJournal, AJournalThatCannotBeRolledBackIsSaidAndOnceWritableIsRolledBack) {
    if (::geteuid() == 0 && std::system("command -v runuser >/dev/null && id nobody >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "runuser or the nobody account missing: the hot journal test was not run";
    json fixture = json::parse(qvtest::standardFixture());
    qvtest::SimResult first = qvtest::runSim(fixture.dump(), {});
    const std::string db = first.dir + "/docs/QV.mdb";
    ASSERT_EQ(qvtest::queryJoined(db, "SELECT count(*) FROM \"DeviceID\""), std::vector<std::string>{"1"});
    leaveHotJournal(db);
    ::chmod(first.dir.c_str(), 0755);
    ::chmod((db + "-journal").c_str(), 0444);

    fixture["now"] = "2026-12-08T11:00:00";
    const std::string out = runAsUser(first.dir, fixture.dump());
    // The engine's own words stay in the brackets ("disk I/O error" here; "attempt to write a
    // readonly database" when the folder is the one that cannot be written).
    const std::size_t said = out.find("QV.mdb cannot be used: the journal of a run that was stopped while writing "
                                      "(QV.mdb-journal) is beside it and could not be rolled back (");
    ASSERT_NE(said, std::string::npos) << out;
    EXPECT_NE(out.find("); make the folder and that journal writable for this user and run again, which rolls it back "
                       "(deleting the journal would damage the database)\r\n", said),
              std::string::npos)
        << out;
    EXPECT_NE(qvtest::readFile(first.dir + "/docs/QVWS01.txt").find("11:00:00"), std::string::npos);

    // Writable again: the journal is rolled back (the rows it would have lost are there) and the
    // next inventory appended.
    ::chmod((db + "-journal").c_str(), 0644);
    fixture["now"] = "2026-12-08T12:00:00";
    const std::string again = runAsUser(first.dir, fixture.dump());
    EXPECT_EQ(again.find("cannot be used"), std::string::npos) << again;
    EXPECT_EQ(qvtest::queryJoined(db, "SELECT count(*) FROM \"DeviceID\""), std::vector<std::string>{"2"});
}

}  // namespace

// The LDAP directory layer against a real slapd on loopback, started and stopped by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "files/run_reporter.h"
#include "fixture/platform.h"
#include "platform/posix/directory-posix.h"
#include "targets/directory_source.h"
#include "targets/target_list.h"
#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"
#include "tests/support/connection_calls.h"

namespace {

using qvtest::kDirectorySuffix;
const char* const kSuffix = kDirectorySuffix;
constexpr int kBulkComputers = qvtest::kDirectoryBulkComputers;

// Console and log of an in-process run, kept as text.
class RecordingConsole : public qv::Console {
public:
    std::string text;
    void start(qv::ControlEvents&) override {}
    void setTitle(const std::string&) override {}
    std::size_t write(const std::string& t) override {
        text += t;
        return t.size();
    }
    bool pauseForKey(const std::string&) override { return false; }
    void end() override {}
};
class RecordingLog : public qv::TextWriter {
public:
    explicit RecordingLog(std::string& into) : into_(into) {}
    bool writeLine(const std::string& t) override {
        into_ += t + "\r\n";
        return true;
    }
    void close() override {}

private:
    std::string& into_;
};

// The directory source run in-process over `directory` with `pdc` as the domain controller: the
// target list (sorted when asked), the console and the log.
struct SourceRun {
    std::vector<std::string> targets;
    std::string console, log;
};
SourceRun runDirectorySource(qv::Directory& directory, const std::string& pdc, bool sort) {
    SourceRun result;
    std::string dir = qvtest::makeTempDir();
    qvtest::writeFile(dir + "/fixture.json", "{}");
    std::string error;
    auto fixture = qv::fixture::FixturePlatform::load(dir + "/fixture.json", error);
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(fixture) << error;
    if (!fixture) return result;
    qv::Platform base = fixture->platform();
    RecordingConsole console;
    qv::Platform platform{console, base.registry, base.identity, base.files, directory, base.system};
    qv::RunContext ctx(platform, fixture->connector(), fixture->limits());
    ctx.runLog = std::make_unique<RecordingLog>(result.log);
    ctx.env.sAdsiDBProvider = "LDAP";
    ctx.env.sPDC = pdc;
    qv::files::RunReporter reporter(ctx);
    qv::targets::addDirectoryTargets(ctx.platform, ctx.env, reporter, result.targets);
    if (sort) qv::targets::sortTargetList(result.targets);
    result.console = console.text;
    return result;
}

}  // namespace

class SlapdDirectory : public ::testing::Test {
protected:
    static inline std::unique_ptr<qvtest::SlapdServer> server;
    static void SetUpTestSuite() { server = std::make_unique<qvtest::SlapdServer>(); }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override {
        if (!server->skipReason().empty()) GTEST_SKIP() << server->skipReason();
        ASSERT_TRUE(server->failure().empty()) << server->failure();
    }

    qv::posix::LdapDirectory directory{server->ldapPort(), server->catalogPort()};
};

TEST_F(SlapdDirectory, RootDseNamingContext) {
    auto found = directory.defaultNamingContext("127.0.0.1");
    ASSERT_TRUE(found) << found.error().why();
    EXPECT_EQ(*found, kSuffix);
}

TEST_F(SlapdDirectory, GlobalCatalogSearchListsEveryComputerAcrossPages) {
    std::vector<std::optional<std::string>> names;
    {
        auto r = directory.searchComputers("127.0.0.1", std::string("GC://") + kSuffix);
        ASSERT_TRUE(r) << r.error().why();
        names = *r;
    }
    ASSERT_NO_FATAL_FAILURE(qvtest::expectEveryDirectoryComputer(names));

    // Under one container only.
    {
        auto r = directory.searchComputers("127.0.0.1", std::string("GC://ou=Lab,ou=Workstations,") + kSuffix);
        ASSERT_TRUE(r) << r.error().why();
        names = *r;
    }
    EXPECT_EQ(names.size(), 3u);
}

TEST_F(SlapdDirectory, FailuresGiveTheirReason) {
    using qv::calls::failureOf;
    std::string why = failureOf(directory.searchComputers("127.0.0.1", "GC://dc=nowhere,dc=example"));
    EXPECT_EQ(why.rfind("Search of GC://dc=nowhere,dc=example failed: No such object", 0), 0u) << why;

    why = failureOf(directory.defaultNamingContext("DC01;rm"));
    EXPECT_EQ(why, "Unable to bind to LDAP://DC01;rm/rootDSE: not a host name");

    qv::posix::LdapDirectory closed{qvtest::freeLoopbackPort(), qvtest::freeLoopbackPort()};
    why = failureOf(closed.defaultNamingContext("127.0.0.1"));
    EXPECT_EQ(why, "Unable to bind to LDAP://127.0.0.1/rootDSE: Can't contact LDAP server");
    why = failureOf(closed.searchComputers("127.0.0.1", std::string("GC://") + kSuffix));
    EXPECT_EQ(why, "Unable to bind to GC://127.0.0.1: Can't contact LDAP server");
}

// The whole directory source over the real server: names trimmed, upper-cased, the long one
// reported, duplicates gone after sorting.
TEST_F(SlapdDirectory, DirectorySourceFillsTheTargetList) {
    EXPECT_EQ(runDirectorySource(directory, "127.0.0.1", false).targets.size(),
              static_cast<std::size_t>(kBulkComputers + 5));
    SourceRun run = runDirectorySource(directory, "127.0.0.1", true);
    ASSERT_EQ(run.targets.size(), static_cast<std::size_t>(kBulkComputers + 4));
    EXPECT_EQ(run.targets[0], std::string(255, 'A'));
    EXPECT_EQ(run.targets[1], "PC0000");
    EXPECT_EQ(run.targets[kBulkComputers], "PC1099");
    EXPECT_EQ(run.targets[kBulkComputers + 1], "SPACED");
    EXPECT_EQ(run.targets[kBulkComputers + 2], "WS01");
    EXPECT_EQ(run.targets[kBulkComputers + 3], "WS02");
    EXPECT_EQ(run.console,
              "Active Directory reports a Computer Name longer than 255 characters\r\n"
              "See Logfile for Name.  Name skipped, Continuing to run.\r\n\r\n");
    EXPECT_EQ(run.log, "AD reports Computer Name longer than 255 characters:\r\n" + std::string(256, 'B') +
                       "\r\n***Unable to process - computer will be skipped***\r\n\r\n");
}

// A global catalog the locator names is searched first; the domain controller is the fallback and
// its failure is the one reported.
TEST_F(SlapdDirectory, GlobalCatalogFirstThenTheDomainController) {
    class Located : public qv::posix::LdapDirectory {
    public:
        using LdapDirectory::LdapDirectory;
        std::string catalog;
        bool globalCatalogServer(const std::string&, std::string& out) override {
            out = catalog;
            return !catalog.empty();
        }
    };
    const struct {
        const char *catalog, *pdc, *failure;
    } cases[] = {
        {"127.0.0.1", "NOSUCH;PDC", nullptr},
        {"NOSUCH;GC", "127.0.0.1", nullptr},
        {"", "127.0.0.1", nullptr},
        {"NOSUCH;GC", "NOSUCH;PDC", "Active Directory not available (Unable to bind to LDAP://NOSUCH;PDC/rootDSE: not a host name)"},
    };
    for (const auto& c : cases) {
        Located located{server->ldapPort(), server->catalogPort()};
        located.catalog = c.catalog;
        SourceRun run = runDirectorySource(located, c.pdc, false);
        if (c.failure) {
            EXPECT_TRUE(run.targets.empty()) << c.catalog;
            EXPECT_EQ(run.log.rfind(c.failure, 0), 0u) << run.log;
        } else {
            EXPECT_EQ(run.targets.size(), static_cast<std::size_t>(kBulkComputers + 5)) << c.catalog << " " << c.pdc;
        }
    }
}

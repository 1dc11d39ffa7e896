// The LDAP directory layer against a real slapd on loopback, started and stopped by the test.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/fixture/fixture-platform.h"
#include "platform/posix/directory-posix.h"
#include "targets/directory_source.h"
#include "targets/target_list.h"
#include "tests/support/sim_run.h"

extern char** environ;

namespace {

const char* const kSlapd = "/usr/sbin/slapd";
const char* const kSlapadd = "/usr/sbin/slapadd";
const char* const kSuffix = "dc=corp,dc=example,dc=com";
constexpr int kBulkComputers = 1100;  // more than a server hands out without paging

// What the directory of a small domain needs beyond the core schema.
const char* const kTestSchema =
    "attributetype ( 1.3.6.1.4.1.4203.666.11.901.1 NAME 'objectCategory'\n"
    "  EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )\n"
    "attributetype ( 1.3.6.1.4.1.4203.666.11.901.2 NAME 'defaultNamingContext'\n"
    "  EQUALITY distinguishedNameMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )\n"
    "objectclass ( 1.3.6.1.4.1.4203.666.11.901.3 NAME 'computer' SUP top STRUCTURAL\n"
    "  MUST ( cn $ objectCategory ) MAY ( name ) )\n";

std::string base64(const std::string& in) {
    static const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < in.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        if (i + 2 < in.size()) v |= static_cast<unsigned char>(in[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < in.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < in.size() ? digits[v & 63] : '=';
    }
    return out;
}

// One computer entry; the name is written base64 so that its spaces survive.
std::string computerEntry(const std::string& rdn, const std::string& container, const std::optional<std::string>& name,
                          const std::string& category = "Computer") {
    std::string e = "dn: cn=" + rdn + "," + container + "\nobjectClass: computer\ncn: " + rdn +
                    "\nobjectCategory: " + category + "\n";
    if (name) e += "name:: " + base64(*name) + "\n";
    return e + "\n";
}

int freePort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool accepts(int port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

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
    void pauseForKey(const std::string&) override {}
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

}  // namespace

class SlapdDirectory : public ::testing::Test {
protected:
    static inline std::string skipReason, folder;
    static inline pid_t slapd = -1;
    static inline int ldapPort = 0, catalogPort = 0;

    static void SetUpTestSuite() {
        if (::access(kSlapd, X_OK) != 0 || ::access(kSlapadd, X_OK) != 0) {
            skipReason = "slapd is not installed (Debian packages slapd and ldap-utils)";
            return;
        }
        folder = qvtest::makeTempDir();
        std::filesystem::create_directory(folder + "/db");
        qvtest::writeFile(folder + "/test.schema", kTestSchema);
        qvtest::writeFile(folder + "/rootdse.ldif", std::string("dn:\ndefaultNamingContext: ") + kSuffix + "\n");
        qvtest::writeFile(folder + "/slapd.conf",
                          "include /etc/ldap/schema/core.schema\n"
                          "include " + folder + "/test.schema\n"
                          "modulepath /usr/lib/ldap\n"
                          "moduleload back_mdb\n"
                          "pidfile " + folder + "/slapd.pid\n"
                          "rootDSE " + folder + "/rootdse.ldif\n"
                          // Like a domain controller: at most 1,000 entries unless paged.
                          "sizelimit size.soft=1000 size.hard=1000 size.prtotal=unlimited\n"
                          "database mdb\n"
                          "suffix \"" + kSuffix + "\"\n"
                          "rootdn \"cn=admin," + kSuffix + "\"\n"
                          "directory " + folder + "/db\n"
                          "maxsize 104857600\n");
        const std::string ws = std::string("ou=Workstations,") + kSuffix, servers = std::string("ou=Servers,") + kSuffix,
                          lab = "ou=Lab," + ws;
        std::ostringstream ldif;
        ldif << "dn: " << kSuffix << "\nobjectClass: organization\nobjectClass: dcObject\no: corp\ndc: corp\n\n";
        for (const std::string& ou : {ws, servers, lab})
            ldif << "dn: " << ou << "\nobjectClass: organizationalUnit\nou: " << ou.substr(3, ou.find(',') - 3) << "\n\n";
        ldif << computerEntry("c1", ws, "ws01") << computerEntry("c2", servers, "WS02")
             << computerEntry("c3", lab, "ws01")                       // the same name in another container
             << computerEntry("c4", servers, "  spaced  ")             // spaces around the name
             << computerEntry("c5", lab, std::string(255, 'a'))        // longest name kept
             << computerEntry("c6", lab, std::string(256, 'b'))        // one too long
             << computerEntry("c7", ws, std::nullopt)                  // no name at all
             << computerEntry("p1", ws, "person01", "Person");         // not a computer
        for (int i = 0; i < kBulkComputers; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "pc%04d", i);
            ldif << computerEntry(std::string("b") + name, i % 2 ? ws : servers, std::string(name));
        }
        qvtest::writeFile(folder + "/data.ldif", ldif.str());
        std::string load = std::string(kSlapadd) + " -q -f '" + folder + "/slapd.conf' -l '" + folder +
                           "/data.ldif' >'" + folder + "/slapadd.log' 2>&1";
        if (std::system(load.c_str()) != 0) {
            startFailure = "slapadd failed: " + qvtest::readFile(folder + "/slapadd.log");
            return;
        }

        ldapPort = freePort();
        catalogPort = freePort();
        std::string urls = "ldap://127.0.0.1:" + std::to_string(ldapPort) + "/ ldap://127.0.0.1:" +
                           std::to_string(catalogPort) + "/";
        std::string conf = folder + "/slapd.conf";
        std::vector<std::string> args = {kSlapd, "-d", "0", "-h", urls, "-f", conf};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        std::string slapdLog = folder + "/slapd.log";
        posix_spawn_file_actions_addopen(&actions, 1, slapdLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        int rc = posix_spawn(&slapd, kSlapd, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            slapd = -1;
            startFailure = "slapd could not be started";
            return;
        }
        for (int i = 0; i < 100 && !(accepts(ldapPort) && accepts(catalogPort)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!accepts(ldapPort) || !accepts(catalogPort)) startFailure = "slapd did not listen: " + qvtest::readFile(slapdLog);
    }

    static void TearDownTestSuite() {
        if (slapd > 0) {
            ::kill(slapd, SIGTERM);
            int status = 0;
            ::waitpid(slapd, &status, 0);
            slapd = -1;
        }
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }

    void SetUp() override {
        if (!skipReason.empty()) GTEST_SKIP() << skipReason;
        ASSERT_TRUE(startFailure.empty()) << startFailure;
    }

    static inline std::string startFailure;
    qv::posix::LdapDirectory directory{ldapPort, catalogPort};
};

TEST_F(SlapdDirectory, RootDseNamingContext) {
    std::string nc, why;
    ASSERT_TRUE(directory.defaultNamingContext("127.0.0.1", nc, why)) << why;
    EXPECT_EQ(nc, kSuffix);
}

TEST_F(SlapdDirectory, GlobalCatalogSearchListsEveryComputerAcrossPages) {
    std::vector<std::optional<std::string>> names;
    std::string why;
    ASSERT_TRUE(directory.searchComputers("127.0.0.1", std::string("GC://") + kSuffix, names, why)) << why;
    ASSERT_EQ(names.size(), static_cast<std::size_t>(kBulkComputers + 7));
    auto count = [&](const std::optional<std::string>& n) { return std::count(names.begin(), names.end(), n); };
    EXPECT_EQ(count(std::nullopt), 1);
    EXPECT_EQ(count(std::string("ws01")), 2);
    EXPECT_EQ(count(std::string("  spaced  ")), 1);
    EXPECT_EQ(count(std::string(255, 'a')), 1);
    EXPECT_EQ(count(std::string(256, 'b')), 1);
    EXPECT_EQ(count(std::string("pc1099")), 1);
    EXPECT_EQ(count(std::string("person01")), 0);

    // Under one container only.
    ASSERT_TRUE(directory.searchComputers("127.0.0.1", std::string("GC://ou=Lab,ou=Workstations,") + kSuffix, names, why));
    EXPECT_EQ(names.size(), 3u);
}

TEST_F(SlapdDirectory, FailuresGiveTheirReason) {
    std::vector<std::optional<std::string>> names;
    std::string nc, why;
    EXPECT_FALSE(directory.searchComputers("127.0.0.1", "GC://dc=nowhere,dc=example", names, why));
    EXPECT_EQ(why.rfind("Search of GC://dc=nowhere,dc=example failed: No such object", 0), 0u) << why;

    EXPECT_FALSE(directory.defaultNamingContext("DC01;rm", nc, why));
    EXPECT_EQ(why, "Unable to bind to LDAP://DC01;rm/rootDSE: not a host name");

    qv::posix::LdapDirectory closed{freePort(), freePort()};
    EXPECT_FALSE(closed.defaultNamingContext("127.0.0.1", nc, why));
    EXPECT_EQ(why, "Unable to bind to LDAP://127.0.0.1/rootDSE: Can't contact LDAP server");
    EXPECT_FALSE(closed.searchComputers("127.0.0.1", std::string("GC://") + kSuffix, names, why));
    EXPECT_EQ(why, "Unable to bind to GC://127.0.0.1: Can't contact LDAP server");
}

// The whole directory source over the real server: names trimmed, upper-cased, the long one
// reported, duplicates gone after sorting.
TEST_F(SlapdDirectory, DirectorySourceFillsTheTargetList) {
    std::string dir = qvtest::makeTempDir();
    qvtest::writeFile(dir + "/fixture.json", "{}");
    std::string error;
    auto fixture = qv::fixture::FixturePlatform::load(dir + "/fixture.json", error);
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(fixture) << error;
    qv::Platform base = fixture->platform();
    RecordingConsole console;
    qv::Platform platform{console, base.registry, base.identity, base.management, base.files, directory, base.system};
    qv::RunContext ctx(platform);
    std::string log;
    ctx.runLog = std::make_unique<RecordingLog>(log);
    ctx.env.sAdsiDBProvider = "LDAP";
    ctx.env.sPDC = "127.0.0.1";

    qv::targets::createTargetList(ctx);
    qv::targets::addDirectoryTargets(ctx);
    EXPECT_EQ(ctx.targetList.size(), static_cast<std::size_t>(kBulkComputers + 5));
    qv::targets::sortTargetList(ctx);

    ASSERT_EQ(ctx.targetList.size(), static_cast<std::size_t>(kBulkComputers + 4));
    EXPECT_EQ(ctx.targetList[0], std::string(255, 'A'));
    EXPECT_EQ(ctx.targetList[1], "PC0000");
    EXPECT_EQ(ctx.targetList[kBulkComputers], "PC1099");
    EXPECT_EQ(ctx.targetList[kBulkComputers + 1], "SPACED");
    EXPECT_EQ(ctx.targetList[kBulkComputers + 2], "WS01");
    EXPECT_EQ(ctx.targetList[kBulkComputers + 3], "WS02");
    EXPECT_EQ(console.text,
              "Active Directory reports a Computer Name longer than 255 characters\r\n"
              "See Logfile for Name.  Name skipped, Continuing to run.\r\n\r\n");
    EXPECT_EQ(log, "AD reports Computer Name longer than 255 characters:\r\n" + std::string(256, 'B') +
                       "\r\n***Unable to process - computer will be skipped***\r\n\r\n");
}

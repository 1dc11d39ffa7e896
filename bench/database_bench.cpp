// Benchmark of the record writer (not a test): rows per second appended through appendRow, each
// row independent, in inventories of `rows` rows each committed as a computer's inventory ends.
// With QV_DATABASE set the rows go to that server; WORKER names this process's computers apart
// from those of others writing at the same time.
//   qv-db-bench [COMPUTERS] [ROWS_PER_COMPUTER] [WORKER]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "database/postgresql/postgresql_engine.h"
#include "database/records.h"
#include "files/run_reporter.h"
#include "fixture/platform.h"

int main(int argc, char** argv) {
    const int computers = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rowsEach = argc > 2 ? std::atoi(argv[2]) : 150;
    const std::string worker = argc > 3 ? argv[3] : "";
    const char* server = std::getenv("QV_DATABASE");
    const bool onServer = server && *server;
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("qv-db-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "fixture.json") << "{}";
    std::string error;
    auto fixture = qv::fixture::FixturePlatform::load((dir / "fixture.json").string(), error);
    if (!fixture) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    qv::Platform platform = fixture->platform();
    long appended = 0, refused = 0;
    double seconds = 0;
    {
        qv::RunContext run(platform, fixture->connector(), fixture->limits());
        qv::files::RunReporter reporter(run);
        qv::database::Settings settings{platform.files, platform.system.locale(), {2026, 12, 8, 9, 30, 5}, dir.string(),
                                        {}, nullptr, fixture->limits().databaseMs};
        if (onServer) {
            settings.server = server;
            settings.serverEngine = &qv::database::postgresql::makeEngine;
        }
        auto session = qv::database::createOrOpenDatabase(settings, reporter);
        if (!session) return 1;
        qv::database::Session& ctx = *session;
        auto start = std::chrono::steady_clock::now();
        for (int c = 0; c < computers; ++c) {
            const qv::database::InventoryKey key{"CORP", "PC" + worker + "-" + std::to_string(c)};
            if (qv::database::appendMasterRows(ctx, key, {{"Role", std::string("1 (Member Workstation)")},
                                                     {"TotalRAM(Bytes)", std::string("1,073,741,824")}}))
                appended += 3;
            for (int r = 3; r < rowsEach; ++r) {
                bool ok;
                switch (r % 3) {
                    case 0:
                        ok = qv::database::appendRow(ctx, key, "EnvStrings", {{"Owner", std::string("<SYSTEM>")},
                                                                          {"VarName", "VAR" + std::to_string(r)},
                                                                          {"VarValue", std::string("C:\\WINDOWS\\system32")}}).ok();
                        break;
                    case 1:
                        ok = qv::database::appendRow(ctx, key, "LogicalDrives", {{"Name", std::string("C:")},
                                                                             {"MaxSpace", std::string("38,146.97")},
                                                                             {"FreeSpace", 1234.5},
                                                                             {"MediaType", std::string("Fixed hard disk")}}).ok();
                        break;
                    default:
                        ok = qv::database::appendRow(ctx, key, "Drivers", {{"Name", std::string("tcpip")},
                                                                       {"Path", std::string("C:\\WINDOWS\\system32\\drivers\\tcpip.sys")},
                                                                       {"DateCreated", qv::DateTime{2004, 8, 4, 1, 2, 3}}}).ok();
                }
                (ok ? appended : refused) += 1;
            }
            qv::database::endInventory(ctx);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::uintmax_t size = onServer ? 0 : fs::file_size(dir / "QV.mdb");
    fs::remove_all(dir);
    std::printf("writer%s: %ld rows (%ld refused) in %d inventories: %.3f s, %.0f rows/s, %.1f ms per commit-ended inventory, file %.1f MB\n",
                onServer ? " (server)" : "", appended, refused, computers, seconds, appended / seconds, 1000 * seconds / computers, size / 1048576.0);
    return refused == 0 ? 0 : 1;
}

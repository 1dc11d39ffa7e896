// Test support for the Windows program: template and throwaway Wine prefixes, runs under Wine.
#include "tests/wine/wine_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/support/sim_run.h"

namespace qvtest {

namespace {

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool isDir(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string winBuildDir() {
    const char* dir = std::getenv("QV_WIN_BUILD_DIR");
    return dir && *dir ? dir : QV_SOURCE_DIR "/build-win";
}

// The template prefix, made once; a lock keeps parallel test processes from making it twice.
std::string templatePrefix() {
    const char* given = std::getenv("QV_WINE_TEMPLATE");
    std::string path = given && *given ? given : QV_SOURCE_DIR "/build/wine-template";
    int lock = ::open((path + ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    if (!isDir(path + "/drive_c/windows")) {
        std::string cmd = "rm -rf " + quote(path) + " && WINEPREFIX=" + quote(path) +
                          " WINEDEBUG=-all wineboot --init >/dev/null 2>&1 && WINEPREFIX=" + quote(path) +
                          " wineserver -w";
        if (std::system(cmd.c_str()) != 0 || !isDir(path + "/drive_c/windows")) {
            if (lock >= 0) ::close(lock);
            throw std::runtime_error("could not prepare the Wine template prefix " + path);
        }
    }
    if (lock >= 0) ::close(lock);
    return path;
}

}  // namespace

std::string qvExePath() { return winBuildDir() + "/QV.exe"; }
std::string winTestsExePath() { return winBuildDir() + "/qv_win_tests.exe"; }

WinePrefix::WinePrefix() {
    // Wine takes the user's locale and the code page of Unix file names from the caller's locale.
    // Every Wine process of the tests runs under one UTF-8 locale (which Wine reads as en-US with
    // ANSI code page 1252), so results do not hang on the machine's settings and non-ASCII file
    // names can be made; a test that wants another locale passes its own LANG and LC_ALL.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("LANG", "C.UTF-8", 1);
    std::string tmpl = templatePrefix();
    path_ = makeTempDir() + "/prefix";
    std::string cmd = "cp -a " + quote(tmpl) + " " + quote(path_);
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("could not copy the Wine prefix");
    // Wine links the user's shell folders (Documents, Desktop, ...) to the Unix home folder, which
    // every prefix would then share; each prefix gets folders of its own.
    std::error_code ec;
    for (const auto& user : std::filesystem::directory_iterator(path_ + "/drive_c/users", ec))
        for (const auto& folder : std::filesystem::directory_iterator(user.path(), ec))
            if (folder.is_symlink()) {
                std::filesystem::remove(folder.path());
                std::filesystem::create_directory(folder.path());
            }
}

WinePrefix::~WinePrefix() {
    std::string cmd = "WINEPREFIX=" + quote(path_) + " wineserver -k >/dev/null 2>&1; rm -rf " + quote(path_);
    if (std::system(cmd.c_str()) != 0) { /* the temporary folder goes with the test process */ }
}

std::string WinePrefix::documents() const {
    std::string users = path_ + "/drive_c/users";
    std::string found;
    if (DIR* d = ::opendir(users.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != ".." && name != "Public" && isDir(users + "/" + name)) found = name;
        }
        ::closedir(d);
    }
    return users + "/" + found + "/Documents";
}

WineResult WinePrefix::run(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env, int timeoutSeconds) const {
    std::string outFile = path_ + "/../run.out", errFile = path_ + "/../run.err";
    std::string cmd = "cd " + quote(path_ + "/..") + " && env WINEPREFIX=" + quote(path_) + " WINEDEBUG=-all";
    for (const std::string& e : env) cmd += " " + quote(e);
    cmd += " timeout " + std::to_string(timeoutSeconds) + " wine " + quote(program);
    for (const std::string& a : args) cmd += " " + quote(a);
    cmd += " >" + quote(outFile) + " 2>" + quote(errFile) + " </dev/null";
    int status = std::system(cmd.c_str());
    WineResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    return r;
}

bool WinePrefix::regAdd(const std::string& key, const std::string& name, const std::string& type,
                        const std::string& data) const {
    std::vector<std::string> args = {"add", key};
    if (name.empty()) args.push_back("/ve");
    else args.insert(args.end(), {"/v", name});
    args.insert(args.end(), {"/t", type, "/d", data, "/f"});
    return run("reg", args).exitCode == 0;
}

bool WinePrefix::setWindowsVersion(const std::string& version) const {
    return regAdd("HKCU\\Software\\Wine", "Version", "REG_SZ", version);
}

}  // namespace qvtest

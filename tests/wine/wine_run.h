// Test support for the Windows program: throwaway Wine prefixes and runs of QV.exe under Wine.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

// The built Windows program and its back-end tests (scripts/build-win.sh).
std::string qvExePath();
std::string winTestsExePath();

struct WineResult {
    std::string out;  // standard output bytes
    std::string err;  // standard error (the debug trace when WINEDEBUG asks for it)
    int exitCode = -1;
};

// A Wine prefix copied from a template prepared once per machine (build/wine-template, or
// $QV_WINE_TEMPLATE), so a test starts from a clean Windows in about three seconds. The prefix
// is removed, and its wineserver stopped, when the object goes.
class WinePrefix {
public:
    WinePrefix();
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    const std::string& path() const { return path_; }
    // C:\users\<user>\Documents as a host path: the program's working directory.
    std::string documents() const;
    // Runs `program` (a host path of an .exe, or a Wine built-in such as "reg") with the
    // arguments, standard input from /dev/null. `env` holds extra NAME=value settings;
    // WINEDEBUG is -all unless given there.
    WineResult run(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {}, int timeoutSeconds = 120) const;
    WineResult runQv(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) const {
        return run(qvExePath(), args, env);
    }
    // reg add KEY /v NAME /t TYPE /d DATA /f (NAME empty: the default value).
    bool regAdd(const std::string& key, const std::string& name, const std::string& type, const std::string& data) const;
    // The Windows version Wine reports ("winxp", "win2k", "win7", ...).
    bool setWindowsVersion(const std::string& version) const;

private:
    std::string path_;
};

}  // namespace qvtest

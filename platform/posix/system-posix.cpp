// POSIX clock, environment, debug trace, message box and locale.
#include "platform/posix/system-posix.h"

#include <langinfo.h>
#include <syslog.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <thread>

namespace qv::posix {

PosixSystem::PosixSystem() {
    // The process locale's number rules; the C locale keeps the en-US forms.
    std::setlocale(LC_NUMERIC, "");
    const lconv* lc = std::localeconv();
    if (lc && lc->thousands_sep && *lc->thousands_sep) locale_.groupSeparator = lc->thousands_sep;
    if (lc && lc->decimal_point && *lc->decimal_point) locale_.decimalPoint = lc->decimal_point;
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_TIME, "");
    std::string dfmt = nl_langinfo(D_FMT);
    std::string tfmt = nl_langinfo(T_FMT);
    std::setlocale(LC_TIME, "C");
    // Only a locale that names its order moves away from the en-US forms.
    if (dfmt.rfind("%d", 0) == 0 || dfmt.rfind("%e", 0) == 0) {
        locale_.dateOrder = 'D';
        locale_.dateSeparator = dfmt.size() > 2 ? dfmt.substr(2, 1) : "/";
        locale_.twelveHour = tfmt.find("%p") != std::string::npos || tfmt.find("%r") != std::string::npos;
    } else if (dfmt.rfind("%Y", 0) == 0) {
        locale_.dateOrder = 'Y';
        locale_.dateSeparator = dfmt.size() > 2 ? dfmt.substr(2, 1) : "-";
        locale_.twelveHour = tfmt.find("%p") != std::string::npos || tfmt.find("%r") != std::string::npos;
    }
}

DateTime PosixSystem::now() {
    std::time_t t = std::time(nullptr);
    std::tm tm {};
    ::localtime_r(&t, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool PosixSystem::environmentVariable(const std::string& name, std::string& value) {
    const char* v = std::getenv(name.c_str());
    if (!v) return false;
    value = v;
    return true;
}

void PosixSystem::sleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PosixSystem::debugTrace(const std::string& text) {
    ::openlog("QV", LOG_PID, LOG_USER);
    ::syslog(LOG_DEBUG, "%s", text.c_str());
    ::closelog();
}

void PosixSystem::messageBox(const std::string& text) {
    std::cerr << text << std::endl;
    if (::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO)) {
        std::string ignored;
        std::getline(std::cin, ignored);
    }
}

bool PosixSystem::startProcess(const std::string&, const std::string&, const std::string&) {
    // The command interpreter and the network shell program of the WINS dump do not exist here.
    return false;
}

}  // namespace qv::posix

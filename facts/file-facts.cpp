// A computer's own files through the provider's file access: presence, module versions, creation.
#include "facts/file-facts.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "facts/modinfo.h"

namespace qv::facts {

bool fileExists(Source& s, const std::string& path) { return s.files().status(path).has_value(); }

std::optional<std::string> fileVersion(Source& s, const std::string& path) {
    if (path.find(".ko") == std::string::npos) return std::nullopt;
    auto v = moduleInfo(s.files(), path, "version");
    if (!v || v->empty()) {
        v = moduleInfo(s.files(), path, "vermagic");
        if (v) *v = v->substr(0, v->find(' '));
    }
    if (!v || v->empty()) return std::nullopt;
    return v;
}

std::optional<DateTime> fileCreated(Source& s, const std::string& path) {
    std::time_t when = 0;
    if (auto local = s.files().localPath(path)) {
        struct statx sx {};
        if (::statx(AT_FDCWD, local->c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return std::nullopt;
        when = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    } else if (auto st = s.files().status(path)) {
        when = st->st_mtime;
    } else {
        return std::nullopt;
    }
    std::tm tm {};
    if (!::localtime_r(&when, &tm)) return std::nullopt;
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace qv::facts

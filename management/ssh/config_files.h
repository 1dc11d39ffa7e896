// The SSH configuration and the files its Include lines name, read within bounds before libssh
// reads them: each as the other settings files are read, a bounded number, a bounded depth.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "management/host_config.h"
#include "management/settings_file.h"

namespace qv::management::ssh {

// Files read through Include lines at most, counted as ssh reads them (a file included twice is
// read twice), so that includes that fan out cannot make libssh read without end.
inline constexpr std::size_t kMaxConfigFiles = 64;

struct SshConfiguration {
    // Of the configuration file; Refused, with `why`, when it or any file it includes is refused:
    // a file that is no regular file or over 1 MiB (as readSettingsFile refuses), Include lines
    // nested deeper than kMaxIncludeDepth, a file that includes itself, more than
    // kMaxConfigFiles files in all. Every Include line is followed, whatever block it stands in.
    FileStatus status = FileStatus::Missing;
    std::string why;
    std::string text;                                    // the configuration file's own
    std::map<std::string, std::string> files;            // each included file's text, by path
    std::map<std::string, std::vector<std::string>> named;  // an Include word -> the paths it names
    // The settings of `name`, the Include lines followed as ssh follows them.
    HostSettings settingsFor(const std::string& name) const;
};

// Reads the configuration at `path` and the files it includes. A relative Include path is taken
// in the configuration's folder (as ssh takes it in ~/.ssh), "~" is the home folder, and the
// patterns of a word (*, ?, [...]) name the files they match, in order of name; a path that
// names no file is passed over, as ssh passes over it.
SshConfiguration readSshConfiguration(const std::string& path);

}  // namespace qv::management::ssh

// The .modinfo section of a kernel module file (key=value strings), read without running modinfo.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "facts/source.h"

namespace qv::facts {

// The first value of `key` in the module file at `hostPath` (an uncompressed ELF .ko); absent
// when the file is not such a module or has no such key.
std::optional<std::string> moduleInfo(const std::string& hostPath, const std::string& key);
// The same for a module among the given files.
std::optional<std::string> moduleInfo(FileAccess& files, const std::string& path, const std::string& key);
// The same for several modules, their pieces read for all of them at once.
std::vector<std::optional<std::string>> moduleInfos(FileAccess& files, const std::vector<std::string>& paths,
                                                    const std::string& key);

// The modules directory of the running kernel (/lib/modules/<release>), when present.
std::optional<std::string> modulesDir(Source& s);

}  // namespace qv::facts

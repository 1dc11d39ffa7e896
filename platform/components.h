// The components this program brings itself, as registry entries: the SQLite engine in the place of
// the data-access components and the database provider, the text reader's extension setting, and
// the directory layer. The POSIX registry holds only these; the Windows registry lays them over
// the real one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct ComponentEntry {
    std::uint32_t hive;
    std::string key;
    std::string valueName;  // "" is the key's default value
    std::string text;       // a REG_SZ value
};

// `directoryLayer` names the library behind the directory source (for example "OpenLDAP 20457").
std::vector<ComponentEntry> ownComponents(const std::string& directoryLayer);

}  // namespace qv

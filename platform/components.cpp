// The program's own components as registry entries, shared by the registries of every back-end.
#include "platform/components.h"

#include <sqlite3.h>

#include "platform/platform.h"

namespace qv {

std::vector<ComponentEntry> ownComponents(const std::string& directoryLayer) {
    constexpr std::uint32_t HKCR = kHiveClassesRoot, HKLM = kHiveLocalMachine;
    const std::string engine = std::string("SQLite ") + sqlite3_libversion();
    std::vector<ComponentEntry> entries;
    for (const char* component : {"ADODB.Connection", "ADODB.Command", "ADODB.Recordset", "ADOR.Recordset",
                                   "ADOX.Catalog", "ADOX.Table", "ADOX.Key"})
        entries.push_back({HKCR, std::string(component) + "\\CurVer", "", std::string(component) + " (" + engine + ")"});
    entries.push_back({HKCR, "Microsoft.Jet.OLEDB.4.0", "", engine});
    entries.push_back({HKLM, "Software\\Microsoft\\Jet\\4.0\\Engines\\Text", "DisabledExtensions",
                       "!txt,csv,tab,asc,tmp,htm,html"});
    entries.push_back({HKCR, "ADsDSOObject", "", "LDAP directory layer (" + directoryLayer + ")"});
    return entries;
}

}  // namespace qv

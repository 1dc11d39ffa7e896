// The 36 inventory tables as data, and the SQL that creates and fills them.
#include "database/schema.h"

namespace qv::database {

namespace {

constexpr ColumnType W = ColumnType::VarWChar, I = ColumnType::Integer, S = ColumnType::Single,
                     D = ColumnType::Double, T = ColumnType::Date, B = ColumnType::Boolean;

const char* const kDeviceID = "DeviceID";
const char* const kHardwareKey = "HardwareKey";
const char* const kSoftwareKey = "SoftwareKey";

}  // namespace

std::string dataSourceOf(const std::string& connectionString) {
    const std::string key = "Data Source=";
    std::size_t at = connectionString.find(key);
    if (at == std::string::npos) return {};
    at += key.size();
    std::size_t end = connectionString.find(';', at);
    return connectionString.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

const std::vector<Column>& inventoryKeyColumns() {
    static const std::vector<Column> key = {{"InvDateTime", T, 0}, {"DomainWorkGrp", W, 64}, {"DeviceName", W, 16}};
    return key;
}

const std::vector<TableDef>& tableList() {
    static const std::vector<TableDef> tables = {
        {kDeviceID, nullptr, "PrimaryKey",
         {{"Role", W, 29}, {"Owner", W, 64}, {"Contact", W, 64}, {"CurrentUser", W, 32}, {"Manufacturer", W, 64},
          {"Model", W, 64}, {"IdentifyingNumber", W, 25}, {"UUID", W, 36}, {"TotalRAM(Bytes)", D, 0},
          {"SystemType", W, 24}}},
        {kSoftwareKey, kDeviceID, "SwPrimaryKey", {}},
        {kHardwareKey, kDeviceID, "HwPrimaryKey", {}},
        {"OSData", kDeviceID, nullptr,
         {{"OSName", W, 64}, {"Version", W, 16}, {"CSDVersion", W, 32}, {"SerialNumber", W, 32},
          {"InstallDate", W, 25}, {"Organization", W, 64}, {"RegisteredUser", W, 16}, {"NumberOfLicUsers", I, 0},
          {"OSProductSuite", W, 64}, {"OSType", W, 32}, {"OSLanguage", I, 0}, {"CodeSet", I, 0},
          {"CountryCode", I, 0}, {"Locale", W, 16}, {"LocalDateTime", W, 25}, {"WindowsDirectory", W, 64},
          {"SystemDirectory", W, 64}, {"OSManufacturer", W, 64}, {"Description", W, 64}, {"SysSvcsCount", I, 0},
          {"SysSvcsRunCount", I, 0}}},
        {"EnvStrings", kDeviceID, nullptr, {{"Owner", W, 255}, {"VarName", W, 255}, {"VarValue", W, 255}}},
        {"BIOS", kHardwareKey, nullptr,
         {{"Description", W, 32}, {"Manufacturer", W, 32}, {"SMBIOSVersion", W, 16}, {"ReleaseDate", W, 25},
          {"CurrentLanguage", W, 16}, {"SerialNumber", W, 32}}},
        {"CPU", kHardwareKey, nullptr,
         {{"CPUID", W, 8}, {"CPUName", W, 64}, {"CPU", W, 64}, {"MaxClockSpeed", I, 0}, {"CurrentClockSpeed", I, 0},
          {"L2CacheSize", I, 0}, {"CPUManufacturer", W, 64}, {"Description", W, 64}, {"ProcessorId", W, 16}}},
        {"RAM", kHardwareKey, nullptr, {{"Description", W, 16}, {"BankLabel", W, 32}, {"Capacity", S, 0}}},
        {"BaseBoard", kHardwareKey, nullptr,
         {{"Name", W, 16}, {"Product", W, 32}, {"Manufacturer", W, 32}, {"SerialNumber", W, 32}, {"Version", W, 32}}},
        {"Chassis", kHardwareKey, nullptr, {{"Description", W, 64}, {"Manufacturer", W, 64}, {"SMBIOSAssetTag", W, 32}}},
        {"LogicalDrives", kDeviceID, nullptr,
         {{"Name", W, 32}, {"Description", W, 64}, {"DriveType", W, 32}, {"FileSystem", W, 16}, {"MaxSpace", S, 0},
          {"FreeSpace", S, 0}, {"MediaType", W, 64}}},
        {"HardDisk", kHardwareKey, nullptr,
         {{"Description", W, 16}, {"InterfaceType", W, 16}, {"Manufacturer", W, 32}, {"Model", W, 64}, {"Size", D, 0},
          {"Partitions", I, 0}}},
        {"CD_DVD", kHardwareKey, nullptr,
         {{"Drive", W, 32}, {"Name", W, 32}, {"Description", W, 32}, {"Manufacturer", W, 32}}},
        {"TapeDrive", kHardwareKey, nullptr,
         {{"Name", W, 64}, {"Model", W, 64}, {"Description", W, 32}, {"Manufacturer", W, 32}, {"DeviceID", W, 128}}},
        {"PointDevice", kHardwareKey, nullptr,
         {{"Description", W, 64}, {"Manufacturer", W, 32}, {"Interface", W, 32}, {"PointerType", W, 32}}},
        {"Keyboard", kHardwareKey, nullptr, {{"Caption", W, 32}, {"Description", W, 64}, {"Layout", W, 8}}},
        {"PortCon", kHardwareKey, nullptr,
         {{"Tag", W, 255}, {"ExtRefDesignator", W, 128}, {"IntRefDesignator", W, 128}, {"PortType", W, 64}}},
        {"SerialPorts", kHardwareKey, nullptr, {{"PortID", W, 8}, {"Description", W, 32}, {"ProviderType", W, 32}}},
        {"ParallelPorts", kHardwareKey, nullptr, {{"PortID", W, 8}}},
        {"USB", kHardwareKey, nullptr, {{"Reference", W, 8}, {"ID", W, 128}, {"Name", W, 128}}},
        {"SCSI", kHardwareKey, nullptr, {{"Reference", W, 16}, {"ID", W, 128}, {"Description", W, 128}}},
        {"Modem", kHardwareKey, nullptr,
         {{"Reference", W, 8}, {"Caption", W, 64}, {"AttachedTo", W, 8}, {"ServiceType", W, 16}, {"ID", W, 128},
          {"ProviderName", W, 32}}},
        {"Audio", kHardwareKey, nullptr, {{"Reference", W, 8}, {"Name", W, 64}, {"Manufacturer", W, 32}, {"ID", W, 128}}},
        {"Monitor", kHardwareKey, nullptr,
         {{"ID", W, 16}, {"Name", W, 64}, {"ScreenHeight", I, 0}, {"ScreenWidth", I, 0}, {"Manufacturer", W, 64}}},
        {"VideoAdapter", kHardwareKey, nullptr,
         {{"ID", W, 32}, {"Name", W, 64}, {"AdapterRAM", I, 0}, {"Architecture", W, 32}, {"VideoMode", W, 64},
          {"RefreshRate", I, 0}, {"Processor", W, 32}}},
        {"Printers", kHardwareKey, nullptr,
         {{"Reference", W, 16}, {"Name", W, 32}, {"DriverName", W, 64}, {"PortName", W, 64}, {"Default", B, 0}}},
        {"TCP_IP", kDeviceID, nullptr,
         {{"CardName", W, 128}, {"IPEnabled", B, 0}, {"IPAddress", W, 15}, {"IPSubnet", W, 15}, {"MACAddress", W, 17},
          {"DefaultIPGateway", W, 15}, {"DHCPEnabled", B, 0}, {"DHCPLeaseExpires", W, 25},
          {"DHCPLeaseObtained", W, 25}, {"DHCPServer", W, 15}, {"DNSHostName", W, 64}, {"DNSDomain", W, 64},
          {"DNSSearchCount", I, 0}, {"DNSEnabled4WINSRes", B, 0}, {"DomDNSRegistEnabled", B, 0},
          {"WINSPrimary", W, 15}, {"WINSSecondary", W, 15}, {"WINSScopeID", W, 64}, {"TcpipNetbiosOptions", W, 64},
          {"WINSLMHostsLookup", B, 0}, {"WINSHostLookupFile", W, 64}, {"ServiceName", W, 32}}},
        {"DNSSearchServers", kDeviceID, nullptr,
         {{"CardName", W, 128}, {"MACAddress", W, 17}, {"SearchOrder", I, 0}, {"DNSServer", W, 15}}},
        {"IPX_SPX", kDeviceID, nullptr,
         {{"CardName", W, 128}, {"MACAddress", W, 17}, {"IPXAddress", W, 32}, {"IPXNetworkNumber", W, 32},
          {"IPXVirtualNetNumber", W, 32}, {"IPXFrameType", W, 32}, {"IPXMediaType", W, 32}, {"IPXEnabled", B, 0}}},
        {"SelectServices", kDeviceID, nullptr, {{"Name", W, 128}, {"Type", W, 16}}},
        {"NetworkProtocols", kDeviceID, nullptr, {{"Caption", W, 16}, {"Name", W, 128}, {"Description", W, 128}}},
        {"NetworkAdapters", kHardwareKey, nullptr,
         {{"Description", W, 64}, {"DeviceID", W, 16}, {"MACAddress", W, 17}, {"AdapterType", W, 64},
          {"Manufacturer", W, 64}, {"Speed", I, 0}, {"MaxSpeed", I, 0}, {"ServiceName", W, 16}}},
        {"SharedRes", kDeviceID, nullptr,
         {{"Name", W, 16}, {"Description", W, 64}, {"Path", W, 128}, {"Type", I, 0}}},
        {"Drivers", kSoftwareKey, nullptr,
         {{"Name", W, 64}, {"Path", W, 128}, {"Type", W, 32}, {"Version", W, 32}, {"DateCreated", T, 0}}},
        {"RegSoftwarePackages", kSoftwareKey, nullptr,
         {{"Name", W, 128}, {"Version", W, 32}, {"Serial#", W, 32}, {"Publisher", W, 64}, {"InstallDate", W, 8}}},
        {"RegSoftwareAppl", kSoftwareKey, nullptr,
         {{"Name", W, 64}, {"Path", W, 128}, {"Version", W, 32}, {"DateCreated", T, 0}}},
    };
    return tables;
}

const TableDef* findTable(const std::string& name) {
    for (const TableDef& t : tableList())
        if (name == t.name) return &t;
    return nullptr;
}

std::string quoted(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

namespace {

// One column definition: storage class, nullability and the check that stands for the column's
// type and size (a text of more characters, a number outside 32 bits, a malformed date fail).
std::string columnSql(const Column& c, bool nullable) {
    const std::string q = quoted(c.name);
    std::string sql = q;
    switch (c.type) {
        case ColumnType::VarWChar:
            sql += " TEXT" + std::string(nullable ? "" : " NOT NULL") + " CHECK (length(" + q +
                   ") <= " + std::to_string(c.size) + ")";
            break;
        case ColumnType::Integer:
            sql += " INTEGER" + std::string(nullable ? "" : " NOT NULL") + " CHECK (" + q +
                   " BETWEEN -2147483648 AND 2147483647)";
            break;
        case ColumnType::Single:
        case ColumnType::Double: sql += " REAL" + std::string(nullable ? "" : " NOT NULL"); break;
        case ColumnType::Date:
            sql += " TEXT" + std::string(nullable ? "" : " NOT NULL") + " CHECK (" + q +
                   " GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]')";
            break;
        case ColumnType::Boolean: sql += " INTEGER NOT NULL DEFAULT 0 CHECK (" + q + " IN (0, 1))"; break;
    }
    return sql;
}

std::string keyColumnList() {
    std::string list;
    for (const Column& c : inventoryKeyColumns()) list += (list.empty() ? "" : ", ") + quoted(c.name);
    return list;
}

}  // namespace

std::vector<std::string> createTableSql(const TableDef& table) {
    std::string sql = "CREATE TABLE " + quoted(table.name) + " (\n";
    const auto& key = inventoryKeyColumns();
    // InvDateTime and DeviceName refuse Null; DomainWorkGrp and the category columns allow it,
    // except Booleans, which never hold Null.
    sql += "  " + columnSql(key[0], false) + ",\n";
    sql += "  " + columnSql(key[1], true) + ",\n";
    sql += "  " + columnSql(key[2], false);
    for (const Column& c : table.columns) sql += ",\n  " + columnSql(c, c.type != ColumnType::Boolean);
    const std::string keyList = keyColumnList();
    if (table.primaryKey)
        sql += ",\n  CONSTRAINT " + quoted(table.primaryKey) + " PRIMARY KEY (" + keyList + ")";
    if (table.parent)
        sql += ",\n  CONSTRAINT " + quoted(std::string(table.name) + "FKey") + " FOREIGN KEY (" + keyList +
               ") REFERENCES " + quoted(table.parent) + " (" + keyList + ") ON UPDATE CASCADE ON DELETE CASCADE";
    // A keyed table refuses Null in every key column (WITHOUT ROWID enforces it, while the column
    // itself stays declared nullable); STRICT refuses a value of the wrong storage class.
    sql += "\n)";
    sql += table.primaryKey ? " WITHOUT ROWID, STRICT" : " STRICT";
    std::vector<std::string> statements = {sql};
    // The index that serves the foreign key, so that a cascade finds the child rows directly.
    if (table.parent && !table.primaryKey)
        statements.push_back("CREATE INDEX " + quoted(std::string(table.name) + "FKeyIndex") + " ON " +
                             quoted(table.name) + " (" + keyList + ")");
    return statements;
}

std::string insertSql(const TableDef& table) {
    std::string names = keyColumnList(), params = "?, ?, ?";
    for (const Column& c : table.columns) {
        names += ", " + quoted(c.name);
        params += ", ?";
    }
    return "INSERT INTO " + quoted(table.name) + " (" + names + ") VALUES (" + params + ")";
}

}  // namespace qv::database

// The 36 inventory tables as data, and the SQL that creates and fills them.
#include "database/schema.h"

#include <stdexcept>

namespace qv::database {

namespace {

constexpr ColumnType W = ColumnType::VarWChar, I = ColumnType::Integer, S = ColumnType::Single,
                     D = ColumnType::Double, T = ColumnType::Date, B = ColumnType::Boolean;

const char* const kDeviceID = "DeviceID";
const char* const kHardwareKey = "HardwareKey";
const char* const kSoftwareKey = "SoftwareKey";

// A text column that holds its property's trimmed text, cut to `size` by the writer.
constexpr Column C(const char* name, int size, const char* property) { return {name, W, size, property, true}; }

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
    // Per column: name, type, width and the property it comes from; C(...) marks a copied text.
    static const std::vector<TableDef> tables = {
        {kDeviceID, nullptr, "PrimaryKey",
         {{"Role", W, 29, "DomainRole"}, C("Owner", 64, "PrimaryOwnerName"), C("Contact", 64, "PrimaryOwnerContact"),
          C("CurrentUser", 32, "UserName"), C("Manufacturer", 64, "Manufacturer"), C("Model", 64, "Model"),
          C("IdentifyingNumber", 25, "IdentifyingNumber"), C("UUID", 36, "UUID"),
          {"TotalRAM(Bytes)", D, 0, "TotalPhysicalMemory"}, C("SystemType", 24, "SystemType")}},
        {kSoftwareKey, kDeviceID, "SwPrimaryKey", {}},
        {kHardwareKey, kDeviceID, "HwPrimaryKey", {}},
        {"OSData", kDeviceID, nullptr,
         {{"OSName", W, 64, "Name"}, C("Version", 16, "Version"), C("CSDVersion", 32, "CSDVersion"),
          C("SerialNumber", 32, "SerialNumber"), C("InstallDate", 25, "InstallDate"),
          C("Organization", 64, "Organization"), C("RegisteredUser", 16, "RegisteredUser"),
          {"NumberOfLicUsers", I, 0, "NumberOfLicensedUsers"}, {"OSProductSuite", W, 64, "OSProductSuite"},
          {"OSType", W, 32, "OSType"}, {"OSLanguage", I, 0, "OSLanguage"}, {"CodeSet", I, 0, "CodeSet"},
          {"CountryCode", I, 0, "CountryCode"}, C("Locale", 16, "Locale"), C("LocalDateTime", 25, "LocalDateTime"),
          C("WindowsDirectory", 64, "WindowsDirectory"), C("SystemDirectory", 64, "SystemDirectory"),
          C("OSManufacturer", 64, "Manufacturer"), C("Description", 64, "Description"), {"SysSvcsCount", I, 0},
          {"SysSvcsRunCount", I, 0}}},
        {"EnvStrings", kDeviceID, nullptr,
         {{"Owner", W, 255, "UserName"}, {"VarName", W, 255, "Name"}, {"VarValue", W, 255, "VariableValue"}}},
        {"BIOS", kHardwareKey, nullptr,
         {C("Description", 32, "Description"), C("Manufacturer", 32, "Manufacturer"),
          {"SMBIOSVersion", W, 16, "SMBIOSBIOSVersion"}, C("ReleaseDate", 25, "ReleaseDate"),
          C("CurrentLanguage", 16, "CurrentLanguage"), C("SerialNumber", 32, "SerialNumber")}},
        {"CPU", kHardwareKey, nullptr,
         {C("CPUID", 8, "DeviceID"), C("CPUName", 64, "Name"), {"CPU", W, 64, "Family"},
          {"MaxClockSpeed", I, 0, "MaxClockSpeed"}, {"CurrentClockSpeed", I, 0, "CurrentClockSpeed"},
          {"L2CacheSize", I, 0, "L2CacheSize"}, C("CPUManufacturer", 64, "Manufacturer"),
          C("Description", 64, "Description"), C("ProcessorId", 16, "ProcessorId")}},
        {"RAM", kHardwareKey, nullptr,
         {C("Description", 16, "Description"), C("BankLabel", 32, "BankLabel"), {"Capacity", S, 0, "Capacity"}}},
        {"BaseBoard", kHardwareKey, nullptr,
         {C("Name", 16, "Name"), C("Product", 32, "Product"), C("Manufacturer", 32, "Manufacturer"),
          C("SerialNumber", 32, "SerialNumber"), C("Version", 32, "Version")}},
        {"Chassis", kHardwareKey, nullptr,
         {C("Description", 64, "Description"), C("Manufacturer", 64, "Manufacturer"),
          C("SMBIOSAssetTag", 32, "SMBIOSAssetTag")}},
        {"LogicalDrives", kDeviceID, nullptr,
         {C("Name", 32, "Name"), C("Description", 64, "Description"), {"DriveType", W, 32, "DriveType"},
          C("FileSystem", 16, "FileSystem"), {"MaxSpace", S, 0, "Size"}, {"FreeSpace", S, 0, "FreeSpace"},
          {"MediaType", W, 64, "MediaType"}}},
        {"HardDisk", kHardwareKey, nullptr,
         {C("Description", 16, "Description"), C("InterfaceType", 16, "InterfaceType"),
          C("Manufacturer", 32, "Manufacturer"), C("Model", 64, "Model"), {"Size", D, 0, "Size"},
          {"Partitions", I, 0, "Partitions"}}},
        {"CD_DVD", kHardwareKey, nullptr,
         {C("Drive", 32, "Drive"), C("Name", 32, "Name"), C("Description", 32, "Description"),
          C("Manufacturer", 32, "Manufacturer")}},
        {"TapeDrive", kHardwareKey, nullptr,
         {C("Name", 64, "Name"), C("Model", 64, "ID"), C("Description", 32, "Description"),
          C("Manufacturer", 32, "Manufacturer"), C("DeviceID", 128, "DeviceID")}},
        {"PointDevice", kHardwareKey, nullptr,
         {C("Description", 64, "Description"), C("Manufacturer", 32, "Manufacturer"),
          {"Interface", W, 32, "DeviceInterface"}, {"PointerType", W, 32, "PointingType"}}},
        {"Keyboard", kHardwareKey, nullptr,
         {C("Caption", 32, "Caption"), C("Description", 64, "Description"), C("Layout", 8, "Layout")}},
        {"PortCon", kHardwareKey, nullptr,
         {C("Tag", 255, "Tag"), C("ExtRefDesignator", 128, "ExternalReferenceDesignator"),
          C("IntRefDesignator", 128, "InternalReferenceDesignator"), {"PortType", W, 64, "PortType"}}},
        {"SerialPorts", kHardwareKey, nullptr,
         {C("PortID", 8, "DeviceID"), C("Description", 32, "Description"), C("ProviderType", 32, "ProviderType")}},
        {"ParallelPorts", kHardwareKey, nullptr, {C("PortID", 8, "DeviceID")}},
        {"USB", kHardwareKey, nullptr, {{"Reference", W, 8}, C("ID", 128, "DeviceID"), C("Name", 128, "Name")}},
        {"SCSI", kHardwareKey, nullptr,
         {{"Reference", W, 16}, C("ID", 128, "DeviceID"), C("Description", 128, "Description")}},
        {"Modem", kHardwareKey, nullptr,
         {{"Reference", W, 8}, C("Caption", 64, "Caption"), C("AttachedTo", 8, "AttachedTo"),
          C("ServiceType", 16, "DeviceType"), C("ID", 128, "DeviceID"), C("ProviderName", 32, "ProviderName")}},
        {"Audio", kHardwareKey, nullptr,
         {{"Reference", W, 8}, C("Name", 64, "Name"), C("Manufacturer", 32, "Manufacturer"), C("ID", 128, "DeviceID")}},
        {"Monitor", kHardwareKey, nullptr,
         {C("ID", 16, "DeviceID"), C("Name", 64, "Name"), {"ScreenHeight", I, 0, "ScreenHeight"},
          {"ScreenWidth", I, 0, "ScreenWidth"}, C("Manufacturer", 64, "MonitorManufacturer")}},
        {"VideoAdapter", kHardwareKey, nullptr,
         {C("ID", 32, "DeviceID"), C("Name", 64, "Name"), {"AdapterRAM", I, 0, "AdapterRAM"},
          {"Architecture", W, 32, "VideoArchitecture"}, C("VideoMode", 64, "VideoModeDescription"),
          {"RefreshRate", I, 0, "CurrentRefreshRate"}, C("Processor", 32, "VideoProcessor")}},
        {"Printers", kHardwareKey, nullptr,
         {{"Reference", W, 16}, C("Name", 32, "DeviceID"), C("DriverName", 64, "DriverName"),
          C("PortName", 64, "PortName"), {"Default", B, 0, "Default"}}},
        {"TCP_IP", kDeviceID, nullptr,
         {C("CardName", 128, "Caption"), {"IPEnabled", B, 0, "IPEnabled"}, C("IPAddress", 15, "IPAddress"),
          C("IPSubnet", 15, "IPSubnet"), C("MACAddress", 17, "MACAddress"),
          C("DefaultIPGateway", 15, "DefaultIPGateway"), {"DHCPEnabled", B, 0, "DHCPEnabled"},
          C("DHCPLeaseExpires", 25, "DHCPLeaseExpires"), C("DHCPLeaseObtained", 25, "DHCPLeaseObtained"),
          C("DHCPServer", 15, "DHCPServer"), C("DNSHostName", 64, "DNSHostName"), C("DNSDomain", 64, "DNSDomain"),
          {"DNSSearchCount", I, 0, "DNSServerSearchOrder"},
          {"DNSEnabled4WINSRes", B, 0, "DNSEnabledForWINSResolution"},
          {"DomDNSRegistEnabled", B, 0, "DomainDNSRegistrationEnabled"}, C("WINSPrimary", 15, "WINSPrimaryServer"),
          C("WINSSecondary", 15, "WINSSecondaryServer"), C("WINSScopeID", 64, "WINSScopeID"),
          {"TcpipNetbiosOptions", W, 64, "TcpipNetbiosOptions"}, {"WINSLMHostsLookup", B, 0, "WINSEnableLMHostsLookup"},
          C("WINSHostLookupFile", 64, "WINSHostLookupFile"), C("ServiceName", 32, "ServiceName")}},
        {"DNSSearchServers", kDeviceID, nullptr,
         {C("CardName", 128, "Caption"), C("MACAddress", 17, "MACAddress"), {"SearchOrder", I, 0},
          {"DNSServer", W, 15, "DNSServerSearchOrder"}}},
        {"IPX_SPX", kDeviceID, nullptr,
         {C("CardName", 128, "Caption"), C("MACAddress", 17, "MACAddress"), C("IPXAddress", 32, "IPXAddress"),
          C("IPXNetworkNumber", 32, "IPXNetworkNumber"), C("IPXVirtualNetNumber", 32, "IPXVirtualNetNumber"),
          {"IPXFrameType", W, 32, "IPXFrameType"}, {"IPXMediaType", W, 32, "IPXMediaType"},
          {"IPXEnabled", B, 0, "IPXEnabled"}}},
        {"SelectServices", kDeviceID, nullptr, {{"Name", W, 128, "DisplayName"}, {"Type", W, 16}}},
        {"NetworkProtocols", kDeviceID, nullptr,
         {C("Caption", 16, "Caption"), C("Name", 128, "Name"), C("Description", 128, "Description")}},
        {"NetworkAdapters", kHardwareKey, nullptr,
         {C("Description", 64, "Description"), C("DeviceID", 16, "DeviceID"), C("MACAddress", 17, "MACAddress"),
          C("AdapterType", 64, "AdapterType"), C("Manufacturer", 64, "Manufacturer"), {"Speed", I, 0, "Speed"},
          {"MaxSpeed", I, 0, "MaxSpeed"}, C("ServiceName", 16, "ServiceName")}},
        {"SharedRes", kDeviceID, nullptr,
         {C("Name", 16, "Name"), C("Description", 64, "Description"), C("Path", 128, "Path"), {"Type", I, 0, "Type"}}},
        {"Drivers", kSoftwareKey, nullptr,
         {C("Name", 64, "Caption"), C("Path", 128, "Pathname"), C("Type", 32, "ServiceType"), {"Version", W, 32},
          {"DateCreated", T, 0}}},
        {"RegSoftwarePackages", kSoftwareKey, nullptr,
         {{"Name", W, 128, "DisplayName"}, {"Version", W, 32, "DisplayVersion"}, {"Serial#", W, 32, "ProductID"},
          {"Publisher", W, 64, "Publisher"}, {"InstallDate", W, 8, "InstallDate"}}},
        {"RegSoftwareAppl", kSoftwareKey, nullptr,
         {{"Name", W, 64, "ProgID"}, {"Path", W, 128, "LocalServer32"}, {"Version", W, 32}, {"DateCreated", T, 0}}},
    };
    return tables;
}

const TableDef* findTable(const std::string& name) {
    for (const TableDef& t : tableList())
        if (name == t.name) return &t;
    return nullptr;
}

std::size_t columnWidth(const std::string& table, const std::string& column) {
    if (const TableDef* t = findTable(table))
        for (const Column& c : t->columns)
            if (column == c.name && c.type == ColumnType::VarWChar) return static_cast<std::size_t>(c.size);
    throw std::out_of_range("no text column " + table + "." + column);
}

std::string quoted(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace qv::database

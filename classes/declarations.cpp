// The declarations of the management classes and inventory tables: each class with the properties
// the program reads and their types, each table with its columns, their widths, the property each
// comes from and the name people read for it. The schema, the property types, the collectors'
// copied columns and qvdb's column names are all derived from here.
#include "classes/declarations.h"

#include "platform/text.h"

namespace qv::classes {

namespace {

using enum CimType;
constexpr bool kArray = true;
constexpr ColumnType W = ColumnType::VarWChar, I = ColumnType::Integer, S = ColumnType::Single,
                     D = ColumnType::Double, T = ColumnType::Date, B = ColumnType::Boolean;

// A text column that holds its property's trimmed text, cut to `size` by the writer.
constexpr Column C(const char* name, int size, const char* property, const char* label = nullptr) {
    return {name, W, size, property, true, label};
}
// An Integer column that holds its property's number when it fits 32 bits, else 0.
constexpr Column N(const char* name, const char* property, const char* label = nullptr) {
    return {name, I, 0, property, true, label};
}
// A Boolean column that holds its property read as a Boolean.
constexpr Column F(const char* name, const char* property, const char* label = nullptr) {
    return {name, B, 0, property, true, label};
}
// A column the collector makes, from its property or alone.
constexpr Column M(const char* name, ColumnType type, int size, const char* property = nullptr,
                   const char* label = nullptr) {
    return {name, type, size, property, false, label};
}

// Report lines: a property shown under its own name, under another label, with a text after it,
// and a value the collector computes.
constexpr ReportLine P(const char* property) { return {property, property}; }
constexpr ReportLine L(const char* label, const char* property) { return {label, property}; }
constexpr ReportLine U(const char* property, const char* unit) { return {property, property, unit}; }
constexpr ReportLine X(const char* label) { return {label}; }

}  // namespace

// From the classes' published definitions (their MOF syntax); each class stands before the first
// table that reads it.
constexpr Property kComputerSystemProperties[] = {
    {"Domain", String}, {"PartOfDomain", Boolean}, {"DomainRole", Uint16}, {"PrimaryOwnerName", String},
    {"PrimaryOwnerContact", String}, {"UserName", String}, {"Manufacturer", String}, {"Model", String},
    {"TotalPhysicalMemory", Uint64}, {"SystemType", String},
};
const ClassDecl Win32_ComputerSystem{"Win32_ComputerSystem", kComputerSystemProperties};
constexpr Property kComputerSystemProductProperties[] = {
    {"IdentifyingNumber", String}, {"UUID", String},
};
const ClassDecl Win32_ComputerSystemProduct{"Win32_ComputerSystemProduct", kComputerSystemProductProperties};
constexpr const ClassDecl* kDeviceIDClasses[] = {&Win32_ComputerSystem, &Win32_ComputerSystemProduct};
constexpr Column kDeviceIDColumns[] = {
    M("Role", W, 29, "DomainRole", "Domain role"),
    C("Owner", 64, "PrimaryOwnerName"),
    C("Contact", 64, "PrimaryOwnerContact"),
    C("CurrentUser", 32, "UserName", "Current user"),
    C("Manufacturer", 64, "Manufacturer"),
    C("Model", 64, "Model"),
    C("IdentifyingNumber", 25, "IdentifyingNumber", "Serial number"),
    C("UUID", 36, "UUID", "System UUID"),
    M("TotalRAM(Bytes)", D, 0, "TotalPhysicalMemory", "Installed memory"),
    C("SystemType", 24, "SystemType", "System type"),
};

constexpr Property kOperatingSystemProperties[] = {
    {"Name", String}, {"Version", String}, {"CSDVersion", String}, {"SerialNumber", String},
    {"InstallDate", Datetime}, {"Organization", String}, {"RegisteredUser", String},
    {"NumberOfLicensedUsers", Uint32}, {"OSProductSuite", Uint32}, {"OSType", Uint16}, {"OSLanguage", Uint32},
    {"CodeSet", String}, {"CountryCode", String}, {"Locale", String}, {"LocalDateTime", Datetime},
    {"WindowsDirectory", String}, {"SystemDirectory", String}, {"Manufacturer", String},
    {"Description", String},
};
const ClassDecl Win32_OperatingSystem{"Win32_OperatingSystem", kOperatingSystemProperties};
constexpr Property kBaseServiceProperties[] = {
    {"Name", String}, {"DisplayName", String}, {"Description", String}, {"Caption", String}, {"State", String},
    {"PathName", String}, {"ServiceType", String},
};
const ClassDecl Win32_BaseService{"Win32_BaseService", kBaseServiceProperties};
constexpr const ClassDecl* kOSDataClasses[] = {&Win32_OperatingSystem, &Win32_BaseService};
constexpr Column kOSDataColumns[] = {
    M("OSName", W, 64, "Name", "Name"),
    C("Version", 16, "Version"),
    C("CSDVersion", 32, "CSDVersion", "Service pack"),
    C("SerialNumber", 32, "SerialNumber", "Product ID"),
    C("InstallDate", 25, "InstallDate", "Installed"),
    C("Organization", 64, "Organization"),
    C("RegisteredUser", 16, "RegisteredUser", "Registered user"),
    M("NumberOfLicUsers", I, 0, "NumberOfLicensedUsers", "Licensed users"),
    M("OSProductSuite", W, 64, "OSProductSuite", "Product suite"),
    M("OSType", W, 32, "OSType", "Type"),
    N("OSLanguage", "OSLanguage", "Language"),
    M("CodeSet", I, 0, "CodeSet", "Code page"),
    M("CountryCode", I, 0, "CountryCode", "Country code"),
    C("Locale", 16, "Locale"),
    C("LocalDateTime", 25, "LocalDateTime", "Local time"),
    C("WindowsDirectory", 64, "WindowsDirectory", "Windows folder"),
    C("SystemDirectory", 64, "SystemDirectory", "System folder"),
    C("OSManufacturer", 64, "Manufacturer", "Manufacturer"),
    C("Description", 64, "Description"),
    M("SysSvcsCount", I, 0, nullptr, "Services"),
    M("SysSvcsRunCount", I, 0, nullptr, "Services running"),
};
constexpr ReportLine kOSDataReport[] = {
    X("Name"), P("Version"), X("CSDVersion"), P("SerialNumber"), P("InstallDate"), P("Organization"),
    P("RegisteredUser"), L("NumberOfLicUsers", "NumberOfLicensedUsers"), X("OSProductSuite"), X("OSType"),
    P("OSLanguage"), P("CodeSet"), P("CountryCode"), P("Locale"), P("LocalDateTime"), P("WindowsDirectory"),
    P("SystemDirectory"), P("Manufacturer"), P("Description"),
};

constexpr Property kEnvironmentProperties[] = {
    {"UserName", String}, {"Name", String}, {"VariableValue", String},
};
const ClassDecl Win32_Environment{"Win32_Environment", kEnvironmentProperties};
constexpr const ClassDecl* kEnvStringsClasses[] = {&Win32_Environment};
constexpr Column kEnvStringsColumns[] = {
    M("Owner", W, 255, "UserName", "User"),
    M("VarName", W, 255, "Name", "Variable"),
    M("VarValue", W, 255, "VariableValue", "Value"),
};

constexpr Property kBIOSProperties[] = {
    {"Description", String}, {"Manufacturer", String}, {"SMBIOSBIOSVersion", String},
    {"SMBIOSMajorVersion", Uint16}, {"SMBIOSMinorVersion", Uint16}, {"ReleaseDate", Datetime},
    {"CurrentLanguage", String}, {"SerialNumber", String},
};
const ClassDecl Win32_BIOS{"Win32_BIOS", kBIOSProperties};
constexpr const ClassDecl* kBIOSClasses[] = {&Win32_BIOS};
constexpr Column kBIOSColumns[] = {
    C("Description", 32, "Description"),
    C("Manufacturer", 32, "Manufacturer"),
    M("SMBIOSVersion", W, 16, "SMBIOSBIOSVersion", "BIOS version"),
    C("ReleaseDate", 25, "ReleaseDate", "Release date"),
    C("CurrentLanguage", 16, "CurrentLanguage", "Language"),
    C("SerialNumber", 32, "SerialNumber", "Serial number"),
};
constexpr ReportLine kBIOSReport[] = {
    P("Description"), P("Manufacturer"), X("SMBIOSBIOSVersion"), P("ReleaseDate"), P("CurrentLanguage"),
    P("SerialNumber"),
};

constexpr Property kProcessorProperties[] = {
    {"DeviceID", String}, {"Name", String}, {"Family", Uint16}, {"ProcessorId", String},
    {"Manufacturer", String}, {"Description", String}, {"MaxClockSpeed", Uint32}, {"CurrentClockSpeed", Uint32},
    {"L2CacheSize", Uint32},
};
const ClassDecl Win32_Processor{"Win32_Processor", kProcessorProperties};
constexpr const ClassDecl* kCPUClasses[] = {&Win32_Processor};
constexpr Column kCPUColumns[] = {
    C("CPUID", 8, "DeviceID", "Device"),
    C("CPUName", 64, "Name", "Name"),
    M("CPU", W, 64, "Family", "Family"),
    N("MaxClockSpeed", "MaxClockSpeed", "Maximum speed (MHz)"),
    N("CurrentClockSpeed", "CurrentClockSpeed", "Current speed (MHz)"),
    N("L2CacheSize", "L2CacheSize", "L2 cache (KB)"),
    C("CPUManufacturer", 64, "Manufacturer", "Manufacturer"),
    C("Description", 64, "Description"),
    C("ProcessorId", 16, "ProcessorId", "Processor ID"),
};
constexpr ReportLine kCPUReport[] = {
    X("ID"), X("Name"), X("Family"), U("MaxClockSpeed", " MHz"), U("CurrentClockSpeed", " MHz"),
    U("L2CacheSize", " K"), P("Manufacturer"), P("Description"), P("ProcessorId"),
};

constexpr Property kPhysicalMemoryProperties[] = {
    {"Capacity", Uint64}, {"BankLabel", String}, {"Description", String},
};
const ClassDecl Win32_PhysicalMemory{"Win32_PhysicalMemory", kPhysicalMemoryProperties};
constexpr const ClassDecl* kRAMClasses[] = {&Win32_PhysicalMemory};
constexpr Column kRAMColumns[] = {
    C("Description", 16, "Description"),
    C("BankLabel", 32, "BankLabel", "Bank"),
    M("Capacity", S, 0, "Capacity"),
};
constexpr ReportLine kRAMReport[] = {
    P("Description"), P("BankLabel"), X("Capacity"),
};

constexpr Property kBaseBoardProperties[] = {
    {"Product", String}, {"Version", String}, {"Name", String}, {"Manufacturer", String},
    {"SerialNumber", String},
};
const ClassDecl Win32_BaseBoard{"Win32_BaseBoard", kBaseBoardProperties};
constexpr const ClassDecl* kBaseBoardClasses[] = {&Win32_BaseBoard};
constexpr Column kBaseBoardColumns[] = {
    C("Name", 16, "Name"),
    C("Product", 32, "Product"),
    C("Manufacturer", 32, "Manufacturer"),
    C("SerialNumber", 32, "SerialNumber", "Serial number"),
    C("Version", 32, "Version"),
};
constexpr ReportLine kBaseBoardReport[] = {
    P("Name"), P("Product"), P("Manufacturer"), P("SerialNumber"), P("Version"),
};

constexpr Property kSystemEnclosureProperties[] = {
    {"Description", String}, {"Manufacturer", String}, {"SMBIOSAssetTag", String},
};
const ClassDecl Win32_SystemEnclosure{"Win32_SystemEnclosure", kSystemEnclosureProperties};
constexpr const ClassDecl* kChassisClasses[] = {&Win32_SystemEnclosure};
constexpr Column kChassisColumns[] = {
    C("Description", 64, "Description"),
    C("Manufacturer", 64, "Manufacturer"),
    C("SMBIOSAssetTag", 32, "SMBIOSAssetTag", "Asset tag"),
};
constexpr ReportLine kChassisReport[] = {
    P("Description"), P("Manufacturer"), P("SMBIOSAssetTag"),
};

constexpr Property kLogicalDiskProperties[] = {
    {"Name", String}, {"Description", String}, {"DriveType", Uint32}, {"FileSystem", String},
    {"FreeSpace", Uint64}, {"Size", Uint64}, {"MediaType", Uint32},
};
const ClassDecl Win32_LogicalDisk{"Win32_LogicalDisk", kLogicalDiskProperties};
constexpr const ClassDecl* kLogicalDrivesClasses[] = {&Win32_LogicalDisk};
constexpr Column kLogicalDrivesColumns[] = {
    C("Name", 32, "Name"),
    C("Description", 64, "Description"),
    M("DriveType", W, 32, "DriveType", "Type"),
    C("FileSystem", 16, "FileSystem", "File system"),
    M("MaxSpace", S, 0, "Size", "Size"),
    M("FreeSpace", S, 0, "FreeSpace", "Free"),
    M("MediaType", W, 64, "MediaType", "Media type"),
};
constexpr ReportLine kLogicalDrivesReport[] = {
    P("Name"), P("Description"), X("DriveType"), P("FileSystem"), X("FreeSpace"), X("Size"), X("MediaType"),
};

constexpr Property kDiskDriveProperties[] = {
    {"InterfaceType", String}, {"Model", String}, {"Manufacturer", String}, {"Description", String},
    {"Size", Uint64}, {"Partitions", Uint32},
};
const ClassDecl Win32_DiskDrive{"Win32_DiskDrive", kDiskDriveProperties};
constexpr const ClassDecl* kHardDiskClasses[] = {&Win32_DiskDrive};
constexpr Column kHardDiskColumns[] = {
    C("Description", 16, "Description"),
    C("InterfaceType", 16, "InterfaceType", "Interface"),
    C("Manufacturer", 32, "Manufacturer"),
    C("Model", 64, "Model"),
    M("Size", D, 0, "Size"),
    N("Partitions", "Partitions"),
};
constexpr ReportLine kHardDiskReport[] = {
    P("Description"), P("InterfaceType"), P("Manufacturer"), P("Model"), X("Size"), P("Partitions"),
};

constexpr Property kCDROMDriveProperties[] = {
    {"Drive", String}, {"Name", String}, {"Description", String}, {"Manufacturer", String},
};
const ClassDecl Win32_CDROMDrive{"Win32_CDROMDrive", kCDROMDriveProperties};
constexpr const ClassDecl* kCDDVDClasses[] = {&Win32_CDROMDrive};
constexpr Column kCDDVDColumns[] = {
    C("Drive", 32, "Drive"),
    C("Name", 32, "Name"),
    C("Description", 32, "Description"),
    C("Manufacturer", 32, "Manufacturer"),
};
constexpr ReportLine kCDDVDReport[] = {
    P("Drive"), P("Description"), P("Manufacturer"),
};

constexpr Property kTapeDriveProperties[] = {
    {"Name", String}, {"Id", String}, {"Description", String}, {"Manufacturer", String}, {"DeviceID", String},
};
const ClassDecl Win32_TapeDrive{"Win32_TapeDrive", kTapeDriveProperties};
constexpr const ClassDecl* kTapeDriveClasses[] = {&Win32_TapeDrive};
constexpr Column kTapeDriveColumns[] = {
    C("Name", 64, "Name"),
    C("Model", 64, "ID"),
    C("Description", 32, "Description"),
    C("Manufacturer", 32, "Manufacturer"),
    C("DeviceID", 128, "DeviceID"),
};
constexpr ReportLine kTapeDriveReport[] = {
    P("Name"), L("Model", "ID"), P("Description"), P("Manufacturer"), P("DeviceID"),
};

constexpr Property kPointingDeviceProperties[] = {
    {"Description", String}, {"Manufacturer", String}, {"DeviceInterface", Uint16}, {"PointingType", Uint16},
};
const ClassDecl Win32_PointingDevice{"Win32_PointingDevice", kPointingDeviceProperties};
constexpr const ClassDecl* kPointDeviceClasses[] = {&Win32_PointingDevice};
constexpr Column kPointDeviceColumns[] = {
    C("Description", 64, "Description"),
    C("Manufacturer", 32, "Manufacturer"),
    M("Interface", W, 32, "DeviceInterface"),
    M("PointerType", W, 32, "PointingType", "Pointer type"),
};
constexpr ReportLine kPointDeviceReport[] = {
    P("Description"), P("Manufacturer"), X("DeviceInterface"), X("PointingType"),
};

constexpr Property kKeyboardProperties[] = {
    {"Caption", String}, {"Layout", String}, {"Description", String},
};
const ClassDecl Win32_Keyboard{"Win32_Keyboard", kKeyboardProperties};
constexpr const ClassDecl* kKeyboardClasses[] = {&Win32_Keyboard};
constexpr Column kKeyboardColumns[] = {
    C("Caption", 32, "Caption"),
    C("Description", 64, "Description"),
    C("Layout", 8, "Layout"),
};
constexpr ReportLine kKeyboardReport[] = {
    P("Caption"), P("Description"), P("Layout"),
};

constexpr Property kPortConnectorProperties[] = {
    {"Tag", String}, {"ExternalReferenceDesignator", String}, {"InternalReferenceDesignator", String},
    {"PortType", Uint16},
};
const ClassDecl Win32_PortConnector{"Win32_PortConnector", kPortConnectorProperties};
constexpr const ClassDecl* kPortConClasses[] = {&Win32_PortConnector};
constexpr Column kPortConColumns[] = {
    C("Tag", 255, "Tag"),
    C("ExtRefDesignator", 128, "ExternalReferenceDesignator", "External connector"),
    C("IntRefDesignator", 128, "InternalReferenceDesignator", "Internal connector"),
    M("PortType", W, 64, "PortType", "Port type"),
};
constexpr ReportLine kPortConReport[] = {
    P("Tag"), L("ExtRefDesignator", "ExternalReferenceDesignator"),
    L("IntRefDesignator", "InternalReferenceDesignator"), X("PortType"),
};

constexpr Property kSerialPortProperties[] = {
    {"DeviceID", String}, {"Description", String}, {"ProviderType", String},
};
const ClassDecl Win32_SerialPort{"Win32_SerialPort", kSerialPortProperties};
constexpr const ClassDecl* kSerialPortsClasses[] = {&Win32_SerialPort};
constexpr Column kSerialPortsColumns[] = {
    C("PortID", 8, "DeviceID", "Port"),
    C("Description", 32, "Description"),
    C("ProviderType", 32, "ProviderType", "Provider"),
};
constexpr ReportLine kSerialPortsReport[] = {
    P("DeviceID"), P("Description"), P("ProviderType"),
};

constexpr Property kParallelPortProperties[] = {
    {"DeviceID", String},
};
const ClassDecl Win32_ParallelPort{"Win32_ParallelPort", kParallelPortProperties};
constexpr const ClassDecl* kParallelPortsClasses[] = {&Win32_ParallelPort};
constexpr Column kParallelPortsColumns[] = {
    C("PortID", 8, "DeviceID", "Port"),
};
constexpr ReportLine kParallelPortsReport[] = {
    P("DeviceID"),
};

constexpr Property kUSBControllerProperties[] = {
    {"DeviceID", String}, {"Name", String},
};
const ClassDecl Win32_USBController{"Win32_USBController", kUSBControllerProperties};
constexpr const ClassDecl* kUSBClasses[] = {&Win32_USBController};
constexpr Column kUSBColumns[] = {
    M("Reference", W, 8),
    C("ID", 128, "DeviceID"),
    C("Name", 128, "Name"),
};
constexpr ReportLine kUSBReport[] = {
    P("DeviceID"), P("Name"),
};

constexpr Property kSCSIControllerProperties[] = {
    {"DeviceID", String}, {"Description", String},
};
const ClassDecl Win32_SCSIController{"Win32_SCSIController", kSCSIControllerProperties};
constexpr const ClassDecl* kSCSIClasses[] = {&Win32_SCSIController};
constexpr Column kSCSIColumns[] = {
    M("Reference", W, 16),
    C("ID", 128, "DeviceID"),
    C("Description", 128, "Description"),
};
constexpr ReportLine kSCSIReport[] = {
    P("DeviceID"), P("Description"),
};

constexpr Property kPOTSModemProperties[] = {
    {"Caption", String}, {"AttachedTo", String}, {"DeviceID", String}, {"DeviceType", String},
    {"ProviderName", String},
};
const ClassDecl Win32_POTSModem{"Win32_POTSModem", kPOTSModemProperties};
constexpr const ClassDecl* kModemClasses[] = {&Win32_POTSModem};
constexpr Column kModemColumns[] = {
    M("Reference", W, 8),
    C("Caption", 64, "Caption"),
    C("AttachedTo", 8, "AttachedTo", "Attached to"),
    C("ServiceType", 16, "DeviceType", "Service type"),
    C("ID", 128, "DeviceID"),
    C("ProviderName", 32, "ProviderName", "Provider"),
};
constexpr ReportLine kModemReport[] = {
    P("Caption"), P("AttachedTo"), P("DeviceID"), P("DeviceType"), P("ProviderName"),
};

constexpr Property kSoundDeviceProperties[] = {
    {"Name", String}, {"Manufacturer", String}, {"DeviceID", String},
};
const ClassDecl Win32_SoundDevice{"Win32_SoundDevice", kSoundDeviceProperties};
constexpr const ClassDecl* kAudioClasses[] = {&Win32_SoundDevice};
constexpr Column kAudioColumns[] = {
    M("Reference", W, 8),
    C("Name", 64, "Name"),
    C("Manufacturer", 32, "Manufacturer"),
    C("ID", 128, "DeviceID"),
};
constexpr ReportLine kAudioReport[] = {
    P("Name"), P("Manufacturer"), P("DeviceID"),
};

constexpr Property kDesktopMonitorProperties[] = {
    {"DeviceID", String}, {"Name", String}, {"MonitorManufacturer", String}, {"ScreenHeight", Uint32},
    {"ScreenWidth", Uint32},
};
const ClassDecl Win32_DesktopMonitor{"Win32_DesktopMonitor", kDesktopMonitorProperties};
constexpr const ClassDecl* kMonitorClasses[] = {&Win32_DesktopMonitor};
constexpr Column kMonitorColumns[] = {
    C("ID", 16, "DeviceID"),
    C("Name", 64, "Name"),
    N("ScreenHeight", "ScreenHeight", "Height"),
    N("ScreenWidth", "ScreenWidth", "Width"),
    C("Manufacturer", 64, "MonitorManufacturer"),
};
constexpr ReportLine kMonitorReport[] = {
    L("MonitorID", "DeviceID"), L("MonitorName", "Name"), P("ScreenHeight"), P("ScreenWidth"),
    P("MonitorManufacturer"),
};

constexpr Property kVideoControllerProperties[] = {
    {"DeviceID", String}, {"Name", String}, {"AdapterRAM", Uint32}, {"VideoArchitecture", Uint16},
    {"VideoModeDescription", String}, {"CurrentRefreshRate", Uint32}, {"VideoMode", Uint16},
    {"VideoProcessor", String},
};
const ClassDecl Win32_VideoController{"Win32_VideoController", kVideoControllerProperties};
constexpr const ClassDecl* kVideoAdapterClasses[] = {&Win32_VideoController};
constexpr Column kVideoAdapterColumns[] = {
    C("ID", 32, "DeviceID"),
    C("Name", 64, "Name"),
    N("AdapterRAM", "AdapterRAM", "Memory"),
    M("Architecture", W, 32, "VideoArchitecture"),
    C("VideoMode", 64, "VideoModeDescription", "Video mode"),
    N("RefreshRate", "CurrentRefreshRate", "Refresh rate (Hz)"),
    C("Processor", 32, "VideoProcessor"),
};
constexpr ReportLine kVideoAdapterReport[] = {
    L("ID", "DeviceID"), P("Name"), X("AdapterRAM"), X("Architecture"), P("VideoModeDescription"),
    P("CurrentRefreshRate"), P("VideoMode"), P("VideoProcessor"),
};

constexpr Property kPrinterProperties[] = {
    {"DeviceID", String}, {"DriverName", String}, {"PortName", String}, {"Default", Boolean},
};
const ClassDecl Win32_Printer{"Win32_Printer", kPrinterProperties};
constexpr const ClassDecl* kPrintersClasses[] = {&Win32_Printer};
constexpr Column kPrintersColumns[] = {
    M("Reference", W, 16),
    C("Name", 32, "DeviceID"),
    C("DriverName", 64, "DriverName", "Driver"),
    C("PortName", 64, "PortName", "Port"),
    F("Default", "Default"),
};
constexpr ReportLine kPrintersReport[] = {
    L("Name", "DeviceID"), P("DriverName"), P("PortName"), X("Default"),
};

constexpr Property kNetworkAdapterConfigurationProperties[] = {
    {"Caption", String}, {"IPEnabled", Boolean}, {"IPAddress", String, kArray}, {"IPSubnet", String, kArray},
    {"MACAddress", String}, {"DefaultIPGateway", String, kArray}, {"DHCPEnabled", Boolean},
    {"DHCPLeaseExpires", Datetime}, {"DHCPLeaseObtained", Datetime}, {"DHCPServer", String},
    {"DNSHostName", String}, {"DNSDomain", String}, {"DNSServerSearchOrder", String, kArray},
    {"DNSEnabledForWINSResolution", Boolean}, {"DomainDNSRegistrationEnabled", Boolean},
    {"WINSPrimaryServer", String}, {"WINSSecondaryServer", String}, {"WINSScopeID", String},
    {"TcpipNetbiosOptions", Uint32}, {"WINSEnableLMHostsLookup", Boolean}, {"WINSHostLookupFile", String},
    {"ServiceName", String}, {"IPXEnabled", Boolean}, {"IPXAddress", String},
    {"IPXNetworkNumber", String, kArray}, {"IPXVirtualNetNumber", String}, {"IPXFrameType", Uint32, kArray},
    {"IPXMediaType", Uint32},
};
const ClassDecl Win32_NetworkAdapterConfiguration{"Win32_NetworkAdapterConfiguration", kNetworkAdapterConfigurationProperties};
constexpr const ClassDecl* kTCPIPClasses[] = {&Win32_NetworkAdapterConfiguration};
constexpr Column kTCPIPColumns[] = {
    C("CardName", 128, "Caption", "Adapter"),
    M("IPEnabled", B, 0, "IPEnabled", "IP enabled"),
    C("IPAddress", 15, "IPAddress", "IP address"),
    C("IPSubnet", 15, "IPSubnet", "Subnet mask"),
    C("MACAddress", 17, "MACAddress", "MAC address"),
    C("DefaultIPGateway", 15, "DefaultIPGateway", "Gateway"),
    F("DHCPEnabled", "DHCPEnabled", "DHCP"),
    C("DHCPLeaseExpires", 25, "DHCPLeaseExpires", "Lease expires"),
    C("DHCPLeaseObtained", 25, "DHCPLeaseObtained", "Lease obtained"),
    C("DHCPServer", 15, "DHCPServer", "DHCP server"),
    C("DNSHostName", 64, "DNSHostName", "DNS host name"),
    C("DNSDomain", 64, "DNSDomain", "DNS domain"),
    M("DNSSearchCount", I, 0, "DNSServerSearchOrder", "DNS servers"),
    F("DNSEnabled4WINSRes", "DNSEnabledForWINSResolution"),
    F("DomDNSRegistEnabled", "DomainDNSRegistrationEnabled"),
    C("WINSPrimary", 15, "WINSPrimaryServer", "Primary WINS"),
    C("WINSSecondary", 15, "WINSSecondaryServer", "Secondary WINS"),
    C("WINSScopeID", 64, "WINSScopeID"),
    M("TcpipNetbiosOptions", W, 64, "TcpipNetbiosOptions"),
    F("WINSLMHostsLookup", "WINSEnableLMHostsLookup"),
    C("WINSHostLookupFile", 64, "WINSHostLookupFile"),
    C("ServiceName", 32, "ServiceName"),
};

constexpr const ClassDecl* kDNSSearchServersClasses[] = {&Win32_NetworkAdapterConfiguration};
constexpr Column kDNSSearchServersColumns[] = {
    C("CardName", 128, "Caption", "Adapter"),
    C("MACAddress", 17, "MACAddress", "MAC address"),
    M("SearchOrder", I, 0, nullptr, "Order"),
    M("DNSServer", W, 15, "DNSServerSearchOrder", "DNS server"),
};

constexpr const ClassDecl* kIPXSPXClasses[] = {&Win32_NetworkAdapterConfiguration};
constexpr Column kIPXSPXColumns[] = {
    C("CardName", 128, "Caption", "Adapter"),
    C("MACAddress", 17, "MACAddress", "MAC address"),
    C("IPXAddress", 32, "IPXAddress"),
    C("IPXNetworkNumber", 32, "IPXNetworkNumber"),
    C("IPXVirtualNetNumber", 32, "IPXVirtualNetNumber"),
    M("IPXFrameType", W, 32, "IPXFrameType"),
    M("IPXMediaType", W, 32, "IPXMediaType"),
    M("IPXEnabled", B, 0, "IPXEnabled"),
};

constexpr Property kNetworkClientProperties[] = {
    {"Name", String},
};
const ClassDecl Win32_NetworkClient{"Win32_NetworkClient", kNetworkClientProperties};
constexpr const ClassDecl* kSelectServicesClasses[] = {&Win32_BaseService, &Win32_NetworkClient};
constexpr Column kSelectServicesColumns[] = {
    M("Name", W, 128, "DisplayName"),
    M("Type", W, 16),
};

constexpr Property kNetworkProtocolProperties[] = {
    {"Caption", String}, {"Name", String}, {"Description", String},
};
const ClassDecl Win32_NetworkProtocol{"Win32_NetworkProtocol", kNetworkProtocolProperties};
constexpr const ClassDecl* kNetworkProtocolsClasses[] = {&Win32_NetworkProtocol};
constexpr Column kNetworkProtocolsColumns[] = {
    C("Caption", 16, "Caption"),
    C("Name", 128, "Name"),
    C("Description", 128, "Description"),
};
constexpr ReportLine kNetworkProtocolsReport[] = {
    P("Caption"), P("Name"), X("Description"),
};

constexpr Property kNetworkAdapterProperties[] = {
    {"Description", String}, {"DeviceID", String}, {"MACAddress", String}, {"AdapterType", String},
    {"Manufacturer", String}, {"Speed", Uint64}, {"MaxSpeed", Uint64}, {"ServiceName", String},
};
const ClassDecl Win32_NetworkAdapter{"Win32_NetworkAdapter", kNetworkAdapterProperties};
constexpr const ClassDecl* kNetworkAdaptersClasses[] = {&Win32_NetworkAdapter};
constexpr Column kNetworkAdaptersColumns[] = {
    C("Description", 64, "Description"),
    C("DeviceID", 16, "DeviceID"),
    C("MACAddress", 17, "MACAddress", "MAC address"),
    C("AdapterType", 64, "AdapterType", "Type"),
    C("Manufacturer", 64, "Manufacturer"),
    N("Speed", "Speed"),
    N("MaxSpeed", "MaxSpeed", "Maximum speed"),
    C("ServiceName", 16, "ServiceName", "Driver"),
};
constexpr ReportLine kNetworkAdaptersReport[] = {
    P("Description"), P("DeviceID"), P("MACAddress"), P("AdapterType"), P("Manufacturer"), P("Speed"),
    P("MaxSpeed"), P("ServiceName"),
};

constexpr Property kShareProperties[] = {
    {"Name", String}, {"Path", String}, {"Description", String}, {"Type", Uint32},
};
const ClassDecl Win32_Share{"Win32_Share", kShareProperties};
constexpr const ClassDecl* kSharedResClasses[] = {&Win32_Share};
constexpr Column kSharedResColumns[] = {
    C("Name", 16, "Name"),
    C("Description", 64, "Description"),
    C("Path", 128, "Path"),
    M("Type", I, 0, "Type"),
};
constexpr ReportLine kSharedResReport[] = {
    P("Name"), P("Description"), P("Path"), P("Type"),
};

constexpr const ClassDecl* kDriversClasses[] = {&Win32_BaseService};
constexpr Column kDriversColumns[] = {
    C("Name", 64, "Caption"),
    C("Path", 128, "Pathname"),
    C("Type", 32, "ServiceType"),
    M("Version", W, 32),
    M("DateCreated", T, 0, nullptr, "Created"),
};

constexpr Column kRegSoftwarePackagesColumns[] = {
    M("Name", W, 128, "DisplayName"),
    M("Version", W, 32, "DisplayVersion"),
    M("Serial#", W, 32, "ProductID", "Product ID"),
    M("Publisher", W, 64, "Publisher"),
    M("InstallDate", W, 8, "InstallDate", "Installed"),
};

constexpr Column kRegSoftwareApplColumns[] = {
    M("Name", W, 64, "ProgID"),
    M("Path", W, 128, "LocalServer32"),
    M("Version", W, 32),
    M("DateCreated", T, 0, nullptr, "Created"),
};

namespace {

constexpr TableDecl kTables[] = {
    {"DeviceID", nullptr, "PrimaryKey", kDeviceIDClasses, kDeviceIDColumns},
    {"SoftwareKey", "DeviceID", "SwPrimaryKey", {}, {}},
    {"HardwareKey", "DeviceID", "HwPrimaryKey", {}, {}},
    {"OSData", "DeviceID", nullptr, kOSDataClasses, kOSDataColumns, kOSDataReport},
    {"EnvStrings", "DeviceID", nullptr, kEnvStringsClasses, kEnvStringsColumns},
    {"BIOS", "HardwareKey", nullptr, kBIOSClasses, kBIOSColumns, kBIOSReport},
    {"CPU", "HardwareKey", nullptr, kCPUClasses, kCPUColumns, kCPUReport},
    {"RAM", "HardwareKey", nullptr, kRAMClasses, kRAMColumns, kRAMReport},
    {"BaseBoard", "HardwareKey", nullptr, kBaseBoardClasses, kBaseBoardColumns, kBaseBoardReport},
    {"Chassis", "HardwareKey", nullptr, kChassisClasses, kChassisColumns, kChassisReport},
    {"LogicalDrives", "DeviceID", nullptr, kLogicalDrivesClasses, kLogicalDrivesColumns, kLogicalDrivesReport},
    {"HardDisk", "HardwareKey", nullptr, kHardDiskClasses, kHardDiskColumns, kHardDiskReport},
    {"CD_DVD", "HardwareKey", nullptr, kCDDVDClasses, kCDDVDColumns, kCDDVDReport},
    {"TapeDrive", "HardwareKey", nullptr, kTapeDriveClasses, kTapeDriveColumns, kTapeDriveReport},
    {"PointDevice", "HardwareKey", nullptr, kPointDeviceClasses, kPointDeviceColumns, kPointDeviceReport},
    {"Keyboard", "HardwareKey", nullptr, kKeyboardClasses, kKeyboardColumns, kKeyboardReport},
    {"PortCon", "HardwareKey", nullptr, kPortConClasses, kPortConColumns, kPortConReport},
    {"SerialPorts", "HardwareKey", nullptr, kSerialPortsClasses, kSerialPortsColumns, kSerialPortsReport, true},
    {"ParallelPorts", "HardwareKey", nullptr, kParallelPortsClasses, kParallelPortsColumns, kParallelPortsReport, true},
    {"USB", "HardwareKey", nullptr, kUSBClasses, kUSBColumns, kUSBReport},
    {"SCSI", "HardwareKey", nullptr, kSCSIClasses, kSCSIColumns, kSCSIReport},
    {"Modem", "HardwareKey", nullptr, kModemClasses, kModemColumns, kModemReport},
    {"Audio", "HardwareKey", nullptr, kAudioClasses, kAudioColumns, kAudioReport},
    {"Monitor", "HardwareKey", nullptr, kMonitorClasses, kMonitorColumns, kMonitorReport},
    {"VideoAdapter", "HardwareKey", nullptr, kVideoAdapterClasses, kVideoAdapterColumns, kVideoAdapterReport},
    {"Printers", "HardwareKey", nullptr, kPrintersClasses, kPrintersColumns, kPrintersReport},
    {"TCP_IP", "DeviceID", nullptr, kTCPIPClasses, kTCPIPColumns},
    {"DNSSearchServers", "DeviceID", nullptr, kDNSSearchServersClasses, kDNSSearchServersColumns},
    {"IPX_SPX", "DeviceID", nullptr, kIPXSPXClasses, kIPXSPXColumns},
    {"SelectServices", "DeviceID", nullptr, kSelectServicesClasses, kSelectServicesColumns},
    {"NetworkProtocols", "DeviceID", nullptr, kNetworkProtocolsClasses, kNetworkProtocolsColumns, kNetworkProtocolsReport},
    {"NetworkAdapters", "HardwareKey", nullptr, kNetworkAdaptersClasses, kNetworkAdaptersColumns, kNetworkAdaptersReport},
    {"SharedRes", "DeviceID", nullptr, kSharedResClasses, kSharedResColumns, kSharedResReport},
    {"Drivers", "SoftwareKey", nullptr, kDriversClasses, kDriversColumns},
    {"RegSoftwarePackages", "SoftwareKey", nullptr, {}, kRegSoftwarePackagesColumns},
    {"RegSoftwareAppl", "SoftwareKey", nullptr, {}, kRegSoftwareApplColumns},
};

constexpr const ClassDecl* kClasses[] = {
    &Win32_ComputerSystem,
    &Win32_ComputerSystemProduct,
    &Win32_OperatingSystem,
    &Win32_BaseService,
    &Win32_Environment,
    &Win32_LogicalDisk,
    &Win32_BIOS,
    &Win32_Processor,
    &Win32_PhysicalMemory,
    &Win32_SystemEnclosure,
    &Win32_BaseBoard,
    &Win32_DiskDrive,
    &Win32_CDROMDrive,
    &Win32_TapeDrive,
    &Win32_PointingDevice,
    &Win32_Keyboard,
    &Win32_PortConnector,
    &Win32_SerialPort,
    &Win32_ParallelPort,
    &Win32_USBController,
    &Win32_SCSIController,
    &Win32_POTSModem,
    &Win32_SoundDevice,
    &Win32_DesktopMonitor,
    &Win32_VideoController,
    &Win32_NetworkAdapter,
    &Win32_Printer,
    &Win32_NetworkAdapterConfiguration,
    &Win32_NetworkClient,
    &Win32_NetworkProtocol,
    &Win32_Share,
};

}  // namespace

std::span<const ClassDecl* const> classList() { return kClasses; }

const ClassDecl* findClass(std::string_view name) {
    for (const ClassDecl* c : kClasses)
        if (text::equalsIgnoringCase(c->name, name)) return c;
    return nullptr;
}

const Property* findProperty(const ClassDecl& c, std::string_view name) {
    for (const Property& p : c.properties)
        if (text::equalsIgnoringCase(p.name, name)) return &p;
    return nullptr;
}

std::span<const TableDecl> tableList() { return kTables; }

const TableDecl* findTable(std::string_view name) {
    for (const TableDecl& t : kTables)
        if (name == t.name) return &t;
    return nullptr;
}

}  // namespace qv::classes

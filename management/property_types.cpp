// The property-type table of the classes the collectors read, and the typing of values received as text.
#include "management/property_types.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/text.h"

namespace qv::management {

namespace {

using enum CimType;

constexpr bool kArray = true;
constexpr bool kScalar = false;

constexpr const char kComputerSystem[] = "Win32_ComputerSystem";
constexpr const char kProduct[] = "Win32_ComputerSystemProduct";
constexpr const char kOperatingSystem[] = "Win32_OperatingSystem";
constexpr const char kService[] = "Win32_BaseService";
constexpr const char kEnvironment[] = "Win32_Environment";
constexpr const char kLogicalDisk[] = "Win32_LogicalDisk";
constexpr const char kBios[] = "Win32_BIOS";
constexpr const char kProcessor[] = "Win32_Processor";
constexpr const char kMemory[] = "Win32_PhysicalMemory";
constexpr const char kEnclosure[] = "Win32_SystemEnclosure";
constexpr const char kBoard[] = "Win32_BaseBoard";
constexpr const char kDisk[] = "Win32_DiskDrive";
constexpr const char kOptical[] = "Win32_CDROMDrive";
constexpr const char kTape[] = "Win32_TapeDrive";
constexpr const char kPointing[] = "Win32_PointingDevice";
constexpr const char kKeyboard[] = "Win32_Keyboard";
constexpr const char kConnector[] = "Win32_PortConnector";
constexpr const char kSerial[] = "Win32_SerialPort";
constexpr const char kParallel[] = "Win32_ParallelPort";
constexpr const char kUsb[] = "Win32_USBController";
constexpr const char kScsi[] = "Win32_SCSIController";
constexpr const char kModem[] = "Win32_POTSModem";
constexpr const char kSound[] = "Win32_SoundDevice";
constexpr const char kMonitor[] = "Win32_DesktopMonitor";
constexpr const char kVideo[] = "Win32_VideoController";
constexpr const char kAdapter[] = "Win32_NetworkAdapter";
constexpr const char kPrinter[] = "Win32_Printer";
constexpr const char kConfig[] = "Win32_NetworkAdapterConfiguration";
constexpr const char kClient[] = "Win32_NetworkClient";
constexpr const char kProtocol[] = "Win32_NetworkProtocol";
constexpr const char kShare[] = "Win32_Share";

// From the classes' published definitions (their MOF syntax), in the order the collectors read them.
constexpr PropertyRow kTable[] = {
    {kComputerSystem, "Domain", String, kScalar},
    {kComputerSystem, "PartOfDomain", Boolean, kScalar},
    {kComputerSystem, "DomainRole", Uint16, kScalar},
    {kComputerSystem, "PrimaryOwnerName", String, kScalar},
    {kComputerSystem, "PrimaryOwnerContact", String, kScalar},
    {kComputerSystem, "UserName", String, kScalar},
    {kComputerSystem, "Manufacturer", String, kScalar},
    {kComputerSystem, "Model", String, kScalar},
    {kComputerSystem, "TotalPhysicalMemory", Uint64, kScalar},
    {kComputerSystem, "SystemType", String, kScalar},

    {kProduct, "IdentifyingNumber", String, kScalar},
    {kProduct, "UUID", String, kScalar},

    {kOperatingSystem, "Name", String, kScalar},
    {kOperatingSystem, "Version", String, kScalar},
    {kOperatingSystem, "CSDVersion", String, kScalar},
    {kOperatingSystem, "SerialNumber", String, kScalar},
    {kOperatingSystem, "InstallDate", Datetime, kScalar},
    {kOperatingSystem, "Organization", String, kScalar},
    {kOperatingSystem, "RegisteredUser", String, kScalar},
    {kOperatingSystem, "NumberOfLicensedUsers", Uint32, kScalar},
    {kOperatingSystem, "OSProductSuite", Uint32, kScalar},
    {kOperatingSystem, "OSType", Uint16, kScalar},
    {kOperatingSystem, "OSLanguage", Uint32, kScalar},
    {kOperatingSystem, "CodeSet", String, kScalar},
    {kOperatingSystem, "CountryCode", String, kScalar},
    {kOperatingSystem, "Locale", String, kScalar},
    {kOperatingSystem, "LocalDateTime", Datetime, kScalar},
    {kOperatingSystem, "WindowsDirectory", String, kScalar},
    {kOperatingSystem, "SystemDirectory", String, kScalar},
    {kOperatingSystem, "Manufacturer", String, kScalar},
    {kOperatingSystem, "Description", String, kScalar},

    {kService, "Name", String, kScalar},
    {kService, "DisplayName", String, kScalar},
    {kService, "Description", String, kScalar},
    {kService, "Caption", String, kScalar},
    {kService, "State", String, kScalar},
    {kService, "PathName", String, kScalar},
    {kService, "ServiceType", String, kScalar},

    {kEnvironment, "UserName", String, kScalar},
    {kEnvironment, "Name", String, kScalar},
    {kEnvironment, "VariableValue", String, kScalar},

    {kLogicalDisk, "Name", String, kScalar},
    {kLogicalDisk, "Description", String, kScalar},
    {kLogicalDisk, "DriveType", Uint32, kScalar},
    {kLogicalDisk, "FileSystem", String, kScalar},
    {kLogicalDisk, "FreeSpace", Uint64, kScalar},
    {kLogicalDisk, "Size", Uint64, kScalar},
    {kLogicalDisk, "MediaType", Uint32, kScalar},

    {kBios, "Description", String, kScalar},
    {kBios, "Manufacturer", String, kScalar},
    {kBios, "SMBIOSBIOSVersion", String, kScalar},
    {kBios, "SMBIOSMajorVersion", Uint16, kScalar},
    {kBios, "SMBIOSMinorVersion", Uint16, kScalar},
    {kBios, "ReleaseDate", Datetime, kScalar},
    {kBios, "CurrentLanguage", String, kScalar},
    {kBios, "SerialNumber", String, kScalar},

    {kProcessor, "DeviceID", String, kScalar},
    {kProcessor, "Name", String, kScalar},
    {kProcessor, "Family", Uint16, kScalar},
    {kProcessor, "ProcessorId", String, kScalar},
    {kProcessor, "Manufacturer", String, kScalar},
    {kProcessor, "Description", String, kScalar},
    {kProcessor, "MaxClockSpeed", Uint32, kScalar},
    {kProcessor, "CurrentClockSpeed", Uint32, kScalar},
    {kProcessor, "L2CacheSize", Uint32, kScalar},

    {kMemory, "Capacity", Uint64, kScalar},
    {kMemory, "BankLabel", String, kScalar},
    {kMemory, "Description", String, kScalar},

    {kEnclosure, "Description", String, kScalar},
    {kEnclosure, "Manufacturer", String, kScalar},
    {kEnclosure, "SMBIOSAssetTag", String, kScalar},

    {kBoard, "Product", String, kScalar},
    {kBoard, "Version", String, kScalar},
    {kBoard, "Name", String, kScalar},
    {kBoard, "Manufacturer", String, kScalar},
    {kBoard, "SerialNumber", String, kScalar},

    {kDisk, "InterfaceType", String, kScalar},
    {kDisk, "Model", String, kScalar},
    {kDisk, "Manufacturer", String, kScalar},
    {kDisk, "Description", String, kScalar},
    {kDisk, "Size", Uint64, kScalar},
    {kDisk, "Partitions", Uint32, kScalar},

    {kOptical, "Drive", String, kScalar},
    {kOptical, "Name", String, kScalar},
    {kOptical, "Description", String, kScalar},
    {kOptical, "Manufacturer", String, kScalar},

    {kTape, "Name", String, kScalar},
    {kTape, "Id", String, kScalar},
    {kTape, "Description", String, kScalar},
    {kTape, "Manufacturer", String, kScalar},
    {kTape, "DeviceID", String, kScalar},

    {kPointing, "Description", String, kScalar},
    {kPointing, "Manufacturer", String, kScalar},
    {kPointing, "DeviceInterface", Uint16, kScalar},
    {kPointing, "PointingType", Uint16, kScalar},

    {kKeyboard, "Caption", String, kScalar},
    {kKeyboard, "Layout", String, kScalar},
    {kKeyboard, "Description", String, kScalar},

    {kConnector, "Tag", String, kScalar},
    {kConnector, "ExternalReferenceDesignator", String, kScalar},
    {kConnector, "InternalReferenceDesignator", String, kScalar},
    {kConnector, "PortType", Uint16, kScalar},

    {kSerial, "DeviceID", String, kScalar},
    {kSerial, "Description", String, kScalar},
    {kSerial, "ProviderType", String, kScalar},

    {kParallel, "DeviceID", String, kScalar},

    {kUsb, "DeviceID", String, kScalar},
    {kUsb, "Name", String, kScalar},

    {kScsi, "DeviceID", String, kScalar},
    {kScsi, "Description", String, kScalar},

    {kModem, "Caption", String, kScalar},
    {kModem, "AttachedTo", String, kScalar},
    {kModem, "DeviceID", String, kScalar},
    {kModem, "DeviceType", String, kScalar},
    {kModem, "ProviderName", String, kScalar},

    {kSound, "Name", String, kScalar},
    {kSound, "Manufacturer", String, kScalar},
    {kSound, "DeviceID", String, kScalar},

    {kMonitor, "DeviceID", String, kScalar},
    {kMonitor, "Name", String, kScalar},
    {kMonitor, "MonitorManufacturer", String, kScalar},
    {kMonitor, "ScreenHeight", Uint32, kScalar},
    {kMonitor, "ScreenWidth", Uint32, kScalar},

    {kVideo, "DeviceID", String, kScalar},
    {kVideo, "Name", String, kScalar},
    {kVideo, "AdapterRAM", Uint32, kScalar},
    {kVideo, "VideoArchitecture", Uint16, kScalar},
    {kVideo, "VideoModeDescription", String, kScalar},
    {kVideo, "CurrentRefreshRate", Uint32, kScalar},
    {kVideo, "VideoMode", Uint16, kScalar},
    {kVideo, "VideoProcessor", String, kScalar},

    {kAdapter, "Description", String, kScalar},
    {kAdapter, "DeviceID", String, kScalar},
    {kAdapter, "MACAddress", String, kScalar},
    {kAdapter, "AdapterType", String, kScalar},
    {kAdapter, "Manufacturer", String, kScalar},
    {kAdapter, "Speed", Uint64, kScalar},
    {kAdapter, "MaxSpeed", Uint64, kScalar},
    {kAdapter, "ServiceName", String, kScalar},

    {kPrinter, "DeviceID", String, kScalar},
    {kPrinter, "DriverName", String, kScalar},
    {kPrinter, "PortName", String, kScalar},
    {kPrinter, "Default", Boolean, kScalar},

    {kConfig, "Caption", String, kScalar},
    {kConfig, "IPEnabled", Boolean, kScalar},
    {kConfig, "IPAddress", String, kArray},
    {kConfig, "IPSubnet", String, kArray},
    {kConfig, "MACAddress", String, kScalar},
    {kConfig, "DefaultIPGateway", String, kArray},
    {kConfig, "DHCPEnabled", Boolean, kScalar},
    {kConfig, "DHCPLeaseExpires", Datetime, kScalar},
    {kConfig, "DHCPLeaseObtained", Datetime, kScalar},
    {kConfig, "DHCPServer", String, kScalar},
    {kConfig, "DNSHostName", String, kScalar},
    {kConfig, "DNSDomain", String, kScalar},
    {kConfig, "DNSServerSearchOrder", String, kArray},
    {kConfig, "DNSEnabledForWINSResolution", Boolean, kScalar},
    {kConfig, "DomainDNSRegistrationEnabled", Boolean, kScalar},
    {kConfig, "WINSPrimaryServer", String, kScalar},
    {kConfig, "WINSSecondaryServer", String, kScalar},
    {kConfig, "WINSScopeID", String, kScalar},
    {kConfig, "TcpipNetbiosOptions", Uint32, kScalar},
    {kConfig, "WINSEnableLMHostsLookup", Boolean, kScalar},
    {kConfig, "WINSHostLookupFile", String, kScalar},
    {kConfig, "ServiceName", String, kScalar},
    {kConfig, "IPXEnabled", Boolean, kScalar},
    {kConfig, "IPXAddress", String, kScalar},
    {kConfig, "IPXNetworkNumber", String, kArray},
    {kConfig, "IPXVirtualNetNumber", String, kScalar},
    {kConfig, "IPXFrameType", Uint32, kArray},
    {kConfig, "IPXMediaType", Uint32, kScalar},

    {kClient, "Name", String, kScalar},

    {kProtocol, "Caption", String, kScalar},
    {kProtocol, "Name", String, kScalar},
    {kProtocol, "Description", String, kScalar},

    {kShare, "Name", String, kScalar},
    {kShare, "Path", String, kScalar},
    {kShare, "Description", String, kScalar},
    {kShare, "Type", Uint32, kScalar},
};

struct IntegerRange {
    std::int64_t least, most;
};

std::optional<IntegerRange> integerRange(CimType type) {
    switch (type) {
        case Uint8: return IntegerRange{0, UINT8_MAX};
        case Sint8: return IntegerRange{INT8_MIN, INT8_MAX};
        case Uint16:
        case Char16: return IntegerRange{0, UINT16_MAX};
        case Sint16: return IntegerRange{INT16_MIN, INT16_MAX};
        case Uint32: return IntegerRange{0, UINT32_MAX};
        case Sint32: return IntegerRange{INT32_MIN, INT32_MAX};
        default: return std::nullopt;
    }
}

std::string_view trimmed(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

Value integerOf(std::string_view text, IntegerRange range) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return Value::unreadable();
    if (n < range.least || n > range.most) return Value::unreadable();
    return Value::of(n);
}

// A character property arrives as its one character (UTF-8); the DCOM path gives its UTF-16 code.
Value characterOf(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::uint32_t code = 0;
    std::size_t length = 0;
    if (text.size() == 1 && p[0] < 0x80) code = p[0], length = 1;
    else if (text.size() == 2 && (p[0] & 0xE0) == 0xC0) code = (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu), length = 2;
    else if (text.size() == 3 && (p[0] & 0xF0) == 0xE0)
        code = (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu), length = 3;
    if (length == 0) return Value::unreadable();
    for (std::size_t k = 1; k < length; ++k)
        if ((p[k] & 0xC0) != 0x80) return Value::unreadable();
    return Value::of(static_cast<std::int64_t>(code));
}

Value booleanOf(std::string_view text) {
    text = trimmed(text);
    if (text == "1" || text::equalsIgnoringCase(text, "true")) return Value::of(true);
    if (text == "0" || text::equalsIgnoringCase(text, "false")) return Value::of(false);
    return Value::unreadable();
}

// A real in the C locale's form (never the user's decimal point), narrowed to single precision for
// real32 as the DCOM path's VT_R4 is.
Value realOf(std::string_view text, bool single) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double d = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), d);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return Value::unreadable();
    if (!single) return Value::of(d);
    if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return Value::unreadable();
    return Value::of(static_cast<double>(static_cast<float>(d)));
}

Value scalarOf(CimType type, std::string_view text) {
    if (const std::optional<IntegerRange> range = integerRange(type); range && type != Char16)
        return integerOf(text, *range);
    switch (type) {
        case Boolean: return booleanOf(text);
        case Real32: return realOf(text, true);
        case Real64: return realOf(text, false);
        case Char16: return characterOf(text);
        case Object: return Value::unreadable();
        default: return Value::of(std::string(text));
    }
}

}  // namespace

std::span<const PropertyRow> propertyTable() { return kTable; }

std::optional<PropertyType> propertyType(std::string_view className, std::string_view property) {
    for (const PropertyRow& row : kTable)
        if (text::equalsIgnoringCase(row.property, property) && text::equalsIgnoringCase(row.className, className))
            return PropertyType{row.type, row.array};
    return std::nullopt;
}

const char* cimTypeName(CimType type) {
    switch (type) {
        case String: return "string";
        case Boolean: return "boolean";
        case Datetime: return "datetime";
        case Reference: return "reference";
        case Object: return "object";
        case Char16: return "char16";
        case Uint8: return "uint8";
        case Sint8: return "sint8";
        case Uint16: return "uint16";
        case Sint16: return "sint16";
        case Uint32: return "uint32";
        case Sint32: return "sint32";
        case Uint64: return "uint64";
        case Sint64: return "sint64";
        case Real32: return "real32";
        case Real64: return "real64";
    }
    return "?";
}

Value::Kind valueKind(CimType type) {
    switch (type) {
        case Boolean: return Value::Kind::Bool;
        case Real32:
        case Real64: return Value::Kind::Double;
        case Object: return Value::Kind::Unreadable;
        default: return integerRange(type) ? Value::Kind::Int : Value::Kind::Text;
    }
}

Value typedValue(const PropertyType& type, std::string_view text) {
    Value v = scalarOf(type.type, text);
    return type.array ? Value::ofList({std::move(v)}) : v;
}

Value typedValue(std::string_view className, std::string_view property, std::string_view text) {
    const std::optional<PropertyType> t = propertyType(className, property);
    return t ? typedValue(*t, text) : Value::of(std::string(text));
}

Value typedValue(std::string_view className, std::string_view property, const std::vector<std::string>& texts) {
    const std::optional<PropertyType> t = propertyType(className, property);
    if (t && !t->array) return texts.size() == 1 ? scalarOf(t->type, texts.front()) : Value::unreadable();
    std::vector<Value> items;
    items.reserve(texts.size());
    for (const std::string& text : texts) items.push_back(t ? scalarOf(t->type, text) : Value::of(text));
    return Value::ofList(std::move(items));
}

}  // namespace qv::management

// The operating-system collector: the system's identity and settings, the service counts, the OSData row.
#include "database/records.h"
#include "database/schema.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

// Single suite bits only; a value with several bits set matches none.
const CodeText kProductSuites[] = {
    {1, "=Small Business Server"}, {2, "=Enterprise Server"}, {4, "=Back Office Server"},
    {8, "=Communications Server"}, {16, "=Terminal Server"},  {32, "=Small Business Server (restricted)"},
    {64, "=Embedded NT"},          {128, "=Data Center"},
};
const CodeText kOSTypes[] = {
    {14, "=MSDOS"}, {15, "=WIN3x"}, {16, "=WIN95"}, {17, "=WIN98"}, {18, "=WINNT (Incl W2k & XP)"}, {19, "=WINCE"},
};

// The report line of a property, when it can be read, showing `shown` instead of the raw value.
void writeShown(TargetContext& ctx, const char* name, const Value& v, const std::string& shown) {
    if (v.readable()) report::writeLine(ctx, report::label(name) + shown);
}

// The operating-system record: texts trimmed (the writer cuts them to their columns) except the
// shown name and service pack, which the report shows as stored; every field empty until read.
struct OSRecord {
    std::string osName, version, csdVersion, serialNumber, installDate, organization, registeredUser, productSuite,
        osType, codeSet, countryCode, locale, localDateTime, windowsDirectory, systemDirectory, manufacturer,
        description;
    database::Field licensedUsers;
    std::int32_t osLanguage = 0;
};

}  // namespace

std::string decodeProductSuite(const Value& v) {
    const std::string code = plainText(v);
    if (const CodeText* entry = findCode(kProductSuites, codeOrBooleanOf(v))) return code + entry->text;
    return trimBlanks(trimBlanks(code) + " Unknown");
}

std::string decodeOSType(const Value& v) {
    const CodeText* entry = findCode(kOSTypes, codeOrBooleanOf(v));
    return plainText(v) + (entry ? entry->text : "=Other");
}

std::string shortOSName(const Value& v) {
    const std::string name = trimBlanks(plainText(v));
    return firstCharacters(trimBlanks(name.substr(0, name.find('|'))), database::columnWidth("OSData", "OSName"));
}

void collectOperatingSystem(TargetContext& ctx) {
    report::writeLine(ctx, "\r\n**Operating System Data**");
    report::writeLine(ctx, "\r\n**Operating System**");

    OSRecord r;
    Instances systems;
    runQuery(ctx, "Select * from Win32_OperatingSystem", systems);
    for (const Instance& os : systems) {
        r = OSRecord{};  // nothing carries over from an earlier instance
        // A column that takes the property's trimmed text, and the report line, labelled with the
        // property's name, that shows the raw value.
        auto copyText = [&](std::string& field, const char* property) {
            field = trimmedText(os.get(property));
            report::writeValue(ctx, property, os.get(property));
        };
        const Value& name = os.get("Name");
        if (name.readable()) r.osName = shortOSName(name);
        writeShown(ctx, "Name", name, r.osName);
        copyText(r.version, "Version");
        r.csdVersion = cutTo(os.get("CSDVersion"), database::columnWidth("OSData", "CSDVersion"));
        writeShown(ctx, "CSDVersion", os.get("CSDVersion"), r.csdVersion);
        copyText(r.serialNumber, "SerialNumber");
        copyText(r.installDate, "InstallDate");
        copyText(r.organization, "Organization");
        copyText(r.registeredUser, "RegisteredUser");
        r.licensedUsers = fieldOf(os.get("NumberOfLicensedUsers"));
        report::writeValue(ctx, "NumberOfLicUsers", os.get("NumberOfLicensedUsers"));
        const Value& suite = os.get("OSProductSuite");
        if (suite.readable()) r.productSuite = decodeProductSuite(suite);
        writeShown(ctx, "OSProductSuite", suite, r.productSuite);
        const Value& type = os.get("OSType");
        if (type.readable()) r.osType = decodeOSType(type);
        writeShown(ctx, "OSType", type, r.osType);
        r.osLanguage = int32Of(os.get("OSLanguage"));
        report::writeValue(ctx, "OSLanguage", os.get("OSLanguage"));
        copyText(r.codeSet, "CodeSet");
        copyText(r.countryCode, "CountryCode");
        copyText(r.locale, "Locale");
        copyText(r.localDateTime, "LocalDateTime");
        copyText(r.windowsDirectory, "WindowsDirectory");
        copyText(r.systemDirectory, "SystemDirectory");
        copyText(r.manufacturer, "Manufacturer");
        copyText(r.description, "Description");
    }

    // Services are counted, not listed; only the two counts are stored.
    std::int64_t services = 0, running = 0;
    if (countInstances(ctx, "Win32_BaseService", services) && services > 0) {
        if (management::Result<Instances> all = ctx.targetServices->instances("Win32_BaseService"))
            for (const Instance& service : *all) {
                const Value& state = service.get("State");
                if (state.kind == Value::Kind::Text && state.text == "Running") ++running;
            }
    } else {
        services = 0;
    }
    report::writeLine(ctx, "\r\n**System Services**");
    report::writeLine(ctx, "      " + std::to_string(services) + " Service(s) Found");
    report::writeLine(ctx, "      " + std::to_string(running) + " Running Service(s)");
    report::writeLine(ctx, "**Only Running Services are written to database.**");

    // CodeSet and CountryCode go as texts; their columns keep the numbers they spell.
    database::appendRow(ctx, "OSData",
                        {{"OSName", r.osName},
                         {"Version", r.version},
                         {"CSDVersion", r.csdVersion},
                         {"SerialNumber", r.serialNumber},
                         {"InstallDate", r.installDate},
                         {"Organization", r.organization},
                         {"RegisteredUser", r.registeredUser},
                         {"NumberOfLicUsers", r.licensedUsers},
                         {"OSProductSuite", r.productSuite},
                         {"OSType", r.osType},
                         {"OSLanguage", std::int64_t{r.osLanguage}},
                         {"CodeSet", r.codeSet},
                         {"CountryCode", r.countryCode},
                         {"Locale", r.locale},
                         {"LocalDateTime", r.localDateTime},
                         {"WindowsDirectory", r.windowsDirectory},
                         {"SystemDirectory", r.systemDirectory},
                         {"OSManufacturer", r.manufacturer},
                         {"Description", r.description},
                         {"SysSvcsCount", services},
                         {"SysSvcsRunCount", running}});
}

}  // namespace qv::inventory

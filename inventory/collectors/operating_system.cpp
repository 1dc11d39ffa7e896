// The operating-system collector: the system's identity and settings, the service counts, the OSData row.
#include "classes/declarations.h"
#include "database/records.h"
#include "database/schema.h"
#include "inventory/rows.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/device_records.h"
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

// The columns of the operating-system record the collector makes (the others are copied): the
// shown name and service pack as the report shows them, as stored; the decodes; the texts of the
// code set and country code. Every field empty until read.
struct OSRecord {
    std::string osName, csdVersion, productSuite, osType, codeSet, countryCode;
    database::Field licensedUsers;
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
    Instance last;  // the row is the last instance's; without one its texts are empty
    Instances systems;
    runQuery(ctx, std::string("Select * from ") + classes::Win32_OperatingSystem.name, systems);
    for (const Instance& os : systems) {
        r = OSRecord{};  // nothing carries over from an earlier instance
        last = os;
        const Value& name = os.get("Name");
        if (name.readable()) r.osName = shortOSName(name);
        const Value& csdVersion = os.get("CSDVersion");
        r.csdVersion = cutTo(csdVersion, database::columnWidth("OSData", "CSDVersion"));
        r.licensedUsers = fieldOf(os.get("NumberOfLicensedUsers"));
        const Value& suite = os.get("OSProductSuite");
        if (suite.readable()) r.productSuite = decodeProductSuite(suite);
        const Value& type = os.get("OSType");
        if (type.readable()) r.osType = decodeOSType(type);
        r.codeSet = trimmedText(os.get("CodeSet"));
        r.countryCode = trimmedText(os.get("CountryCode"));
        // The name, service pack and decodes are shown as stored, when their property can be read.
        writeRecordLines(ctx, "OSData", os,
                         {shownIf(name.readable(), r.osName), shownIf(csdVersion.readable(), r.csdVersion),
                          shownIf(suite.readable(), r.productSuite), shownIf(type.readable(), r.osType)},
                         report::kLabelWidth, false);
    }

    // Services are counted, not listed; only the two counts are stored.
    std::int64_t services = 0, running = 0;
    if (countInstances(ctx, classes::Win32_BaseService.name, services) && services > 0) {
        if (management::Result<Instances> all = ctx.targetServices->instances(classes::Win32_BaseService.name))
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
    appendRow(ctx, "OSData",
                        recordFields(last, "OSData",
                                     {{"OSName", r.osName},
                                      {"CSDVersion", r.csdVersion},
                                      {"NumberOfLicUsers", r.licensedUsers},
                                      {"OSProductSuite", r.productSuite},
                                      {"OSType", r.osType},
                                      {"CodeSet", r.codeSet},
                                      {"CountryCode", r.countryCode},
                                      {"SysSvcsCount", services},
                                      {"SysSvcsRunCount", running}}));
}

}  // namespace qv::inventory

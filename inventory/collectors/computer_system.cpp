// The computer-system collector: the identity block of the report, TargetDomain and the master rows.
#include "classes/declarations.h"
#include "database/records.h"
#include "database/schema.h"
#include "inventory/rows.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

const CodeText kDomainRoles[] = {
    {0, " (Standalone Workstation)"}, {1, " (Member Workstation)"},        {2, " (Standalone Server)"},
    {3, " (Member Server)"},          {4, " (Backup Domain Controller)"}, {5, " (Primary Domain Controller)"},
};

// The computer-system record: every field starts empty for each computer. Texts are trimmed; the
// writer cuts them to their columns.
struct ComputerRecord {
    std::string role, owner, contact, currentUser, manufacturer, model, systemType, identifyingNumber, uuid;
    double totalRam = 0;
};

}  // namespace

std::string decodeDomainRole(const Value& v) {
    const std::string code = plainText(v);
    if (const CodeText* entry = findCode(kDomainRoles, codeOrBooleanOf(v))) return code + entry->text;
    return trimBlanks(code + " (Role Unknown)");
}

void collectComputerSystem(TargetContext& ctx) {
    ComputerRecord r;
    const Locale& locale = ctx.platform.system.locale();
    Instances systems;
    runQuery(ctx, std::string("Select * from ") + classes::Win32_ComputerSystem.name, systems);
    for (const Instance& cs : systems) {
        guarded(ctx, [&] { ctx.targetDomain = plainText(cs.get("Domain")); });
        report::writeValue(ctx, "Part of Domain?", cs.get("PartOfDomain"));
        report::writeValue(ctx, "Domain", cs.get("Domain"));
        report::writeLine(ctx, report::label("Inventory Date/Time") + formatGeneralDate(locale, ctx.run.runStartTime));
        const Value& role = cs.get("DomainRole");
        if (role.readable()) {
            r.role = decodeDomainRole(role);
            report::writeLine(ctx, report::label("Role") + trimBlanks(r.role));
        }
        r.owner = trimmedText(cs.get("PrimaryOwnerName"));
        report::writeValue(ctx, "Owner", cs.get("PrimaryOwnerName"));
        r.contact = trimmedText(cs.get("PrimaryOwnerContact"));
        report::writeValue(ctx, "Contact", cs.get("PrimaryOwnerContact"));
        r.currentUser = trimmedText(cs.get("UserName"));
        report::writeValue(ctx, "Current User", cs.get("UserName"), "\r\n");
        report::writeLine(ctx, "**Computer System Information**");
        r.manufacturer = trimmedText(cs.get("Manufacturer"));
        r.model = trimmedText(cs.get("Model"));
        r.totalRam = numberOf(cs.get("TotalPhysicalMemory"));
        r.systemType = trimmedText(cs.get("SystemType"));
        report::writeValue(ctx, "Manufacturer", cs.get("Manufacturer"));
        report::writeValue(ctx, "Model", cs.get("Model"));
        report::writeLine(ctx, report::label("TotalPhysicalMemory") + formatGrouped(locale, r.totalRam) + " Bytes");
        report::writeLine(ctx, report::kContinuation + formatGrouped(locale, r.totalRam / kBytesPerMegabyte) + " MB");
        report::writeValue(ctx, "SystemType", cs.get("SystemType"));
    }
    Instances products;
    runQuery(ctx, std::string("Select * from ") + classes::Win32_ComputerSystemProduct.name, products);
    for (const Instance& p : products) {
        // Cut to the column, then trimmed again: blanks the cut leaves at the end are not stored.
        r.identifyingNumber =
            trimBlanks(cutTo(p.get("IdentifyingNumber"), database::columnWidth("DeviceID", "IdentifyingNumber")));
        r.uuid = trimmedText(p.get("UUID"));
        report::writeValue(ctx, "IdentifyingNumber", p.get("IdentifyingNumber"));
        report::writeValue(ctx, "UUID", p.get("UUID"));
    }
    // The memory goes to the database as its grouped text, which the database reads back as the
    // whole number of bytes it spells. A refused row is absorbed: the next collector still runs.
    appendMasterRows(ctx, {{"Role", r.role},
                                     {"Owner", r.owner},
                                     {"Contact", r.contact},
                                     {"CurrentUser", r.currentUser},
                                     {"Manufacturer", r.manufacturer},
                                     {"Model", r.model},
                                     {"IdentifyingNumber", r.identifyingNumber},
                                     {"UUID", r.uuid},
                                     {"TotalRAM(Bytes)", formatGrouped(locale, r.totalRam)},
                                     {"SystemType", r.systemType}});
}

}  // namespace qv::inventory

// The network services, network clients, protocols and shares of a computer.
#include <cmath>
#include <cstdint>
#include <string>

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

// A service picked out of Win32_BaseService by its exact (case-sensitive) Name.
struct SelectedService {
    const char* name;
    const char* shownSuffix;   // appended to DisplayName for the shown name
    const char* kind;          // the SelectServices Type
    bool descriptionLine;      // the service's Description follows on a line of its own
};
const SelectedService kSelectedServices[] = {
    {"DHCPServer", "", "Server", false},
    {"DNS", "", "Server", false},
    {"WINS", "", "Server", false},
    {"LmHosts", " (Enables NetBT & LmHosts)", "Netbios", false},
    {"NetBios", "", "Netbios", true},
    {"NetBT", " (NetBT)", "Netbios", false},
    {"Dhcp", "", "Client", false},
    {"Dnscache", "", "Client", false},
};
const char* const kClientKind = "NetWork Client";
const char* const kItemIndent = "    ";

const SelectedService* selectedService(const Value& name) {
    if (name.kind != Value::Kind::Text) return nullptr;
    for (const SelectedService& s : kSelectedServices)
        if (name.text == s.name) return &s;
    return nullptr;
}

void appendService(TargetContext& ctx, const std::string& shownName, const char* kind) {
    guarded(ctx, [&] { appendRow(ctx, "SelectServices", {{"Name", trimBlanks(shownName)}, {"Type", std::string(kind)}}); });
}

void writeService(TargetContext& ctx, const Instance& service, const SelectedService& s) {
    const Value& displayName = service.get("DisplayName");
    // A display name that cannot be read leaves the line out and the stored name empty.
    std::string shown;
    if (displayName.readable()) {
        shown = plainText(displayName) + s.shownSuffix;
        // The name and its description line are one text: neither is written when the description
        // cannot be read.
        const Value& description = service.get("Description");
        if (!s.descriptionLine) report::writeLine(ctx, kItemIndent + shown);
        else if (description.readable()) report::writeLine(ctx, kItemIndent + shown + "\r\n" + plainText(description));
    }
    appendService(ctx, shown, s.kind);
}

void writeClient(TargetContext& ctx, const Instance& client) {
    const Value& name = client.get("Name");
    if (name.readable()) report::writeLine(ctx, kItemIndent + plainText(name));
    appendService(ctx, plainText(name), kClientKind);
}

void writeProtocol(TargetContext& ctx, const Instance& protocol) {
    // The description is shown as stored.
    const std::string description =
        cutTo(protocol.get("Description"), database::columnWidth("NetworkProtocols", "Description"));
    appendRecord(ctx, "NetworkProtocols", protocol, {{"Description", description}});
    writeRecordLines(ctx, "NetworkProtocols", protocol, {Value::of(description)});
}

// A share type in the signed 32-bit column: the platform's unsigned type read as the same 32 bits
// taken signed, so the administrative types 2147483648 and above keep their bits (2147483648 is
// stored as -2147483648). A value that is no 32-bit type at all is 0.
std::int64_t shareTypeColumn(const Value& v) {
    const double d = numberOf(v);
    if (!(d >= -2147483648.0 && d < 4294967295.5)) return 0;
    std::int64_t n = std::llround(d);
    if (n >= 2147483648LL) n -= 4294967296LL;
    return n;
}

void writeShare(TargetContext& ctx, const Instance& share) {
    appendRecord(ctx, "SharedRes", share, {{"Type", shareTypeColumn(share.get("Type"))}});
    writeRecordLines(ctx, "SharedRes", share);
}

}  // namespace

void collectNetworkServices(TargetContext& ctx) {
    report::writeLine(ctx, "**Network Services**");
    report::writeLine(ctx, "  **DHCP-DNS-WINS Services**");
    Instances services;
    runQuery(ctx, std::string("Select * from ") + classes::Win32_BaseService.name, services);
    for (const Instance& service : services)
        if (const SelectedService* s = selectedService(service.get("Name")))
            guarded(ctx, [&] { writeService(ctx, service, *s); });

    report::writeLine(ctx, "  **Network Client Services**");
    Instances clients;
    runQuery(ctx, std::string("Select * from ") + classes::Win32_NetworkClient.name, clients);
    for (const Instance& client : clients) guarded(ctx, [&] { writeClient(ctx, client); });
}

void collectNetworkProtocols(TargetContext& ctx) {
    report::writeLine(ctx, "\r\n**Protocols**");
    Instances protocols;
    runQuery(ctx, std::string("Select * from ") + classes::Win32_NetworkProtocol.name, protocols);
    for (const Instance& protocol : protocols) guarded(ctx, [&] { writeProtocol(ctx, protocol); });
}

void collectShares(TargetContext& ctx) {
    runCollector(
        ctx, {"**Shared Resources**", true, classes::Win32_Share.name}, [&](const Instance& share) { writeShare(ctx, share); },
        [&] { appendEmptyRow(ctx, "SharedRes"); });
}

}  // namespace qv::inventory

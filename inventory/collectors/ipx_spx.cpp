// IPX/SPX configuration of every adapter with IPX enabled, with frame and media types decoded.
#include <optional>
#include <span>
#include <string>
#include <utility>

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

// The platform's documented IPXFrameType codes.
const CodeText kFrameTypes[] = {
    {0, "Ethernet II"}, {1, "Ethernet 802.3"}, {2, "Ethernet 802.2"}, {3, "Ethernet SNAP"}, {255, "AUTO"},
};
// The platform's documented IPXMediaType codes.
const CodeText kMediaTypes[] = {
    {1, "Ethernet"}, {2, "Token ring"}, {3, "FDDI"}, {8, "ARCNET"},
};

// The decoded text of a code property, cut to its column; a list is decoded from its first code.
// A value that is no code at all (missing, Null, not a number) is empty, as any value that cannot
// be read.
std::string decodeText(CodeTable table, const Value& v, const char* column) {
    const std::optional<std::int64_t> code = codeOf(v);
    if (!code) return {};
    if (const CodeText* row = findCode(table, code)) return row->text;
    return firstCharacters("Type" + std::to_string(*code) + " Not Listed", database::columnWidth("IPX_SPX", column));
}

struct IpxRecord {
    std::string cardName, mac, address, networkNumber, virtualNetNumber, frameType, mediaType;
    bool enabled = false;
};

// The record's texts are cut to their columns here, as the report shows them as stored.
IpxRecord recordOf(const Instance& adapter) {
    auto cut = [&](const Value& v, const char* column) { return cutTo(v, database::columnWidth("IPX_SPX", column)); };
    IpxRecord r;
    r.cardName = cut(adapter.get("Caption"), "CardName");
    r.mac = cut(adapter.get("MACAddress"), "MACAddress");
    r.address = cut(adapter.get("IPXAddress"), "IPXAddress");
    r.networkNumber = cut(firstElement(adapter.get("IPXNetworkNumber")), "IPXNetworkNumber");
    r.virtualNetNumber = cut(adapter.get("IPXVirtualNetNumber"), "IPXVirtualNetNumber");
    r.frameType = decodeText(kFrameTypes, adapter.get("IPXFrameType"), "IPXFrameType");
    r.mediaType = decodeText(kMediaTypes, adapter.get("IPXMediaType"), "IPXMediaType");
    r.enabled = booleanOf(adapter.get("IPXEnabled"));
    return r;
}

void writeAdapter(TargetContext& ctx, const Instance& adapter) {
    const IpxRecord r = recordOf(adapter);
    guarded(ctx, [&] {
        appendRow(ctx, "IPX_SPX",
                            {{"IPXAddress", r.address},
                             {"IPXNetworkNumber", r.networkNumber},
                             {"IPXVirtualNetNumber", r.virtualNetNumber},
                             {"IPXFrameType", r.frameType},
                             {"IPXMediaType", r.mediaType},
                             {"IPXEnabled", r.enabled},
                             {"CardName", r.cardName},
                             {"MACAddress", r.mac}});
    });
    // The report shows the record's values, trimmed, cut and decoded.
    const std::pair<const char*, const std::string*> lines[] = {
        {"Caption", &r.cardName},
        {"MACAddress", &r.mac},
        {"IPXAddress", &r.address},
        {"IPXNetworkNumber", &r.networkNumber},
        {"IPXVirtualNetNumber", &r.virtualNetNumber},
        {"IPXFrameType", &r.frameType},
        {"IPXMediaType", &r.mediaType},
    };
    for (const auto& [name, value] : lines) report::writeLine(ctx, report::label(name) + *value);
    report::writeLine(ctx, report::label("IPXEnabled") + (r.enabled ? "True" : "False") + "\r\n");
}

}  // namespace

void collectIpxSpx(TargetContext& ctx) {
    report::writeLine(ctx, "**IPX/SPX Adapters**");
    Instances adapters;
    runQuery(ctx, std::string("Select * from ") + classes::Win32_NetworkAdapterConfiguration.name, adapters);
    int listed = 0;
    for (const Instance& adapter : adapters) {
        if (!booleanOf(adapter.get("IPXEnabled"))) continue;
        ++listed;
        guarded(ctx, [&] { writeAdapter(ctx, adapter); });
    }
    if (listed == 0) report::writeLine(ctx, "         None Reported\r\n");
}

}  // namespace qv::inventory

// IPX/SPX configuration of every adapter with IPX enabled, with frame and media types decoded.
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "database/records.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

const char* const kQuery = "Select * from Win32_NetworkAdapterConfiguration";
constexpr std::size_t kDecodeWidth = 32;  // the IPXFrameType and IPXMediaType columns

// The platform's documented IPXFrameType codes.
const CodeText kFrameTypes[] = {
    {0, "Ethernet II"}, {1, "Ethernet 802.3"}, {2, "Ethernet 802.2"}, {3, "Ethernet SNAP"}, {255, "AUTO"},
};
// The platform's documented IPXMediaType codes.
const CodeText kMediaTypes[] = {
    {1, "Ethernet"}, {2, "Token ring"}, {3, "FDDI"}, {8, "ARCNET"},
};

// The decoded text of a code property; a list is decoded from its first code. A value that is
// no code at all (missing, Null, not a number) is empty, as any value that cannot be read.
std::string decodeText(CodeTable table, const Value& v) {
    const std::optional<std::int64_t> code = codeOf(v);
    if (!code) return {};
    if (const CodeText* row = findCode(table, code)) return row->text;
    return firstCharacters("Type" + std::to_string(*code) + " Not Listed", kDecodeWidth);
}

struct IpxRecord {
    std::string cardName, mac, address, networkNumber, virtualNetNumber, frameType, mediaType;
    bool enabled = false;
};

IpxRecord recordOf(const Instance& adapter) {
    IpxRecord r;
    r.cardName = cutTo(adapter.get("Caption"), 128);
    r.mac = cutTo(adapter.get("MACAddress"), 17);
    r.address = cutTo(adapter.get("IPXAddress"), 32);
    r.networkNumber = cutTo(firstElement(adapter.get("IPXNetworkNumber")), 32);
    r.virtualNetNumber = cutTo(adapter.get("IPXVirtualNetNumber"), 32);
    r.frameType = decodeText(kFrameTypes, adapter.get("IPXFrameType"));
    r.mediaType = decodeText(kMediaTypes, adapter.get("IPXMediaType"));
    r.enabled = booleanOf(adapter.get("IPXEnabled"));
    return r;
}

void writeAdapter(TargetContext& ctx, const Instance& adapter) {
    const IpxRecord r = recordOf(adapter);
    guarded(ctx, [&] {
        database::appendRow(ctx, "IPX_SPX",
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
    runQuery(ctx, kQuery, adapters);
    int listed = 0;
    for (const Instance& adapter : adapters) {
        if (!booleanOf(adapter.get("IPXEnabled"))) continue;
        ++listed;
        guarded(ctx, [&] { writeAdapter(ctx, adapter); });
    }
    if (listed == 0) report::writeLine(ctx, "         None Reported\r\n");
}

}  // namespace qv::inventory

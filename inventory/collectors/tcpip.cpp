// TCP/IP configuration of every IP-enabled adapter, with its DNS search servers. This is the one
// collector that writes to the run log while a computer is inventoried: bad DNS server entries.
#include <optional>
#include <string>
#include <vector>

#include "classes/declarations.h"
#include "database/records.h"
#include "database/schema.h"
#include "files/run_log.h"
#include "inventory/rows.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/device_records.h"
#include "inventory/report.h"
#include "inventory/values.h"
#include "platform/text.h"

namespace qv::inventory {

namespace {

// How a report line shows its value.
enum class Shown { AsReturned, SearchCount, NetBios };
struct LineSpec {
    const char* label;
    const char* property;
    Shown shown;
    bool emptyLineAfter;
    // Written with the next line as one text: both lines, or neither when either value cannot be read.
    bool oneTextWithNext = false;
};
// The report lines of one adapter, in order.
const LineSpec kLines[] = {
    {"Caption", "Caption", Shown::AsReturned, false},
    {"IPEnabled", "IPEnabled", Shown::AsReturned, false},
    {"IPAddress", "IPAddress", Shown::AsReturned, false},
    {"IPSubnet", "IPSubnet", Shown::AsReturned, false},
    {"MACAddress", "MACAddress", Shown::AsReturned, false},
    {"DefaultIPGateway", "DefaultIPGateway", Shown::AsReturned, true},
    {"DHCPEnabled", "DHCPEnabled", Shown::AsReturned, false},
    {"DHCPLeaseExpires", "DHCPLeaseExpires", Shown::AsReturned, false},
    {"DHCPLeaseObtained", "DHCPLeaseObtained", Shown::AsReturned, false},
    {"DHCPServer", "DHCPServer", Shown::AsReturned, true},
    {"DNSHostName", "DNSHostName", Shown::AsReturned, false},
    {"DNSDomain", "DNSDomain", Shown::AsReturned, false},
    {"CountDNSSearchSvrs", "DNSServerSearchOrder", Shown::SearchCount, false},
    {"DNSEnabled4WINSRes", "DNSEnabledForWINSResolution", Shown::AsReturned, false},
    {"DomDNSRegistEnabled", "DomainDNSRegistrationEnabled", Shown::AsReturned, true},
    {"WINSPrimary", "WINSPrimaryServer", Shown::AsReturned, false, true},
    {"WINSSecondary", "WINSSecondaryServer", Shown::AsReturned, false},
    {"WINSScopeID", "WINSScopeID", Shown::AsReturned, false},
    {"TcpipNetbiosOptions", "TcpipNetbiosOptions", Shown::NetBios, false},
    {"WINSLMHostsLookup", "WINSEnableLMHostsLookup", Shown::AsReturned, false},
    {"WINSHostLookupFile", "WINSHostLookupFile", Shown::AsReturned, false},
    {"ServiceName", "ServiceName", Shown::AsReturned, true},
};

// The platform's documented TcpipNetbiosOptions codes.
const CodeText kNetBiosOptions[] = {
    {0, ": EnableNetbiosViaDhcp"},
    {1, ": EnableNetbios"},
    {2, ": DisableNetbios"},
};
const char* const kNetBiosUnknown = ": Not Reported";

const char* const kLogInvalid = "  Invalid DNS Search Server data found";
const char* const kLogNic = "  NIC: ";
const char* const kLogTooLong = "  DNS Search Server IP address too long, truncated";
const char* const kLogTruncated = "  Truncated Value: ";
const char* const kLogEndedAt = "  DNS Search Server Ended at index#";

std::string netBiosText(const Value& v) {
    const std::optional<std::int64_t> code = codeOf(v);
    if (!code) return std::string("Option ") + kNetBiosUnknown;
    const CodeText* row = findCode(kNetBiosOptions, code);
    return "Option " + std::to_string(*code) + (row ? row->text : kNetBiosUnknown);
}

// An adapter is listed when TCP/IP is enabled on it and it has an address.
bool isListed(const Instance& adapter) {
    return booleanOf(adapter.get("IPEnabled")) && !plainText(firstElement(adapter.get("IPAddress"))).empty();
}

void appendSearchServer(TargetContext& ctx, const std::string& cardName, const std::string& mac, std::int64_t order,
                        const std::string& server) {
    appendRow(ctx, "DNSSearchServers",
                        {{"CardName", cardName}, {"MACAddress", mac}, {"SearchOrder", order}, {"DNSServer", server}});
}

// The text of one search-server entry; nothing when the entry is not an address text at all.
std::optional<std::string> entryText(const Value& entry) {
    switch (entry.kind) {
        case Value::Kind::Text: return entry.text;
        case Value::Kind::Int:
        case Value::Kind::Double: return plainText(entry);
        default: return std::nullopt;  // cannot be read, Null, a Boolean or a nested list
    }
}

// Writes one DNSSearchServers row per search server up to the first bad entry, logging bad and
// over-long entries. Gives the DNSSearchCount.
std::int64_t writeSearchServers(TargetContext& ctx, const Value& searchOrder, const std::string& cardName,
                                const std::string& mac) {
    std::optional<std::vector<Value>> entries = entriesOf(searchOrder);
    if (!entries) {
        files::logLine(ctx, kLogInvalid);
        files::logLine(ctx, kLogNic + text::shownSafely(cardName));
        appendSearchServer(ctx, cardName, mac, 0, "");
        return 0;
    }
    // A server text is at most as long as its column (an IPv4 address in dotted form).
    const std::size_t serverWidth = database::columnWidth("DNSSearchServers", "DNSServer");
    const std::int64_t count = static_cast<std::int64_t>(entries->size());
    for (std::int64_t i = 0; i < count; ++i) {
        std::optional<std::string> text = entryText((*entries)[static_cast<std::size_t>(i)]);
        if (!text || trimBlanks(*text).empty()) {
            files::logLine(ctx, kLogInvalid);
            files::logLine(ctx, kLogNic + text::shownSafely(cardName));
            appendSearchServer(ctx, cardName, mac, i + 1, "");
            break;
        }
        if (characterCount(*text) > serverWidth) {
            const std::string server = firstCharacters(*text, serverWidth);
            files::logLine(ctx, kLogTooLong);
            files::logLine(ctx, kLogTruncated + text::shownSafely(server));
            files::logLine(ctx, kLogNic + text::shownSafely(cardName));
            files::logLine(ctx, kLogEndedAt + std::to_string(i) + " of " + std::to_string(count - 1) + "\r\n");
            appendSearchServer(ctx, cardName, mac, i + 1, server);
            break;
        }
        appendSearchServer(ctx, cardName, mac, i + 1, *text);
    }
    return count;
}

void writeAdapter(TargetContext& ctx, const Instance& adapter) {
    // The card name as stored, also in the log's lines about the adapter's search servers.
    const std::string cardName = cutTo(adapter.get("Caption"), database::columnWidth("TCP_IP", "CardName"));
    const std::string mac = trimmedText(adapter.get("MACAddress"));
    const std::string netBios = netBiosText(adapter.get("TcpipNetbiosOptions"));
    const Value& searchOrder = adapter.get("DNSServerSearchOrder");
    std::int64_t searchCount = 0;
    guarded(ctx, [&] { searchCount = writeSearchServers(ctx, searchOrder, cardName, mac); });

    // The texts and flags are copied as the table declares; an adapter listed has TCP/IP enabled.
    appendRecord(ctx, "TCP_IP", adapter,
                 {{"IPEnabled", true}, {"DNSSearchCount", searchCount}, {"TcpipNetbiosOptions", netBios}});

    for (std::size_t i = 0; i < std::size(kLines); ++i) {
        const LineSpec& line = kLines[i];
        const std::string after = line.emptyLineAfter ? "\r\n" : "";
        const Value& v = adapter.get(line.property);
        if (line.oneTextWithNext) {
            const LineSpec& next = kLines[++i];
            const Value& nextValue = adapter.get(next.property);
            if (v.readable() && nextValue.readable())
                report::writeLine(ctx, report::label(line.label) + report::displayText(v) + after + "\r\n" +
                                           report::label(next.label) + report::displayText(nextValue) +
                                           (next.emptyLineAfter ? "\r\n" : ""));
            continue;
        }
        switch (line.shown) {
            case Shown::AsReturned: report::writeValue(ctx, line.label, v, after); break;
            case Shown::SearchCount:
                if (std::optional<std::vector<Value>> entries = entriesOf(v))
                    report::writeLine(ctx, report::label(line.label) + std::to_string(entries->size()) + after);
                break;
            case Shown::NetBios: report::writeLine(ctx, report::label(line.label) + netBios + after); break;
        }
    }
}

}  // namespace

void collectTcpIp(TargetContext& ctx) {
    report::writeLine(ctx, "**System Network Settings**\r\n");
    report::writeLine(ctx, "**TCP/IP Adapters**");
    Instances adapters;
    runQuery(ctx, std::string("Select * from ") + classes::Win32_NetworkAdapterConfiguration.name, adapters);
    int listed = 0;
    for (const Instance& adapter : adapters) {
        if (!isListed(adapter)) continue;
        ++listed;
        guarded(ctx, [&] { writeAdapter(ctx, adapter); });
    }
    if (listed == 0) report::writeLine(ctx, "         None Reported\r\n");
}

}  // namespace qv::inventory

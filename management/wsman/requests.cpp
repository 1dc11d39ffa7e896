// Writing WS-Management requests.
#include "management/wsman/requests.h"

#include <cstdio>
#include <random>

#include "management/wsman/xml.h"

namespace qv::management::wsman {

std::string operationTimeout(int ms) {
    if (ms < 1) ms = 1;
    char text[32];
    std::snprintf(text, sizeof text, "PT%d.%03dS", ms / 1000, ms % 1000);
    return text;
}

std::string newMessageId() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uint64_t a = random(), b = random();
    b = (b & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // RFC 4122 variant
    a = (a & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;  // version 4
    char text[48];
    std::snprintf(text, sizeof text, "uuid:%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(a >> 32),
                  static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
                  static_cast<unsigned>(b >> 48), static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return text;
}

std::string envelope(const Request& r, const std::string& messageId) {
    std::string out;
    out.reserve(1500 + r.body.size());
    out += "<s:Envelope xmlns:s=\"";
    out += ns::soap;
    out += "\" xmlns:a=\"";
    out += ns::addressing;
    out += "\" xmlns:n=\"";
    out += ns::enumeration;
    out += "\" xmlns:w=\"";
    out += ns::wsman;
    out += "\"><s:Header><a:To>" + escape(r.to) + "</a:To>";
    out += "<w:ResourceURI s:mustUnderstand=\"true\">" + escape(r.resourceUri) + "</w:ResourceURI>";
    out += "<a:ReplyTo><a:Address s:mustUnderstand=\"true\">"
           "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</a:Address></a:ReplyTo>";
    out += "<a:Action s:mustUnderstand=\"true\">" + escape(r.action) + "</a:Action>";
    out += "<w:MaxEnvelopeSize s:mustUnderstand=\"true\">" + std::to_string(r.maxEnvelopeSize) + "</w:MaxEnvelopeSize>";
    out += "<a:MessageID>" + messageId + "</a:MessageID>";
    out += "<w:Locale xml:lang=\"en-US\" s:mustUnderstand=\"false\"/>";
    out += "<w:OperationTimeout>" + operationTimeout(r.timeoutMs) + "</w:OperationTimeout>";
    if (!r.selectors.empty()) {
        out += "<w:SelectorSet>";
        for (const auto& [name, value] : r.selectors)
            out += "<w:Selector Name=\"" + escape(name) + "\">" + escape(value) + "</w:Selector>";
        out += "</w:SelectorSet>";
    }
    if (!r.options.empty()) {
        out += "<w:OptionSet>";
        for (const Option& o : r.options)
            out += "<w:Option Name=\"" + escape(o.name) + "\" Type=\"" + escape(o.type) + "\">" + escape(o.value) + "</w:Option>";
        out += "</w:OptionSet>";
    }
    out += "</s:Header><s:Body>" + r.body + "</s:Body></s:Envelope>";
    return out;
}

std::string identifyEnvelope() {
    return std::string("<s:Envelope xmlns:s=\"") + ns::soap + "\" xmlns:wsmid=\"" + ns::identity +
           "\"><s:Header/><s:Body><wsmid:Identify/></s:Body></s:Envelope>";
}

std::string enumerateBody(const std::string& wql, int maxElements) {
    std::string out = "<n:Enumerate><w:OptimizeEnumeration/><w:MaxElements>" + std::to_string(maxElements) + "</w:MaxElements>";
    if (!wql.empty()) out += std::string("<w:Filter Dialect=\"") + kWqlDialect + "\">" + escape(wql) + "</w:Filter>";
    return out + "</n:Enumerate>";
}

std::string pullBody(const std::string& context, int maxElements) {
    return "<n:Pull><n:EnumerationContext>" + escape(context) + "</n:EnumerationContext><n:MaxElements>" +
           std::to_string(maxElements) + "</n:MaxElements></n:Pull>";
}

std::string releaseBody(const std::string& context) {
    return "<n:Release><n:EnumerationContext>" + escape(context) + "</n:EnumerationContext></n:Release>";
}

std::string methodBody(const std::string& resourceUri, const std::string& method,
                       const std::vector<std::pair<std::string, std::string>>& parameters) {
    std::string out = "<p:" + method + "_INPUT xmlns:p=\"" + escape(resourceUri) + "\">";
    for (const auto& [name, value] : parameters) out += "<p:" + name + ">" + escape(value) + "</p:" + name + ">";
    return out + "</p:" + method + "_INPUT>";
}

}  // namespace qv::management::wsman

// Reading WS-Management answers into faults, typed instances and method outputs.
#include "management/wsman/answers.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "management/property_types.h"
#include "management/wsman/xml.h"
#include "platform/text.h"

namespace qv::management::wsman {

namespace {

pugi::xml_node bodyOf(const pugi::xml_document& doc) {
    pugi::xml_node env = doc.document_element();
    if (!isElement(env, ns::soap, "Envelope")) return {};
    return childElement(env, ns::soap, "Body");
}

std::uint32_t codeOf(pugi::xml_node wsmanFault) {
    const char* text = wsmanFault.attribute("Code").value();
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (end == text || *end || v > 0xFFFFFFFFull) return 0;
    return static_cast<std::uint32_t>(v);
}

// WS-Management's own numbers are 0x8033xxxx; a provider's inner fault may carry WMI's number.
bool isWsmanNumber(std::uint32_t code) { return (code & 0xFFFF0000u) == 0x80330000u; }

void innermostCode(pugi::xml_node node, std::uint32_t& found) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        if (isElement(c, ns::fault, "WSManFault")) {
            std::uint32_t code = codeOf(c);
            if (code && (!found || isWsmanNumber(found))) found = code;
        }
        innermostCode(c, found);
    }
}

bool digits(std::string_view s, std::size_t at, std::size_t n) {
    if (at + n > s.size()) return false;
    for (std::size_t i = at; i < at + n; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

int number(std::string_view s, std::size_t at, std::size_t n) {
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (s[i] - '0');
    return v;
}

using text::trim;

// The text a property element stands for: a date-time or interval in WMI's form, else its text.
std::string propertyText(pugi::xml_node element) {
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        const std::string_view local = localName(c);
        if (namespaceOf(c) != ns::cim) continue;
        if (local == "Datetime") return wmiDatetime(trim(textOf(c)));
        if (local == "Interval") return wmiInterval(trim(textOf(c)));
        if (local == "Date") return wmiDatetime(trim(textOf(c)) + "T00:00:00Z");
    }
    return textOf(element);
}

// An item's properties, in the order they came, typed by the class asked for (or the item's own).
Instance instanceOf(pugi::xml_node item, const std::string& className) {
    const std::string itemClass(localName(item));
    std::vector<std::pair<std::string, std::vector<std::string>>> texts;  // repeated elements gather
    std::vector<bool> nil;
    for (pugi::xml_node p = item.first_child(); p; p = p.next_sibling()) {
        if (p.type() != pugi::node_element) continue;
        std::string name(localName(p));
        std::size_t k = 0;
        while (k < texts.size() && texts[k].first != name) ++k;
        if (k == texts.size()) {
            texts.push_back({name, {}});
            nil.push_back(false);
        }
        if (isNil(p)) nil[k] = true;
        else texts[k].second.push_back(propertyText(p));
    }
    Instance out;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        const std::string& name = texts[k].first;
        const std::vector<std::string>& values = texts[k].second;
        std::string typingClass = className;
        std::optional<PropertyType> type = propertyType(className, name);
        if (!type && (type = propertyType(itemClass, name))) typingClass = itemClass;
        Value v;
        if (nil[k] && values.empty()) {
            v = Value::null();
        } else if (type && type->array) {
            v = typedValue(typingClass, name, values);
        } else if (!type && values.size() > 1) {
            // Not in the table and repeated: an array of texts.
            std::vector<Value> list;
            for (const std::string& t : values) list.push_back(Value::of(t));
            v = Value::ofList(std::move(list));
        } else if (values.size() == 1) {
            v = typedValue(typingClass, name, values[0]);
        }  // else several values for a scalar: not a value the class can have, left unreadable
        out.properties.emplace_back(name, std::move(v));
    }
    // An empty array comes as no element at all: the table's array properties of the class are
    // then empty lists, as the class's instances hold them.
    const bool fragment = localName(item) == "XmlFragment";
    if (!className.empty()) {
        for (const PropertyRow& row : propertyTable()) {
            if (!row.array || strcasecmp(row.className, className.c_str()) != 0) continue;
            bool present = false;
            for (const auto& [name, value] : out.properties)
                if (strcasecmp(name.c_str(), row.property) == 0) present = true;
            if (!present && !fragment)
                out.properties.emplace_back(row.property, Value::ofList({}));
        }
    }
    return out;
}

}  // namespace

std::optional<Fault> faultOf(const pugi::xml_document& doc) {
    pugi::xml_node fault = childElement(bodyOf(doc), ns::soap, "Fault");
    if (!fault) return std::nullopt;
    Fault out;
    pugi::xml_node code = childElement(fault, ns::soap, "Code");
    pugi::xml_node subcode = childElement(childElement(code, ns::soap, "Subcode"), ns::soap, "Value");
    std::string sub = trim(textOf(subcode));
    std::size_t colon = sub.find(':');
    out.subcode = colon == std::string::npos ? sub : sub.substr(colon + 1);
    out.reason = trim(textOf(childElement(childElement(fault, ns::soap, "Reason"), ns::soap, "Text")));
    pugi::xml_node detail = childElement(fault, ns::soap, "Detail");
    if (pugi::xml_node wf = childElement(detail, ns::fault, "WSManFault")) out.outerCode = codeOf(wf);
    std::uint32_t inner = 0;
    innermostCode(detail, inner);
    out.code = inner ? inner : out.outerCode;
    if (!out.outerCode) out.outerCode = out.code;
    return out;
}

bool readBatch(const pugi::xml_document& doc, const std::string& className, Batch& out, std::string& why) {
    pugi::xml_node body = bodyOf(doc);
    pugi::xml_node response = childElement(body, ns::enumeration, "EnumerateResponse");
    if (!response) response = childElement(body, ns::enumeration, "PullResponse");
    if (!response) {
        why = "an answer that is not an enumeration's";
        return false;
    }
    out = Batch{};
    out.context = trim(textOf(childElement(response, ns::enumeration, "EnumerationContext")));
    out.end = childElement(response, ns::enumeration, "EndOfSequence") || childElement(response, ns::wsman, "EndOfSequence");
    pugi::xml_node items = childElement(response, ns::wsman, "Items");
    if (!items) items = childElement(response, ns::enumeration, "Items");
    for (pugi::xml_node item = items.first_child(); item; item = item.next_sibling())
        if (item.type() == pugi::node_element) out.items.push_back(instanceOf(item, className));
    if (!out.end && out.context.empty()) {
        why = "an enumeration without a context to go on with";
        return false;
    }
    return true;
}

std::string wmiDatetime(std::string_view s) {
    // yyyy-mm-ddTHH:MM:SS[.f+](Z|+hh:mm|-hh:mm)?
    if (!digits(s, 0, 4) || s.size() < 19 || s[4] != '-' || !digits(s, 5, 2) || s[7] != '-' || !digits(s, 8, 2) ||
        s[10] != 'T' || !digits(s, 11, 2) || s[13] != ':' || !digits(s, 14, 2) || s[16] != ':' || !digits(s, 17, 2))
        return {};
    std::size_t i = 19;
    std::string micro = "000000";
    if (i < s.size() && s[i] == '.') {
        std::size_t start = ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        if (i == start) return {};
        std::string f(s.substr(start, i - start));
        f.resize(6, '0');
        micro = f;
    }
    int offset = 0;
    if (i < s.size()) {
        if (s[i] == 'Z' && i + 1 == s.size()) {
            offset = 0;
        } else if ((s[i] == '+' || s[i] == '-') && i + 6 == s.size() && digits(s, i + 1, 2) && s[i + 3] == ':' &&
                   digits(s, i + 4, 2)) {
            offset = number(s, i + 1, 2) * 60 + number(s, i + 4, 2);
            if (s[i] == '-') offset = -offset;
        } else {
            return {};
        }
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.4s%.2s%.2s%.2s%.2s%.2s.%s%c%03d", s.data(), s.data() + 5, s.data() + 8,
                  s.data() + 11, s.data() + 14, s.data() + 17, micro.c_str(), offset < 0 ? '-' : '+',
                  offset < 0 ? -offset : offset);
    return text;
}

std::string wmiInterval(std::string_view s) {
    // PnDTnHnMn[.f]S, any part may be left out.
    if (s.empty() || s[0] != 'P') return {};
    long long days = 0, hours = 0, minutes = 0, seconds = 0;
    std::string micro = "000000";
    bool time = false;
    std::size_t i = 1;
    while (i < s.size()) {
        if (s[i] == 'T') {
            time = true;
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        if (i == start || i - start > 12 || i == s.size()) return {};
        long long v = std::atoll(std::string(s.substr(start, i - start)).c_str());
        char unit = s[i];
        if (unit == '.' && time) {
            std::size_t f = ++i;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
            if (i == s.size() || s[i] != 'S') return {};
            micro = std::string(s.substr(f, i - f));
            micro.resize(6, '0');
            unit = 'S';
        }
        if (unit == 'D' && !time) days = v;
        else if (unit == 'H' && time) hours = v;
        else if (unit == 'M' && time) minutes = v;
        else if (unit == 'S' && time) seconds = v;
        else return {};
        ++i;
    }
    // Carry whole minutes, hours and days as WMI's fields hold them.
    minutes += seconds / 60, seconds %= 60;
    hours += minutes / 60, minutes %= 60;
    days += hours / 24, hours %= 24;
    if (days > 99999999) return {};
    char text[40];
    std::snprintf(text, sizeof text, "%08lld%02lld%02lld%02lld.%s:000", days, hours, minutes, seconds, micro.c_str());
    return text;
}

bool readMethodOutput(const pugi::xml_document& doc, const std::string& method, MethodOutput& out, std::string& why) {
    pugi::xml_node body = bodyOf(doc);
    pugi::xml_node output;
    for (pugi::xml_node c = body.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && localName(c) == method + "_OUTPUT") output = c;
    if (!output) {
        why = "an answer without " + method + "_OUTPUT";
        return false;
    }
    out.clear();
    for (pugi::xml_node p = output.first_child(); p; p = p.next_sibling()) {
        if (p.type() != pugi::node_element) continue;
        OutputValue& v = out[std::string(localName(p))];
        if (isNil(p)) v.nil = true;
        else v.texts.push_back(propertyText(p));
    }
    return true;
}

bool readIdentify(const pugi::xml_document& doc, Identification& out, std::string& why) {
    pugi::xml_node response = childElement(bodyOf(doc), ns::identity, "IdentifyResponse");
    if (!response) {
        why = "an answer that is not an IdentifyResponse";
        return false;
    }
    out.vendor = trim(textOf(childElement(response, ns::identity, "ProductVendor")));
    out.version = trim(textOf(childElement(response, ns::identity, "ProductVersion")));
    return true;
}

}  // namespace qv::management::wsman

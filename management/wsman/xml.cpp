// Safe parsing and namespace resolution of WS-Management answers.
#include "management/wsman/xml.h"
#include "platform/markup.h"

#include <cstring>

namespace qv::management::wsman {

namespace {

std::string_view prefixOf(const char* qname) {
    const char* colon = std::strchr(qname, ':');
    return colon ? std::string_view(qname, colon - qname) : std::string_view();
}

std::string resolve(pugi::xml_node node, std::string_view prefix) {
    const std::string attr = prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix);
    for (pugi::xml_node n = node; n; n = n.parent())
        if (pugi::xml_attribute a = n.attribute(attr.c_str())) return a.value();
    return {};
}

}  // namespace

bool parseAnswer(std::string_view text, pugi::xml_document& doc, std::string& why) {
    const unsigned options = pugi::parse_default | pugi::parse_doctype;
    pugi::xml_parse_result r = doc.load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
    if (!r) {
        why = std::string("malformed XML (") + r.description() + ")";
        return false;
    }
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_doctype) {
            why = "XML with a document type declaration";
            return false;
        }
    if (!doc.document_element()) {
        why = "an answer without XML";
        return false;
    }
    return true;
}

std::string namespaceOf(pugi::xml_node node) { return resolve(node, prefixOf(node.name())); }

std::string_view localName(pugi::xml_node node) {
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(name);
}

bool isElement(pugi::xml_node node, const char* nsUri, const char* local) {
    return node.type() == pugi::node_element && localName(node) == local && namespaceOf(node) == nsUri;
}

pugi::xml_node childElement(pugi::xml_node node, const char* nsUri, const char* local) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (isElement(c, nsUri, local)) return c;
    return {};
}

std::string attributeValue(pugi::xml_node node, const char* nsUri, const char* local) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        const char* colon = std::strchr(name, ':');
        if (!colon || std::strcmp(colon + 1, local) != 0) continue;
        std::string_view prefix(name, colon - name);
        if (prefix == "xmlns") continue;
        if (resolve(node, prefix) == nsUri) return a.value();
    }
    return {};
}

bool isNil(pugi::xml_node node) {
    const std::string nil = attributeValue(node, ns::xsi, "nil");
    return nil == "true" || nil == "1";
}

std::string textOf(pugi::xml_node node) {
    std::string out;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) out += c.value();
    return out;
}

std::string escape(std::string_view text) { return text::markupEscaped(text, text::Markup::Xml); }

}  // namespace qv::management::wsman

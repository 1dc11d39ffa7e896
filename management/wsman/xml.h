// XML of WS-Management messages: the namespaces, safe parsing of answers, escaping of requests.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace qv::management::wsman {

namespace ns {
inline constexpr const char* soap = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr const char* addressing = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr const char* enumeration = "http://schemas.xmlsoap.org/ws/2004/09/enumeration";
inline constexpr const char* wsman = "http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd";
inline constexpr const char* cim = "http://schemas.dmtf.org/wbem/wscim/1/common";
inline constexpr const char* xsi = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr const char* identity = "http://schemas.dmtf.org/wbem/wsman/identity/1/wsmanidentity.xsd";
inline constexpr const char* fault = "http://schemas.microsoft.com/wbem/wsman/1/wsmanfault";
}  // namespace ns

// The resource URIs of the classes and the registry provider.
inline constexpr const char* kWmiUri = "http://schemas.microsoft.com/wbem/wsman/1/wmi/";
inline constexpr const char* kCimv2Uri = "http://schemas.microsoft.com/wbem/wsman/1/wmi/root/cimv2/";
inline constexpr const char* kRegistryUri = "http://schemas.microsoft.com/wbem/wsman/1/wmi/root/default/StdRegProv";
inline constexpr const char* kWqlDialect = "http://schemas.microsoft.com/wbem/wsman/1/WQL";

// Parses an answer. A document type declaration is refused outright (no WS-Management server
// sends one), so no entity is ever defined, expanded or fetched; the parser itself expands only
// the predefined and numeric references.
bool parseAnswer(std::string_view text, pugi::xml_document& doc, std::string& why);

// The namespace URI of an element, resolved through the declarations of it and its ancestors.
std::string namespaceOf(pugi::xml_node node);
std::string_view localName(pugi::xml_node node);
bool isElement(pugi::xml_node node, const char* nsUri, const char* local);
// The first child element with this namespace and local name (empty node when none).
pugi::xml_node childElement(pugi::xml_node node, const char* nsUri, const char* local);
// The value of an attribute by namespace and local name ("xsi:nil").
std::string attributeValue(pugi::xml_node node, const char* nsUri, const char* local);
bool isNil(pugi::xml_node node);
// The text of an element: its character data, nested elements ignored.
std::string textOf(pugi::xml_node node);

// Text and attribute values escaped for a request.
std::string escape(std::string_view text);

}  // namespace qv::management::wsman
